// What a device (or a noisy line) prints on the way to the root menu: the dump parser must
// never fail on it, and the document it makes must save and load again, as "read -o" and the
// window's working copy do with it.

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string heard(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> damaged;
  const TXmlElement root = ParseDump(heard, &damaged);
  if (!root) return 0;

  const std::string saved = root.Document()->SaveToText();
  PXmlDocument again;
  try {
    again = TXmlDocument::CreateFromText(saved);
  } catch (const EXmlError& e) {
    Require(false, "the read document loads again", std::string(e.what()) + "\n" + saved);
  }
  Require(again->SaveToText() == saved, "a reloaded read document saves the same text", saved);

  // The settings the dump holds survive their own read form.
  const TDeviceSettings settings = FromReadDocument(again->Root());
  const PXmlDocument copy = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  ToReadDocument(settings, copy->Root());
  Require(FromReadDocument(TXmlDocument::CreateFromText(copy->SaveToText())->Root()) == settings,
          "the settings of a dump load back from their read form", copy->SaveToText());
  return 0;
}
