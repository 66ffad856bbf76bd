// The pages and the settings: a read document onto every page, the pages as settings and as a write
// document.

#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "uIntEdit.h"
#include "uMain.h"
#include "uMainPrivate.h"
#include "uPages.h"
#include "uQtDispatcher.h"

int TfMain::ChannelOf(const QObject* button) const {
  if (button && button == seChannel1) return 1;
  if (button && button == seChannel2) return 2;
  return 0;
}

void TfMain::LoadReadDocument(const TXmlElement& root) {
  currentRead_ = root;
  QString failed;
  if (root) {
    failed = SaveWorkingCopy(*root.Document(), QStringLiteral("temp_load.xml"));
    LoadPages(FromReadDocument(root));
  }
  EndBusy();
  if (!failed.isEmpty()) AppWarning(failed);
}

void TfMain::LoadPages(const TDeviceSettings& settings) {
  ++marksHeld_;
  // In this order: the network mode's rule rebuilds the WLAN lists before the WLAN page loads,
  // and the channels' baud rate rule looks at the server's CPU performance.
  pNetwork->Load(settings);
  pServices->Load(settings);
  pServer->Load(settings);
  pEmail->Load(settings);
  pWLAN->Load(settings);
  // The unit's regulatory domain is no setting: it comes as the unit printed it.
  if (const TXmlElement wlan = currentRead_ ? currentRead_.FirstChild("WLAN") : TXmlElement()) {
    std::string country;
    GetKeyText(wlan, "Country", country);
    pWLAN->ShowCountry(Qs(country));
  }
  pcChannel1->TakeChannels(settings, ChannelOf(currentPageButton_));
  --marksHeld_;
  ShowEditMarks();
}

void TfMain::BuildWriteDocument(const TXmlElement& root) {
  if (!root) return;
  TXmlElement r = root;
  r.ClearChildrenAndAttributes();
  for (const char* section : {"basic_parameters", "Security", "Expert", "E-mail", "WLAN"}) r.AppendChild(section);
  if (currentRead_)
    for (int n : {1, 2}) r.AppendChild(ChannelSection(n));
  // Every setting the pages give, with the decision that goes with it.
  ToWriteDocument(Diff(TDeviceSettings(), PagesSettings()), r);
}

TDeviceSettings TfMain::PagesSettings() { return PagesSettings(true); }

TDeviceSettings TfMain::PagesSettings(bool settleTyping) {
  // Shape buttons take no focus: a number still being typed is validated before it is read.
  if (settleTyping) TMyCustomNumEdit::ValidateFocusedNumEdit();
  TDeviceSettings settings;
  pNetwork->Store(settings);
  pServer->Store(settings);
  pServices->Store(settings);
  pEmail->Store(settings);
  pWLAN->Store(settings);
  if (currentRead_) pcChannel1->StoreChannels(settings, ChannelOf(currentPageButton_));
  return settings;
}
