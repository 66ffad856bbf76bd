// The pages and the documents: a read document onto every page, the pages into a write document.

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
    LoadPages(root);
  }
  EndBusy();
  if (!failed.isEmpty()) AppWarning(failed);
}

void TfMain::LoadPages(const TXmlElement& root) {
  ++marksHeld_;
  // In this order: the network mode's rule rebuilds the WLAN lists before the WLAN page loads,
  // and the channels' baud rate rule looks at the server's CPU performance.
  pNetwork->Load(root);
  pServices->Load(root);
  pServer->Load(root);
  pEmail->Load(root);
  pWLAN->Load(root);
  pcChannel1->TakeReadChannels(root, ChannelOf(currentPageButton_));
  --marksHeld_;
  ShowEditMarks();
}

void TfMain::BuildWriteDocument(const TXmlElement& root) {
  // Shape buttons take no focus: a number still being typed is validated before it is read.
  TMyCustomNumEdit::ValidateFocusedNumEdit();
  StorePages(root);
}

void TfMain::StorePages(const TXmlElement& root) {
  if (!root) return;
  TXmlElement r = root;
  r.ClearChildrenAndAttributes();
  for (const char* section : {"basic_parameters", "Security", "Expert", "E-mail", "WLAN"}) r.AppendChild(section);
  pNetwork->Store(r);
  pServer->Store(r);
  pServices->Store(r);
  pEmail->Store(r);
  pWLAN->Store(r);
  if (currentRead_) pcChannel1->AppendChannels(r, ChannelOf(currentPageButton_));
}
