#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>

#include "AfComPort.h"
#include "AfPortControls.h"
#include "ControlsTestApp.h"

namespace {

struct TFd {
  int fd = -1;
  TFd() = default;
  explicit TFd(int f) : fd(f) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
};

// A pseudo-terminal published as "comN" in the link directory.
struct TPublishedPty {
  TFd master;
  std::string slavePath;
  TFd holder;  // open and locked while the port is "in use"

  TPublishedPty(const QString& dir, int comNumber) {
    int m = -1, s = -1;
    char name[256] = {};
    if (::openpty(&m, &s, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    master.fd = m;
    ::close(s);
    slavePath = name;
    std::filesystem::create_symlink(slavePath, (dir + QStringLiteral("/com%1").arg(comNumber)).toStdString());
  }

  void HoldInUse() {
    holder.fd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder.fd, 0);
    ASSERT_EQ(::flock(holder.fd, LOCK_EX | LOCK_NB), 0);
  }
};

class PortComboBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ::setenv("KAVRUNE_COM_DIR", dir.path().toLocal8Bit().constData(), 1);
    freePort = std::make_unique<TPublishedPty>(dir.path(), 3);
    busyPort = std::make_unique<TPublishedPty>(dir.path(), 7);
    busyPort->HoldInUse();
  }

  static int IndexOfNumber(const TAfPortComboBox& c, int n) {
    for (int i = 0; i < c.count(); ++i)
      if (TAfPortComboBox::RecordNumber(c.ItemRecord(i)) == n) return i;
    return -1;
  }

  // Paints one entry as the dropped-down list would and tells whether the colour appears.
  static bool EntryUsesColour(TAfPortComboBox& c, int index, const QColor& colour) {
    QImage img(120, c.ItemHeight(), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QStyleOptionViewItem opt;
    opt.rect = img.rect();
    opt.state = QStyle::State_Enabled;
    c.itemDelegate()->paint(&p, opt, c.model()->index(index, 0));
    p.end();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) == colour) return true;
    return false;
  }

  QTemporaryDir dir;
  std::unique_ptr<TPublishedPty> freePort;
  std::unique_ptr<TPublishedPty> busyPort;
};

TEST_F(PortComboBoxTest, shouldProbeFreeInUseAndAbsentPorts) {
  EXPECT_EQ(TAfPortComboBox::ProbePort(3), (1u << 16) | 3u);
  EXPECT_EQ(TAfPortComboBox::ProbePort(7), 7u);
  const uint32_t absent = TAfPortComboBox::ProbePort(250);
  EXPECT_EQ(TAfPortComboBox::RecordState(absent), TAfPortComboBox::psAbsent);
  EXPECT_EQ(TAfPortComboBox::RecordNumber(absent), 250);
}

TEST_F(PortComboBoxTest, shouldListNothingWithZeroMaxComPorts) {
  TAfPortComboBox c;
  c.SetMaxComPorts(0);
  EXPECT_EQ(c.count(), 0);
  c.UpdateSelection();
  EXPECT_EQ(c.ComNumber(), 0);
  c.SetMaxComPorts(-4);
  EXPECT_EQ(c.count(), 0);
}

TEST_F(PortComboBoxTest, shouldListOnlyFreePortsWithDisableOpen) {
  TAfPortComboBox c;
  c.SetOptions({TAfPortComboBox::pcCheckExist, TAfPortComboBox::pcDisableOpen, TAfPortComboBox::pcHighlightOpen});
  const int i = IndexOfNumber(c, 3);
  ASSERT_GE(i, 0);
  EXPECT_EQ(c.itemText(i), "COM 3");
  EXPECT_EQ(IndexOfNumber(c, 7), -1);
  EXPECT_EQ(c.currentIndex(), -1) << "building the list selects nothing";
  EXPECT_EQ(c.ComNumber(), 0);
}

// The window lists a port another program holds, locked or not, to say who holds it; it is
// never chosen.
TEST_F(PortComboBoxTest, shouldListAHeldPortWithItsHolderAndNeverChooseIt) {
  for (const bool lock : {true, false}) {
    SCOPED_TRACE(lock ? "locked" : "opened without a lock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(busyPort->holder.fd);  // COM 7 stays this process's alone
      const int fd = ::open(freePort->slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const bool locked = fd >= 0 && (!lock || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
      [[maybe_unused]] const ssize_t n = ::write(ready[1], locked ? "1" : "0", 1);
      ::pause();
      ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(locked, '1');
    TAfPortComboBox c;
    c.SetHeldTexts(QStringLiteral("in use by %1"), QStringLiteral("%1 (PID %2)"),
                   QStringLiteral("in use by another program"));
    c.SetOptions({TAfPortComboBox::pcCheckExist, TAfPortComboBox::pcDisableOpen, TAfPortComboBox::pcListHeld});
    const int held = IndexOfNumber(c, 3);
    ASSERT_GE(held, 0);
    const QString description = c.ItemDescription(held);
    EXPECT_TRUE(description.startsWith(QStringLiteral("in use by ")) &&
                description.endsWith(QStringLiteral(" (PID %1)").arg(child)))
        << description.toStdString();
    EXPECT_FALSE(c.ItemChoosable(held));
    // This process holds COM 7 itself, and no program names itself as the holder.
    ASSERT_GE(IndexOfNumber(c, 7), 0);
    EXPECT_EQ(c.ItemDescription(IndexOfNumber(c, 7)), QStringLiteral("in use by another program"));
    emit c.activated(held);
    EXPECT_NE(c.ComNumber(), 3);
    c.SetComNumber(3);
    EXPECT_NE(c.currentIndex(), held) << "the selection passes over it";
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
}

TEST_F(PortComboBoxTest, shouldListPortInUseAndDrawItGreyWhenHighlighting) {
  TAfPortComboBox c;
  QFont f = c.font();
  f.setStyleStrategy(QFont::NoAntialias);
  c.setFont(f);
  c.SetOptions({TAfPortComboBox::pcCheckExist, TAfPortComboBox::pcHighlightOpen});
  const int busy = IndexOfNumber(c, 7);
  const int free = IndexOfNumber(c, 3);
  ASSERT_GE(busy, 0);
  ASSERT_GE(free, 0);
  EXPECT_EQ(TAfPortComboBox::RecordState(c.ItemRecord(busy)), TAfPortComboBox::psInUse);
  EXPECT_EQ(TAfPortComboBox::RecordState(c.ItemRecord(free)), TAfPortComboBox::psFree);
  EXPECT_EQ(IndexOfNumber(c, 250), -1);

  const QColor grey = c.palette().color(QPalette::Disabled, QPalette::Text);
  const QColor plain = c.palette().color(QPalette::ButtonText);
  ASSERT_NE(grey, plain);
  EXPECT_TRUE(EntryUsesColour(c, busy, grey));
  EXPECT_FALSE(EntryUsesColour(c, busy, plain));
  EXPECT_TRUE(EntryUsesColour(c, free, plain));

  c.SetOptions(TAfPortComboBox::pcCheckExist);
  EXPECT_FALSE(EntryUsesColour(c, IndexOfNumber(c, 7), grey)) << "no grey without pcHighlightOpen";
  c.setEnabled(false);
  EXPECT_TRUE(EntryUsesColour(c, IndexOfNumber(c, 3), grey)) << "a disabled picker draws every entry grey";
}

TEST_F(PortComboBoxTest, shouldListEveryNumberWithoutCheckExist) {
  TAfPortComboBox c;
  c.SetMaxComPorts(12);
  c.SetOptions({});
  ASSERT_EQ(c.count(), 12);
  EXPECT_EQ(c.itemText(11), "COM 12");
  EXPECT_EQ(TAfPortComboBox::RecordState(c.ItemRecord(6)), TAfPortComboBox::psInUse);
  EXPECT_EQ(TAfPortComboBox::RecordState(c.ItemRecord(11)), TAfPortComboBox::psAbsent);
}

TEST_F(PortComboBoxTest, shouldTakeChosenNumberFromTheRecordNotTheText) {
  TAfPortComboBox c;
  c.SetMaxComPorts(12);
  c.SetOptions({});
  c.setItemText(11, "COM 99");
  QSignalSpy changes(&c, &TAfPortComboBox::OnChange);
  c.setCurrentIndex(11);
  emit c.activated(11);
  EXPECT_EQ(c.ComNumber(), 12);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(c.currentIndex(), 11) << "the rebuilt list keeps the choice";
}

TEST_F(PortComboBoxTest, shouldSelectFirstEntryForNumberNotListed) {
  TAfPortComboBox c;
  c.SetOptions({TAfPortComboBox::pcCheckExist, TAfPortComboBox::pcDisableOpen});
  QSignalSpy changes(&c, &TAfPortComboBox::OnChange);
  c.SetComNumber(3);
  EXPECT_EQ(c.itemText(c.currentIndex()), "COM 3");
  c.SetComNumber(7);
  EXPECT_EQ(c.currentIndex(), 0);
  EXPECT_EQ(c.ComNumber(), TAfPortComboBox::RecordNumber(c.ItemRecord(0)));
  EXPECT_EQ(changes.count(), 0) << "selection from code raises no change";
}

TEST_F(PortComboBoxTest, shouldShowWhatIsBehindEachNumberAndProbeAgainWhenOpened) {
  TAfPortComboBox c;
  int i = IndexOfNumber(c, 3);
  ASSERT_GE(i, 0);
  EXPECT_EQ(c.itemData(i, Qt::ToolTipRole).toString().toStdString(),
            std::filesystem::canonical(freePort->slavePath).string());
  EXPECT_EQ(c.itemText(i), "COM 3");
  EXPECT_EQ(c.ItemDescription(i).toStdString(), "simulator, " + freePort->slavePath.substr(5));

  TPublishedPty later(dir.path(), 5);
  EXPECT_EQ(IndexOfNumber(c, 5), -1);
  c.show();
  c.showPopup();
  i = IndexOfNumber(c, 5);
  ASSERT_GE(i, 0) << "a port that came after the list was built appears once it is opened";
  EXPECT_EQ(c.itemText(i), "COM 5");
  QStyleOptionViewItem opt;
  EXPECT_GT(c.view()->width(), c.itemDelegate()->sizeHint(opt, c.model()->index(i, 0)).width() - 1)
      << "the open list is wide enough for the descriptions";
  c.hidePopup();
}

TEST_F(PortComboBoxTest, shouldSizeEntriesFromTheFont) {
  TAfPortComboBox c;
  QFont f = c.font();
  f.setPixelSize(20);
  c.setFont(f);
  EXPECT_EQ(c.ItemHeight(), 25);
  QStyleOptionViewItem opt;
  EXPECT_EQ(c.itemDelegate()->sizeHint(opt, c.model()->index(0, 0)).height(), 25);
}

TEST_F(PortComboBoxTest, shouldOpenLinkedPortAndKeepItSelected) {
  auto port = std::make_shared<TAfComPort>();
  TAfPortComboBox c;
  c.SetOptions({TAfPortComboBox::pcCheckExist, TAfPortComboBox::pcDisableOpen});
  c.SetComPort(port);
  const int i = IndexOfNumber(c, 3);
  ASSERT_GE(i, 0);
  c.setCurrentIndex(i);
  emit c.activated(i);
  EXPECT_TRUE(port->Active());
  EXPECT_EQ(port->ComNumber(), 3);
  EXPECT_EQ(c.ComNumber(), 3) << "our own open port must not drop out of the list";
  EXPECT_EQ(c.itemText(c.currentIndex()), "COM 3");
  port->Close();
  port.reset();
  EXPECT_EQ(c.ComPort(), nullptr) << "a destroyed port unlinks itself";
  emit c.activated(c.currentIndex());  // and choosing again touches nothing
  EXPECT_EQ(c.ComNumber(), 3);
}

}  // namespace
