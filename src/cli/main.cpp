#include "CliPlatform.h"
#include "KaVruneCli.h"

int main(int argc, char** argv) {
  CliPlatform::PrepareStandardOutput();
  CliPlatform::CatchStopSignals();
  return KaVruneCli::Run(std::vector<std::string>(argv + 1, argv + argc));
}
