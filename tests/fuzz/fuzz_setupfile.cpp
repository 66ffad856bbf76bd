// A settings file of either form, as "apply", "diff" and the window's "Load from file" load it:
// a file that does not parse is refused with a message, and whatever loads must come through
// the checks and the documents made from it, which must load again.

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "uKaVruneModel.h"

namespace {

PXmlDocument Reload(const PXmlDocument& doc, const char* what) {
  const std::string text = doc->SaveToText();
  try {
    return TXmlDocument::CreateFromText(text);
  } catch (const EXmlError& e) {
    Require(false, what, std::string(e.what()) + "\n" + text);
  }
  return {};
}

TDeviceSettings ThroughReadForm(const TDeviceSettings& settings) {
  const PXmlDocument doc = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
  ToReadDocument(settings, doc->Root());
  return FromDocument(Reload(doc, "the read form of a file's settings loads")->Root());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PXmlDocument file;
  try {
    file = TXmlDocument::CreateFromText(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const EXmlError&) {
    return 0;  // refused with libxml2's message
  }
  const TXmlElement root = file->Root();
  std::vector<std::string> unknown;
  const TDeviceSettings settings = FromDocument(root, &unknown);
  (void)IsReadDocument(root);
  (void)CheckBeforeWrite(settings);

  // What apply would send, as the write document the worker walks.
  const TSettingChanges changes = Diff(TDeviceSettings(), settings);
  (void)CheckBeforeWrite(changes);
  const PXmlDocument request = TXmlDocument::CreateFromText("<xml/>");
  ToWriteDocument(changes, request->Root());
  (void)Reload(request, "a write document loads again");

  // A backup of the settings restores what it holds: one pass through the read form may drop
  // what the dump never shows, a second changes nothing.
  const TDeviceSettings once = ThroughReadForm(settings);
  Require(ThroughReadForm(once) == once, "the read form of settings loads back unchanged");
  return 0;
}
