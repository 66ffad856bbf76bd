// Control groups packed into the device's numbers and bytes, and back. The byte layouts are in
// uKaVruneCodecs; here each field is tied to its control, in the order the controls are set.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <algorithm>

#include "uIntEdit.h"
#include "uKaVruneCodecs.h"
#include "uMain.h"
#include "uMainForms.h"

namespace {

// A list's item or a check box's 0/1.
int FieldOf(QWidget* w) {
  if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentIndex();
  if (auto* box = qobject_cast<QAbstractButton*>(w)) return box->isChecked() ? 1 : 0;
  return -1;
}

// Selecting an item raises no rule; ticking a box raises its own when the state changes.
void SetField(QWidget* w, int item) {
  if (item < 0) return;
  if (auto* list = qobject_cast<QComboBox*>(w))
    list->setCurrentIndex(item);
  else if (auto* box = qobject_cast<QAbstractButton*>(w))
    box->setChecked(item != 0);
}

uint8_t Pack(std::span<const TByteField> fields, const std::vector<QWidget*>& controls) {
  std::vector<int> items;
  for (QWidget* w : controls) items.push_back(FieldOf(w));
  return EncodeFields(fields, items);
}

void Unpack(std::span<const TByteField> fields, uint8_t byte, const std::vector<QWidget*>& controls) {
  const std::vector<int> items = DecodeFields(fields, byte);
  size_t i = 0;
  for (QWidget* w : controls) SetField(w, items.at(i++));
}

}  // namespace

namespace {

// The groups in the field order of their byte layouts.
std::vector<QWidget*> NetworkFlags(const Ui::pNetwork& u) { return {u.cbNetworkAutoIP, u.cbNetworkDHCP, u.cbNetworkBOOTP}; }

std::vector<QWidget*> FlushGroup(const Ui::pcChannel1& c) {
  return {c.cbChannel1EnablePacking,   c.cbChannel1FlushModeInput1, c.cbChannel1FlushModeInput2,
          c.cbChannel1FlushModeInput3, c.cbChannel1FlushModeOuput1, c.cbChannel1FlushModeOuput2,
          c.cbChannel1FlushModeOuput3};
}

std::vector<QWidget*> PackGroup(const Ui::pcChannel1& c) {
  return {c.cbChannel1PackingInterval, c.cbChannel1Trailingcharacters, c.cbChannel1Send2Char,
          c.cbChannel1SendImmediately};
}

std::vector<QWidget*> DisconnectGroup(const Ui::pcChannel1& c) {
  return {c.cbChannel1ConnectionLed,     c.cbChannel1ConnectionHardDisconnect, c.cbChannel1ConnectionPasswordRequired,
          c.cbChannel1ConnectionCheckEOT, c.cbChannel1ConnectionComPortCntrl,  c.cbChannel1ConnectionOnMdmCtrlInDrop};
}

}  // namespace

int TfMain::GetNetworkSpeedDuplex() const {
  const Ui::pNetwork& u = *uiNetwork;
  return EncodeSpeedDuplex(u.cbNetworkAutoNegotiate->isChecked(), u.cbNetworkSpeed->currentIndex(),
                           u.cbNetworkDuplex->currentIndex());
}

void TfMain::SetNetworkSpeedDuplex(int t) {
  Ui::pNetwork& u = *uiNetwork;
  const TSpeedDuplex d = DecodeSpeedDuplex(t);
  u.cbNetworkAutoNegotiate->setChecked(d.AutoNegotiate);
  u.cbNetworkSpeed->setCurrentIndex(d.Speed);
  u.cbNetworkDuplex->setCurrentIndex(d.Duplex);
  cbNetworkAutoNegotiateClick(u.cbNetworkAutoNegotiate);
}

int TfMain::GetIPConfigFlags() const {
  return Pack(IPConfigFlagFields(), NetworkFlags(*uiNetwork));
}

void TfMain::SetIPConfigFlags(int f) {
  Unpack(IPConfigFlagFields(), static_cast<uint8_t>(f & 7), NetworkFlags(*uiNetwork));
}

uint8_t TfMain::GetFlushMode() const {
  return Pack(FlushModeFields(), FlushGroup(*uiChannel1));
}

void TfMain::SetFlushMode(uint8_t b) {
  Unpack(FlushModeFields(), b, FlushGroup(*uiChannel1));
}

uint8_t TfMain::GetPackControl() const {
  return Pack(PackControlFields(), PackGroup(*uiChannel1));
}

void TfMain::SetPackControl(uint8_t b) {
  Unpack(PackControlFields(), b, PackGroup(*uiChannel1));
}

uint8_t TfMain::GetDisconnectMode() const {
  return Pack(DisconnectModeFields(), DisconnectGroup(*uiChannel1));
}

void TfMain::SetDisconnectMode(uint8_t b) {
  Unpack(DisconnectModeFields(), b, DisconnectGroup(*uiChannel1));
}

uint8_t TfMain::GetConnectMode() const {
  const Ui::pcChannel1& c = *uiChannel1;
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

void TfMain::SetConnectMode(uint8_t b) {
  Ui::pcChannel1& c = *uiChannel1;
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

QWidget* TfMain::UDPDeviceAddressEntry(int i) const {
  // The last child with the entry's tag counts.
  const QObjectList& children = uiChannel1->pChannel1ConnectionUDPDeviceAddressTable->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    auto* w = qobject_cast<QWidget*>(*it);
    if (w && w->property("Tag").toInt() == i + 1) return w;
  }
  return nullptr;
}

int TfMain::GetUDPDeviceAddress(int i) const {
  auto* e = qobject_cast<TIntEdit*>(UDPDeviceAddressEntry(i));
  if (!e) return 0;
  // A typed, unvalidated number still has to be a byte.
  return std::clamp(e->Value(), 0, 255);
}

void TfMain::SetUDPDeviceAddress(int i, int b) {
  if (auto* e = qobject_cast<TIntEdit*>(UDPDeviceAddressEntry(i))) e->SetValue(b);
}

int TfMain::GetWLANKeyBits() const {
  const int s = uiWLAN->cbWLANSecurity->currentIndex();
  const int e = uiWLAN->cbWLANEncryption->currentIndex();
  if (s == 1 && e == 0) return 40;
  if (s == 1 && e == 1) return 104;
  if (s == 2 || s == 3) return 256;
  return 0;
}
