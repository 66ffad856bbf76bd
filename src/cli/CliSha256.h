#pragma once
// SHA-256 (FIPS 180-4) of a file's bytes, for the run records: which settings file a line used.

#include <string>

namespace KaVruneCli {

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace KaVruneCli
