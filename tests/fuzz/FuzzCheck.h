#pragma once
// What the fuzz targets share: a broken promise ends the run with its reason, so that libFuzzer
// keeps the input that broke it.

#include <cstdio>
#include <cstdlib>
#include <string>

inline void Require(bool holds, const char* promise, const std::string& detail = {}) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n%s\n", promise, detail.c_str());
  std::abort();
}
