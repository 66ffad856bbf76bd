#include <csignal>

#include "KaVruneCli.h"

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  return KaVruneCli::Run(std::vector<std::string>(argv + 1, argv + argc));
}
