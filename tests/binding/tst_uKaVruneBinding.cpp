// Load and store helpers between settings documents and controls, the missing-key marks and
// EnableControls.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"

namespace {

class Binding : public ::testing::Test {
 protected:
  Binding() {
    doc_ = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
    section_ = doc_->Root().AppendChild("Security");
    page_.resize(400, 300);
  }

  void Key(const std::string& name, const std::string& value) { section_.AppendChild(name).SetText(value); }
  std::string Value(const std::string& name) const { return section_.FirstChild(name).Text(); }
  bool Has(const std::string& name) const { return static_cast<bool>(section_.FirstChild(name)); }
  int Markers() const { return page_.findChildren<TFrameMarker*>().size(); }

  PXmlDocument doc_;
  TXmlElement section_;
  QWidget page_;
};

TEST_F(Binding, shouldCheckOnlyForTheOnWordOfEachPairInAnyCase) {
  QCheckBox box(&page_);
  for (const char* on : {"y", "Enabled", "true", "1", "ENABLED", "Yes", "ON", " Y"}) {
    section_.ClearChildrenAndAttributes();
    Key("SNMP", on);
    box.setChecked(false);
    EXPECT_TRUE(LoadCheckBox(section_, "SNMP", &box, false, true)) << on;
    EXPECT_TRUE(box.isChecked()) << on;
  }
  for (const char* off : {"no", "N", "", "DISABLED", "off", "enable"}) {
    section_.ClearChildrenAndAttributes();
    Key("SNMP", off);
    box.setChecked(true);
    EXPECT_TRUE(LoadCheckBox(section_, "SNMP", &box, false, true)) << off;
    EXPECT_FALSE(box.isChecked()) << off;
  }
  Key("Disable_SNMP", "N");
  EXPECT_TRUE(LoadCheckBox(section_, "Disable_SNMP", &box, true, true));
  EXPECT_TRUE(box.isChecked());
  EXPECT_EQ(Markers(), 0);
}

TEST_F(Binding, shouldFrameAMissingCheckBoxAndKeepEveryFrame) {
  QCheckBox box(&page_);
  box.setGeometry(260, 32, 13, 13);
  box.setChecked(true);
  EXPECT_FALSE(LoadCheckBox(section_, "SNMP", &box, false, false));
  EXPECT_EQ(Markers(), 0);
  EXPECT_FALSE(LoadCheckBox(section_, "SNMP", &box, false, true));
  EXPECT_TRUE(box.isChecked());
  ASSERT_EQ(Markers(), 1);
  TFrameMarker* marker = page_.findChild<TFrameMarker*>();
  EXPECT_EQ(marker->geometry(), QRect(258, 30, 17, 17));
  // The control stays in front of its frame.
  const QObjectList& z = page_.children();
  EXPECT_GT(z.indexOf(&box), z.indexOf(marker));

  Key("SNMP", "Y");
  EXPECT_TRUE(LoadCheckBox(section_, "SNMP", &box, false, true));
  EXPECT_EQ(Markers(), 1);
  EXPECT_FALSE(LoadCheckBox(section_, "Web_Server", &box, false, true));
  EXPECT_EQ(Markers(), 2);
}

TEST_F(Binding, shouldDoNothingWithoutSectionOrControl) {
  QCheckBox box(&page_);
  QLineEdit edit(&page_);
  edit.setText("kept");
  EXPECT_FALSE(LoadCheckBox({}, "SNMP", &box, false, true));
  EXPECT_FALSE(LoadEdit({}, "Domain", &edit, true));
  EXPECT_FALSE(LoadCheckBox(section_, "SNMP", nullptr, false, true));
  EXPECT_EQ(edit.text(), "kept");
  EXPECT_EQ(ControlColor(&edit), ControlColor(&box));  // never painted
  EXPECT_EQ(Markers(), 0);
  SaveEdit({}, "Domain", &edit);
  SaveEdit(section_, "Domain", nullptr);
  EXPECT_EQ(section_.ChildCount(), 0);
}

TEST_F(Binding, shouldTakeOnlyWholeIntegersIntoIntEditWithinItsLimits) {
  TIntEdit edit(&page_);
  edit.SetMaxValue(65535);
  edit.SetValue(7);
  Key("TCP_Keepalive", "45s");
  EXPECT_FALSE(LoadIntEdit(section_, "TCP_Keepalive", &edit, true));
  EXPECT_EQ(edit.Value(), 7);
  EXPECT_EQ(ControlColor(&edit), MissingKeyColor());

  Key("Port", "$2D");
  EXPECT_TRUE(LoadIntEdit(section_, "Port", &edit, true));
  EXPECT_EQ(edit.Value(), 45);
  EXPECT_EQ(ControlColor(&edit), TakenKeyColor());

  Key("Big", "70000");
  EXPECT_TRUE(LoadIntEdit(section_, "Big", &edit, true));
  EXPECT_EQ(edit.text(), QStringLiteral("70000")) << "the device's value is shown as read, never clamped";

  EXPECT_FALSE(LoadIntEdit(section_, "Missing", &edit, false));
  EXPECT_EQ(ControlColor(&edit), TakenKeyColor());
}

TEST_F(Binding, shouldSelectComboItemIgnoringCaseOrMarkAndKeepSelection) {
  QComboBox list(&page_);
  list.addItems({"Hex", "Passphrase"});
  list.setCurrentIndex(0);
  Key("Key_type", "PASSPHRASE");
  EXPECT_TRUE(LoadComboBox(section_, "Key_type", &list, true));
  EXPECT_EQ(list.currentIndex(), 1);
  EXPECT_EQ(ControlColor(&list), TakenKeyColor());

  Key("Other", "Pass");
  EXPECT_FALSE(LoadComboBox(section_, "Other", &list, true));
  EXPECT_EQ(list.currentIndex(), 1);
  EXPECT_EQ(ControlColor(&list), MissingKeyColor());

  EXPECT_FALSE(LoadComboBox(section_, "Missing", &list, false));
  EXPECT_EQ(ControlColor(&list), TakenKeyColor());
  // A missing key reads as the empty text, which an empty item takes.
  list.addItem(QString());
  EXPECT_TRUE(LoadComboBox(section_, "Missing", &list, true));
  EXPECT_EQ(list.currentIndex(), 2);
}

TEST_F(Binding, shouldLoadEveryAddressThatTheDeviceRuleAcceptsWithoutThrowing) {
  TIPAddress ip(&page_);
  Key("a", " 10.0.0.7");
  Key("b", "$C0.168.1.$FE");
  Key("c", "1.2.3");
  Key("d", "1.2.3.4.5");
  Key("e", "256.1.1.1");
  const QColor before = ControlColor(&ip);
  EXPECT_TRUE(LoadIPAddress(section_, "a", &ip, true));
  EXPECT_EQ(ip.Address(), "10.0.0.7");
  EXPECT_TRUE(LoadIPAddress(section_, "b", &ip, true));
  EXPECT_EQ(ip.Address(), "192.168.1.254");
  EXPECT_EQ(Markers(), 0);
  for (const char* bad : {"c", "d", "e", "missing"}) {
    EXPECT_FALSE(LoadIPAddress(section_, bad, &ip, true)) << bad;
    EXPECT_EQ(ip.Address(), "192.168.1.254") << bad;
  }
  EXPECT_EQ(Markers(), 4);
  EXPECT_EQ(ControlColor(&ip), before);
}

TEST_F(Binding, shouldLoadEmptyTextIntoEditAndMarkMissingKey) {
  QLineEdit edit(&page_);
  edit.setText("old");
  EXPECT_FALSE(LoadEdit(section_, "Domain", &edit, true));
  EXPECT_EQ(edit.text(), "old");
  EXPECT_EQ(ControlColor(&edit), MissingKeyColor());
  section_.AppendChild("Domain");
  EXPECT_TRUE(LoadEdit(section_, "Domain", &edit, true));
  EXPECT_EQ(edit.text(), "");
  EXPECT_EQ(ControlColor(&edit), TakenKeyColor());
}

TEST_F(Binding, shouldStoreOnlyWhileTheControlsOwnFlagIsSet) {
  QCheckBox box(&page_);
  QLineEdit edit(&page_);
  edit.setText("new");
  Key("Domain", "device");
  edit.setEnabled(false);
  box.setEnabled(false);
  SaveEdit(section_, "Domain", &edit);
  SaveCheckBox(section_, "Disable_SNMP", &box, true);
  EXPECT_EQ(Value("Domain"), "device");
  EXPECT_FALSE(Has("Disable_SNMP"));

  // A hidden or disabled page does not count: only the control's own flag does.
  edit.setEnabled(true);
  box.setEnabled(true);
  page_.setEnabled(false);
  box.setChecked(true);
  SaveEdit(section_, "Domain", &edit);
  SaveCheckBox(section_, "Disable_SNMP", &box, true);
  SaveCheckBox(section_, "Enable_Encryption", &box, false);
  EXPECT_EQ(Value("Domain"), "new");
  EXPECT_EQ(Value("Disable_SNMP"), "N");
  EXPECT_EQ(Value("Enable_Encryption"), "Y");
  box.setChecked(false);
  SaveCheckBox(section_, "Disable_SNMP", &box, true);
  EXPECT_EQ(Value("Disable_SNMP"), "Y");
  EXPECT_EQ(section_.ChildCount(), 3);  // an existing key is overwritten, never repeated
}

TEST_F(Binding, shouldStoreValuesInTheirWrittenForms) {
  TIntEdit port(&page_);
  port.SetMaxValue(65535);
  QComboBox list(&page_);
  list.addItems({"Regular", "Low", "High"});
  TIPAddress ip(&page_);
  ip.SetAddress("10.0.0.7");

  port.setText("70000");  // typed, never validated
  SaveIntEdit(section_, "HTTP_Port_Number", &port);
  EXPECT_EQ(Value("HTTP_Port_Number"), "65535");
  port.setText("-5");
  SaveIntEdit(section_, "HTTP_Port_Number", &port);
  EXPECT_EQ(Value("HTTP_Port_Number"), "0");
  port.SetValue(10001);
  SaveIntEdit(section_, "HTTP_Port_Number", &port);
  EXPECT_EQ(Value("HTTP_Port_Number"), "10001");

  list.setCurrentIndex(-1);
  SaveComboBox(section_, "CPU_performance", &list, false);
  EXPECT_FALSE(FindNodePath(section_, "CPU_performance", false)) << "nothing chosen: the device keeps its value";
  list.setCurrentIndex(2);
  SaveComboBox(section_, "CPU_performance", &list, false);
  SaveComboBox(section_, "Baudrate", &list, true);
  EXPECT_EQ(Value("CPU_performance"), "2");
  EXPECT_EQ(Value("Baudrate"), "High");

  SaveIPAddress(section_, "Mail_server", &ip);
  EXPECT_EQ(Value("Mail_server"), "10.0.0.7");
}

TEST_F(Binding, shouldDisableOnlyThePanelWithoutRecursion) {
  QWidget panel(&page_);
  QCheckBox a(&panel);
  QWidget inner(&panel);
  QLineEdit b(&inner);
  EnableControls({&panel}, false, false);
  EXPECT_FALSE(IsOwnEnabled(&panel));
  EXPECT_TRUE(IsOwnEnabled(&a));
  EXPECT_TRUE(IsOwnEnabled(&b));

  EnableControls({&panel}, false, true);
  for (QWidget* w : {static_cast<QWidget*>(&panel), static_cast<QWidget*>(&a), &inner, static_cast<QWidget*>(&b)})
    EXPECT_FALSE(IsOwnEnabled(w));
  // Enabling the panel alone leaves the controls that recursion disabled.
  EnableControls({&panel}, true, false);
  EXPECT_FALSE(b.isEnabled());
  EnableControls({&panel}, true, true);
  EXPECT_TRUE(b.isEnabled());
}

TEST_F(Binding, shouldSkipObjectsWithoutEnabledPropertyAndNone) {
  QObject plain;
  QAction action(nullptr);
  QCheckBox box(&page_);
  EnableControls({&plain, nullptr, &action, &box}, false, true);
  EXPECT_TRUE(plain.dynamicPropertyNames().isEmpty());
  EXPECT_FALSE(action.isEnabled());
  EXPECT_FALSE(box.isEnabled());
}

}  // namespace
