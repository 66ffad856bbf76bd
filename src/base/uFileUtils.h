#pragma once
// File helpers every part of the program may use (std and the platform's C library only).

#include <string>

// Writes the bytes beside the target under a name of this process and puts that file in the
// target's place in one step, so a failed or interrupted write never leaves half a file and a
// reader sees the old content or the new. False when the file could not be written; the target
// is then untouched.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);
