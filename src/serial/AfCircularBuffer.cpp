#include "AfCircularBuffer.h"

#include <algorithm>
#include <cstring>

TAfCircularBuffer::TAfCircularBuffer(int size) : data_(static_cast<size_t>(std::max(size, 1))) {}

int TAfCircularBuffer::Used() const {
  if (full_) return Size();
  return ((write_ - read_) % Size() + Size()) % Size();
}

bool TAfCircularBuffer::Append(const void* p, int n) {
  if (n < 1 || n > Free()) return false;
  const auto* src = static_cast<const uint8_t*>(p);
  const int first = std::min(n, Size() - write_);
  std::memcpy(data_.data() + write_, src, static_cast<size_t>(first));
  if (n > first) std::memcpy(data_.data(), src + first, static_cast<size_t>(n - first));
  write_ = (write_ + n) % Size();
  full_ = write_ == read_;
  return true;
}

bool TAfCircularBuffer::Remove(int n) {
  if (n < 0 || n > Used()) return false;
  read_ = (read_ + n) % Size();
  if (n > 0) full_ = false;
  return true;
}

void TAfCircularBuffer::Clear() {
  read_ = write_ = 0;
  full_ = false;
}

const uint8_t* TAfCircularBuffer::ReadBlock(int& count) const {
  const int used = Used();
  count = std::min(used, Size() - read_);
  return data_.data() + read_;
}
