#pragma once
// Byte ring buffer of the port's write thread. Not synchronised: the core's write lock guards it.

#include <cstdint>
#include <vector>

class TAfCircularBuffer final {
 public:
  explicit TAfCircularBuffer(int size);

  int Size() const { return static_cast<int>(data_.size()); }
  int Used() const;
  int Free() const { return Size() - Used(); }

  // Appends n bytes; false (and nothing appended) for n < 1 or n > Free().
  bool Append(const void* p, int n);
  // Removes n bytes from the front; false for n > Used().
  bool Remove(int n);
  void Clear();

  // The contiguous block from the read index to the end of the used region or of the array.
  const uint8_t* ReadBlock(int& count) const;

 private:
  std::vector<uint8_t> data_;
  int read_ = 0;
  int write_ = 0;
  bool full_ = false;
};
