#include "uKaVruneProgress.h"

#include <algorithm>

std::string SectionWords(const std::string& section) {
  // Named as the pages that show them, so the user knows where to look.
  if (section == "basic_parameters") return "the network settings";
  if (section == "Expert") return "the server settings";
  if (section == "Security") return "the services settings";
  if (section == "Channel_1") return "Channel 1";
  if (section == "Channel_2") return "Channel 2";
  if (section == "E-mail") return "the e-mail settings";
  return "the " + section + " settings";
}

std::string ProgressWords(const TWorkProgress& p) {
  switch (p.Step) {
    case TWorkStep::Waiting: return "Waiting for the device";
    case TWorkStep::Reading: return "Reading the settings";
    case TWorkStep::Writing: return "Writing " + SectionWords(p.Section);
    case TWorkStep::Storing: return "Storing the settings";
    case TWorkStep::Checking: return "Checking the settings";
  }
  return {};
}

std::string ProgressCounts(const TWorkProgress& p) {
  if (p.Done <= 0 && p.Total <= 0) return {};
  const std::string of = p.Total > 0 ? " of " + std::to_string(std::max(p.Total, p.Done)) : std::string();
  switch (p.Step) {
    case TWorkStep::Reading:
    case TWorkStep::Checking: return std::to_string(p.Done) + of + (p.Done == 1 && of.empty() ? " line" : " lines");
    case TWorkStep::Writing: return "section " + std::to_string(p.Done) + of;
    default: return {};
  }
}
