// The settings writer's side of a menu walk: what the device asks (a reply, any bytes), the
// value it is to be given (after a NUL byte), and the helpers that name the question, clean
// the value and type it.

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "uCommunicationUtils.h"
#include "uKaVruneModel.h"
#include "uKaVruneUtils.h"

namespace {

bool NameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

void CheckPromptName(const std::string& line) {
  const std::string name = PromptName(line);
  if (name.empty()) return;
  Require(name.front() != '_' && name.back() != '_', "a prompt name neither starts nor ends with _", name);
  for (char c : name) Require(NameCharacter(c), "a prompt name holds letters, digits and _ only", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  const std::string reply = input.substr(0, nul);
  const std::string given = nul == std::string::npos ? std::string("192.168.1.254") : input.substr(nul + 1);

  for (size_t start = 0; start <= reply.size();) {
    const size_t end = reply.find_first_of("\r\n", start);
    CheckPromptName(reply.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }

  // The value on its way to the device, as the walk treats it.
  bool removed = false;
  const std::string clean = StripControlCharacters(given, removed);
  for (char c : clean)
    Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a cleaned value holds no control character");
  Require(removed == (clean.size() != given.size()), "removed tells whether a character went");
  if (FitsCp1250(clean))
    Require(Cp1250ToUtf8(Utf8ToCp1250(clean)) == clean, "a value windows-1250 holds comes back unchanged", clean);
  const size_t echo = DeviceEchoEnd(reply, given);
  Require(echo == std::string::npos || echo <= reply.size(), "the echo ends within the reply");
  const int bits = NetmaskHostBits(given);
  Require(bits >= -1 && bits <= 32, "a netmask has 0 to 32 host bits", given);
  int number = 0;
  (void)TryParseInteger(given, number);
  const TSplit split = SplitAt(given, ":");
  Require(!split.NonEmpty || split.Head.size() + split.Tail.size() <= given.size(), "a split adds nothing");
  return 0;
}
