#pragma once
// The message of the exception a call raises, so that tests can compare the component's own
// error texts.

#include <exception>
#include <functional>
#include <string>

inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}
