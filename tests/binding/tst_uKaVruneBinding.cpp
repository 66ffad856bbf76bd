// Bindings between the settings model and controls, the missing-value marks and EnableControls.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include "ComCtrlsAdds.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uKaVruneCodecs.h"

namespace {

class Binding : public ::testing::Test {
 protected:
  Binding() { page_.resize(400, 300); }

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    values_.Set(section, key, value);
  }
  std::string Stored(const std::string& section, const std::string& key) const {
    TDeviceSettings stored;
    bindings_.Store(TBoundValues(&stored));
    const std::string* value = stored.Find(section, key);
    return value ? *value : "<none>";
  }
  void Load() { bindings_.Load(TBoundValues(values_)); }
  int Markers() const { return page_.findChildren<TFrameMarker*>().size(); }

  QWidget page_;
  TDeviceSettings values_;
  TBindings bindings_;
};

TEST_F(Binding, shouldTakeEachFlagsPolarityFromItsRowAndFrameAMissingOne) {
  QCheckBox snmp(&page_), encryption(&page_);
  snmp.setGeometry(260, 32, 13, 13);
  bindings_.Bind("Security", "Disable_SNMP", &snmp).Mark(TMissingMark::Frame);
  bindings_.Bind("Security", "Enable_Encryption", &encryption).Mark(TMissingMark::Frame);
  Set("Security", "Disable_SNMP", "N");
  Set("Security", "Enable_Encryption", "Y");
  Load();
  EXPECT_TRUE(snmp.isChecked());
  EXPECT_TRUE(encryption.isChecked());
  EXPECT_EQ(Markers(), 0);
  snmp.setChecked(false);
  EXPECT_EQ(Stored("Security", "Disable_SNMP"), "Y");
  EXPECT_EQ(Stored("Security", "Enable_Encryption"), "Y");

  values_ = TDeviceSettings();
  Set("Security", "Enable_Encryption", "N");
  Load();
  EXPECT_FALSE(snmp.isChecked()) << "a missing value leaves the box";
  ASSERT_EQ(Markers(), 1);
  TFrameMarker* marker = page_.findChild<TFrameMarker*>();
  EXPECT_EQ(marker->geometry(), QRect(258, 30, 17, 17));
  const QObjectList& z = page_.children();
  EXPECT_GT(z.indexOf(&snmp), z.indexOf(marker)) << "the control stays in front of its frame";
  Load();
  EXPECT_EQ(Markers(), 2) << "every missing load adds one";
}

TEST_F(Binding, shouldLeaveASectionNotReportedAloneAndRefuseARowTheTableLacks) {
  QLineEdit edit(&page_);
  edit.setText("kept");
  bindings_.Bind("E-mail", "Domain", &edit).Mark(TMissingMark::Colour);
  Set("Security", "Disable_SNMP", "N");
  const QColor before = ControlColor(&edit);
  Load();
  EXPECT_EQ(edit.text(), "kept");
  EXPECT_EQ(ControlColor(&edit), before);
  EXPECT_THROW(bindings_.Bind("Security", "Disable_Port_77FFh", &edit), std::logic_error);
  EXPECT_THROW(bindings_.Bind("Security", "Disable_SNMP", static_cast<QCheckBox*>(nullptr)), std::logic_error);
}

TEST_F(Binding, shouldShowNumbersAsReadInTheRowsRangeAndStoreOnlyWhatTheRangeHolds) {
  TIntEdit mtu(&page_);
  bindings_.Bind("Expert", "MTU_Size", &mtu).Mark(TMissingMark::Colour);
  EXPECT_EQ(mtu.MinValue(), 512);
  EXPECT_EQ(mtu.MaxValue(), 1400);
  Set("Expert", "CPU_performance", "0");
  Load();
  EXPECT_EQ(ControlColor(&mtu), MissingKeyColor());
  Set("Expert", "MTU_Size", "9999");
  Load();
  EXPECT_EQ(mtu.text(), QStringLiteral("9999")) << "the device's value is shown as read, never clamped";
  EXPECT_EQ(ControlColor(&mtu), TakenKeyColor());
  // As shown, never clamped: the window's range faults keep a typed one from Apply and Save.
  mtu.setText("70000");
  EXPECT_EQ(Stored("Expert", "MTU_Size"), "70000");
  mtu.SetValue(1000);
  EXPECT_EQ(Stored("Expert", "MTU_Size"), "1000");
}

TEST_F(Binding, shouldChooseListItemsByValueAndWriteNothingWithoutAChoice) {
  QComboBox channel(&page_), baud(&page_), flow(&page_);
  channel.addItems({"1", "2", "3"});
  baud.addItems({"9600", "19200"});
  flow.addItems({"none", "XON/XOFF", "XON/XOFF to host"});
  bindings_.Bind("WLAN", "Channel", &channel, 1);
  bindings_.BindText("Channel_1", "Baudrate", &baud).Default("9600").Mark(TMissingMark::Colour);
  bindings_.BindCodes("Channel_1", "Flow", &flow, FlowControlCodes);
  Set("WLAN", "Channel", "3");
  Set("Channel_1", "Baudrate", "19200");
  Set("Channel_1", "Flow", "5");
  Load();
  EXPECT_EQ(channel.currentIndex(), 2);
  EXPECT_EQ(baud.currentIndex(), 1);
  EXPECT_EQ(flow.currentIndex(), 2);
  EXPECT_EQ(Stored("Channel_1", "Flow"), "5");

  Set("WLAN", "Channel", "12");
  Set("Channel_1", "Baudrate", "300");
  Set("Channel_1", "Flow", "FF");
  Load();
  EXPECT_EQ(channel.currentIndex(), 2) << "a value the list does not offer changes nothing";
  EXPECT_EQ(baud.currentIndex(), 0) << "the default stands in";
  EXPECT_EQ(ControlColor(&baud), MissingKeyColor());
  EXPECT_EQ(flow.currentIndex(), -1) << "a code the list lacks selects none";
  EXPECT_EQ(Stored("Channel_1", "Flow"), "<none>") << "nothing chosen: the device keeps its value";
  channel.setCurrentIndex(-1);
  EXPECT_EQ(Stored("WLAN", "Channel"), "<none>");
}

TEST_F(Binding, shouldSpreadAByteOverItsGroupAndStoreOnlyWhileTheControlsOwnFlagIsSet) {
  QCheckBox packing(&page_), in1(&page_), in2(&page_), in3(&page_), out1(&page_), out2(&page_), out3(&page_);
  TIPAddress mail(&page_);
  bindings_.Bind("Channel_1", "FlushMode", {&packing, &in1, &in2, &in3, &out1, &out2, &out3});
  bindings_.Bind("E-mail", "Mail_server", &mail).Default("0.0.0.0").Always();
  Set("Channel_1", "FlushMode", "91");
  Set("E-mail", "Mail_server", "10.0.0.7");
  Load();
  EXPECT_TRUE(packing.isChecked());
  EXPECT_TRUE(in1.isChecked());
  EXPECT_TRUE(out1.isChecked());
  EXPECT_FALSE(in2.isChecked());
  EXPECT_EQ(mail.Address(), "10.0.0.7");
  out3.setChecked(true);
  EXPECT_EQ(Stored("Channel_1", "FlushMode"), "95");

  // A hidden or disabled page does not count: only the control's own flag does.
  page_.setEnabled(false);
  EXPECT_EQ(Stored("Channel_1", "FlushMode"), "95");
  page_.setEnabled(true);
  packing.setEnabled(false);
  mail.setEnabled(false);
  EXPECT_EQ(Stored("Channel_1", "FlushMode"), "<none>");
  EXPECT_EQ(Stored("E-mail", "Mail_server"), "10.0.0.7") << "bound Always";
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
