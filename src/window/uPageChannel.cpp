// The channel page: its rules and the control groups packed into the device's bytes. Its bindings
// and both channels' settings: uPageChannelData.cpp.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ComCtrlsAdds.h"
#include "uPageSupport.h"
#include "uPages.h"
#include "ui_pcChannel1.h"

namespace {

void SetHint(QWidget* w, const QString& hint, bool show) {
#ifdef KAVRUNE_HAVE_LANGUAGE
  SetControlHint(w, hint);
  SetControlShowHint(w, show);
#else
  w->setToolTip(show ? hint : QString());
#endif
}

}  // namespace

TChannelPage::TChannelPage(QWidget* parent, const TServerPage& server)
    : QTabWidget(parent), ui_(std::make_unique<Ui::pcChannel1>()), server_(server) {
  ui_->setupUi(this);
  // Every flush-mode box keeps its hint, so a generated language file offers it for translation,
  // but only the first box of each group shows it.
  for (QCheckBox* quiet : {ui_->cbChannel1FlushModeInput2, ui_->cbChannel1FlushModeInput3,
                           ui_->cbChannel1FlushModeOuput2, ui_->cbChannel1FlushModeOuput3}) {
#ifdef KAVRUNE_HAVE_LANGUAGE
    SetControlShowHint(quiet, false);
#else
    quiet->setToolTip(QString());
#endif
  }
  ConnectRules();
  BindSettings();
}

TChannelPage::~TChannelPage() = default;

void TChannelPage::ConnectRules() {
  Ui::pcChannel1& c = *ui_;
  for (QComboBox* line :
       {c.cbChannel1LineMode, c.cbChannel1LineDatabits, c.cbChannel1LineParity, c.cbChannel1LineStopBits})
    OnChoice(this, line, &TChannelPage::cbChannel1LineModeChange);
  OnChoice(this, c.cbChannel1Baudrate, &TChannelPage::cbChannel1BaudrateChange);
  OnChoice(this, c.cbChannel1ConnectionType, &TChannelPage::cbChannel1ConnectionTypeChange);
  OnChoice(this, c.cbChannel1ConnectionModemMode, &TChannelPage::cbChannel1ConnectionModemModeChange);
  OnChoice(this, c.cbChannel1ConnectionActiveConnect, &TChannelPage::cbChannel1ConnectionActiveConnectChange);
  OnToggle(this, c.cbChannel1ConnectionPasswordRequired, &TChannelPage::cbChannel1ConnectionPasswordRequiredClick);
  OnToggle(this, c.cbChannel1ConnectionComPortCntrl, &TChannelPage::cbChannel1ConnectionComPortCntrlClick);
  OnChoice(this, c.cbChannel1ConnectionUDPDatagramType, &TChannelPage::cbChannel1ConnectionUDPDatagramTypeChange);
  OnToggle(this, c.chbChannel1ConnectionUDPUseBroadcast, &TChannelPage::chbChannel1ConnectionUDPUseBroadcastClick);
}

void TChannelPage::ResetChannelControls() {
  Ui::pcChannel1& c = *ui_;
  c.cbChannel1LineMode->setCurrentIndex(0);
  c.cbChannel1Baudrate->setCurrentIndex(5);
  c.cbChannel1LineDatabits->setCurrentIndex(1);
  c.cbChannel1LineParity->setCurrentIndex(0);
  c.cbChannel1LineStopBits->setCurrentIndex(0);
  c.cbChannel1Flow->setCurrentIndex(0);
  cbChannel1LineModeChange(c.cbChannel1LineMode);  // selecting items ran no rule
  SetPackControl(0);
  c.eChannel1PCMatchByte1->setText(QStringLiteral("00"));
  c.eChannel1PCMatchByte2->setText(QStringLiteral("00"));
  SetFlushMode(0);
  SetConnectMode(0xC0);
  c.eChannel1ConnectionPassword->clear();
  c.eChannel1ConnectionStartChar->clear();
  c.cbChannel1ConnectionShowIPAfterRing->setChecked(false);
  c.ieChannel1ConnectionPort->SetValue(0);
  c.ipChannel1ConnectionRemoteHost->SetAddress(QStringLiteral("0.0.0.0"));
  c.ieChannel1ConnectionRemotePort->SetValue(0);
  c.cbChannel1ConnectionAutoIncrease4ActiveConnect->setChecked(false);
  c.eChannel1ConnectionTerminalName->clear();
  SetDisconnectMode(0);
  c.ieChannel1ConnectionInactivityTimeoutM->SetValue(0);
  c.ieChannel1ConnectionInactivityTimeoutS->SetValue(0);
  c.cbChannel1ConnectionUDPAcceptIncoming->setCurrentIndex(0);
  c.cbChannel1ConnectionUDPDatagramType->setCurrentIndex(0);
  c.ieChannel1ConnectionUDPLocalPort->SetValue(0);
  c.ipChannel1ConnectionUDPRemoteHost->SetAddress(QStringLiteral("0.0.0.0"));
  c.ieChannel1ConnectionUDPRemotePort->SetValue(0);
  c.chbChannel1ConnectionUDPUseBroadcast->setChecked(false);
  for (int i = 0; i < 16; ++i) SetUDPDeviceAddress(i, 0);
}

// ---------------------------------------------------------------------------------- rules

void TChannelPage::cbChannel1LineModeChange(QObject*) {
  Ui::pcChannel1& c = *ui_;
  const std::vector<int> items = {c.cbChannel1LineMode->currentIndex(), c.cbChannel1LineDatabits->currentIndex(),
                                  c.cbChannel1LineParity->currentIndex(), c.cbChannel1LineStopBits->currentIndex()};
  c.lChannel1_IFMode->setText(Qs(HexByte2(EncodeFields(IFModeFields(), items))) + QLatin1Char('h'));
}

void TChannelPage::cbChannel1BaudrateChange(QObject*) {
  Ui::pcChannel1& c = *ui_;
  const bool warn = c.cbChannel1Baudrate->currentIndex() > 10 && !server_.HighCpuPerformance();
  QPalette pal = c.lChannel1Baudrate->palette();
  pal.setColor(QPalette::WindowText,
               warn ? QColor(255, 0, 0) : QApplication::palette(c.lChannel1Baudrate).color(QPalette::WindowText));
  c.lChannel1Baudrate->setPalette(pal);
  const QString hint = warn ? LangText("Channel_Baudrate_HINT", "Requires CPU high performance! (Server)") : QString();
  SetHint(c.lChannel1Baudrate, hint, warn);
  SetHint(c.cbChannel1Baudrate, hint, warn);
}

void TChannelPage::cbChannel1ConnectionTypeChange(QObject*) {
  Ui::pcChannel1& c = *ui_;
  const bool tcp = c.cbChannel1ConnectionType->currentIndex() == 0;
  c.pChannel1ConnectionTCP->setVisible(tcp);
  c.pChannel1ConnectionUSB->setVisible(!tcp);
  EnableControls({c.pChannel1PackControl, c.pChannel1FlushMode}, tcp, true);
}

void TChannelPage::cbChannel1ConnectionModemModeChange(QObject* Sender) {
  Ui::pcChannel1& c = *ui_;
  const int m = c.cbChannel1ConnectionModemMode->currentIndex();
  EnableControls({c.Label116, c.Label141, c.cbChannel1ConnectionActiveConnect, c.cbChannel1ConnectionConnectResponse},
                 m == 0, false);
  if (m != 0) {
    c.cbChannel1ConnectionActiveConnect->setCurrentIndex(0);
    cbChannel1ConnectionActiveConnectChange(Sender);
  }
  c.cbChannel1ConnectionConnectResponse->setCurrentIndex(m == 2 || m == 3 ? 1 : 0);
}

void TChannelPage::cbChannel1ConnectionActiveConnectChange(QObject*) {
  Ui::pcChannel1& c = *ui_;
  EnableControls({c.Label120, c.Label134, c.eChannel1ConnectionStartChar},
                 c.cbChannel1ConnectionActiveConnect->currentIndex() == 3, false);
}

void TChannelPage::cbChannel1ConnectionPasswordRequiredClick(QObject* Sender) {
  Ui::pcChannel1& c = *ui_;
  const bool required = c.cbChannel1ConnectionPasswordRequired->isChecked();
  EnableControls({c.eChannel1ConnectionPassword}, required, false);
  EnableControls({c.cbChannel1ConnectionComPortCntrl}, !required, false);
  if (required) {
    c.cbChannel1ConnectionComPortCntrl->setChecked(false);
    cbChannel1ConnectionComPortCntrlClick(Sender);
  }
}

void TChannelPage::cbChannel1ConnectionComPortCntrlClick(QObject*) {
  Ui::pcChannel1& c = *ui_;
  EnableControls({c.eChannel1ConnectionTerminalName}, c.cbChannel1ConnectionComPortCntrl->isChecked(), false);
}

void TChannelPage::cbChannel1ConnectionUDPDatagramTypeChange(QObject* Sender) {
  Ui::pcChannel1& c = *ui_;
  const int d = c.cbChannel1ConnectionUDPDatagramType->currentIndex();
  EnableControls({c.Label151, c.Label153, c.ieChannel1ConnectionUDPLocalPort, c.ieChannel1ConnectionUDPRemotePort},
                 d != 0 && d != 2, false);
  EnableControls({c.Label149, c.pChannel1ConnectionUDPDeviceAddressTable}, d == 4, true);
  chbChannel1ConnectionUDPUseBroadcastClick(Sender);
}

void TChannelPage::chbChannel1ConnectionUDPUseBroadcastClick(QObject*) {
  Ui::pcChannel1& c = *ui_;
  const int d = c.cbChannel1ConnectionUDPDatagramType->currentIndex();
  EnableControls({c.Label152, c.ipChannel1ConnectionUDPRemoteHost},
                 d != 0 && d != 2 && !c.chbChannel1ConnectionUDPUseBroadcast->isChecked(), false);
}

// ---------------------------------------------------------------------------------- codecs

std::vector<QWidget*> TChannelPage::FlushGroup() const {
  const Ui::pcChannel1& c = *ui_;
  return {c.cbChannel1EnablePacking,   c.cbChannel1FlushModeInput1, c.cbChannel1FlushModeInput2,
          c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput1, c.cbChannel1FlushModeOuput2,
          c.cbChannel1FlushModeOuput3};
}

std::vector<QWidget*> TChannelPage::PackGroup() const {
  const Ui::pcChannel1& c = *ui_;
  return {c.cbChannel1PackingInterval, c.cbChannel1Trailingcharacters, c.cbChannel1Send2Char,
          c.cbChannel1SendImmediately};
}

std::vector<QWidget*> TChannelPage::DisconnectGroup() const {
  const Ui::pcChannel1& c = *ui_;
  return {c.cbChannel1ConnectionLed,      c.cbChannel1ConnectionHardDisconnect, c.cbChannel1ConnectionPasswordRequired,
          c.cbChannel1ConnectionCheckEOT, c.cbChannel1ConnectionComPortCntrl,   c.cbChannel1ConnectionOnMdmCtrlInDrop};
}

uint8_t TChannelPage::GetFlushMode() const { return PackControls(FlushModeFields(), FlushGroup()); }

void TChannelPage::SetFlushMode(uint8_t b) { UnpackControls(FlushModeFields(), b, FlushGroup()); }

uint8_t TChannelPage::GetPackControl() const { return PackControls(PackControlFields(), PackGroup()); }

void TChannelPage::SetPackControl(uint8_t b) { UnpackControls(PackControlFields(), b, PackGroup()); }

uint8_t TChannelPage::GetDisconnectMode() const { return PackControls(DisconnectModeFields(), DisconnectGroup()); }

void TChannelPage::SetDisconnectMode(uint8_t b) { UnpackControls(DisconnectModeFields(), b, DisconnectGroup()); }

uint8_t TChannelPage::GetConnectMode() const {
  const Ui::pcChannel1& c = *ui_;
  TConnectMode m;
  m.ConnectionType = c.cbChannel1ConnectionType->currentIndex();
  m.UDPAcceptIncoming = c.cbChannel1ConnectionUDPAcceptIncoming->currentIndex();
  m.AcceptIncoming = c.cbChannel1ConnectionAcceptIncoming->currentIndex();
  m.ModemMode = c.cbChannel1ConnectionModemMode->currentIndex();
  m.ActiveConnect = c.cbChannel1ConnectionActiveConnect->currentIndex();
  m.ConnectResponse = c.cbChannel1ConnectionConnectResponse->currentIndex();
  m.UseHostlist = c.cbChannel1ConnectionUseHostlist->isChecked();
  return EncodeConnectMode(m);
}

void TChannelPage::SetConnectMode(uint8_t b) {
  Ui::pcChannel1& c = *ui_;
  TConnectMode m;
  DecodeConnectMode(b, m);
  c.cbChannel1ConnectionType->setCurrentIndex(m.ConnectionType);
  if (m.ConnectionType != 0) {
    c.cbChannel1ConnectionUDPAcceptIncoming->setCurrentIndex(m.UDPAcceptIncoming);
  } else {
    c.cbChannel1ConnectionAcceptIncoming->setCurrentIndex(m.AcceptIncoming);
    c.cbChannel1ConnectionModemMode->setCurrentIndex(m.ModemMode);
    cbChannel1ConnectionModemModeChange(c.cbChannel1ConnectionModemMode);
    if (m.ModemMode == 0) {
      SetField(c.cbChannel1ConnectionActiveConnect, m.ActiveConnect);
      cbChannel1ConnectionActiveConnectChange(c.cbChannel1ConnectionActiveConnect);
      c.cbChannel1ConnectionConnectResponse->setCurrentIndex(m.ConnectResponse);
    }
    c.cbChannel1ConnectionUseHostlist->setChecked(m.UseHostlist);
  }
  cbChannel1ConnectionTypeChange(c.cbChannel1ConnectionType);
}

QWidget* TChannelPage::UDPDeviceAddressEntry(int i) const {
  // The last child with the entry's tag counts.
  const QObjectList& children = ui_->pChannel1ConnectionUDPDeviceAddressTable->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    auto* w = qobject_cast<QWidget*>(*it);
    if (w && w->property("Tag").toInt() == i + 1) return w;
  }
  return nullptr;
}

int TChannelPage::GetUDPDeviceAddress(int i) const {
  auto* e = qobject_cast<TIntEdit*>(UDPDeviceAddressEntry(i));
  if (!e) return 0;
  // As shown: the unit's own entry outside a byte is its own, a typed one a range fault.
  return e->Value();
}

void TChannelPage::SetUDPDeviceAddress(int i, int b) {
  if (auto* e = qobject_cast<TIntEdit*>(UDPDeviceAddressEntry(i))) e->SetValue(b);
}
