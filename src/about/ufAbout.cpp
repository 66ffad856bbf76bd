#include "ufAbout.h"

#include <algorithm>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "uContacts.h"

#ifndef KAVRUNE_FILE_VERSION
#define KAVRUNE_FILE_VERSION ""
#endif

namespace {
const QColor BannerBlue(0x00, 0x7C, 0xC3);
const QColor RuleOrange(0xFF, 0x80, 0x00);
const QColor Lavender(0xE1, 0xDF, 0xFF);
const QColor SkyBlue(0xA6, 0xCA, 0xF0);

QFont VerdanaFont(int pixelSize, bool bold) {
  QFont f;
  // Verdana is seldom installed on Linux; DejaVu Sans shares its wide, open letters.
  f.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}
}  // namespace

QString TfAbout::FileVersionText(const QString& version) {
  const QStringList parts = version.split(u'.');
  if (version.isEmpty() || parts.size() > 4) return {};
  QStringList numbers;
  for (const QString& p : parts) {
    bool ok = false;
    const uint n = p.toUInt(&ok);
    if (!ok || n > 0xFFFF || p.isEmpty() || !p.at(0).isDigit()) return {};
    numbers << QString::number(n);
  }
  while (numbers.size() < 4) numbers << QStringLiteral("0");
  return numbers.join(u'.');
}

QPixmap TfAbout::BackgroundPicture() {
  QPixmap pm(450, 270);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient light(0, 0, 0, 216);
  light.setColorAt(0, Qt::white);
  light.setColorAt(1, Lavender);
  p.fillRect(0, 0, 450, 216, light);
  // Quiet rings in the free corner, echoing the round shapes of the main window.
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 4; ++i) {
    QColor ring = BannerBlue;
    ring.setAlpha(28 - 6 * i);
    p.setPen(QPen(ring, 10));
    p.drawEllipse(QPointF(430, 30), 60 + 34 * i, 60 + 34 * i);
  }
  p.setPen(Qt::NoPen);
  p.fillRect(48, 82, 354, 2, RuleOrange);
  p.fillRect(0, 216, 450, 3, RuleOrange);
  QLinearGradient blue(0, 219, 0, 270);
  blue.setColorAt(0, BannerBlue.lighter(110));
  blue.setColorAt(1, BannerBlue);
  p.fillRect(0, 219, 450, 51, blue);
  return pm;
}

QPixmap TfAbout::LinkPicture(bool hover) {
  // Opaque, with its piece of the background under it: the two looks lie on top of each other and
  // the one below must not shine through.
  QPixmap pm = BackgroundPicture().copy(88, 229, 193, 30);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath frame;
  frame.addRoundedRect(QRectF(0.5, 0.5, 192, 29), 6, 6);
  QColor fill = Qt::white;
  fill.setAlpha(hover ? 60 : 25);
  p.fillPath(frame, fill);
  p.setPen(QPen(hover ? QColor(Qt::white) : SkyBlue, 1));
  p.drawPath(frame);
  QFont f = VerdanaFont(13, hover);
  f.setUnderline(hover);
  p.setFont(f);
  p.setPen(hover ? QColor(Qt::white) : SkyBlue);
  p.drawText(QRect(0, 0, 193, 30), Qt::AlignCenter, QString::fromUtf8(KaVruneWebAddress));
  return pm;
}

namespace {
constexpr std::array<int, 4> DesignedValueX = {96, 96, 88, 80};
}  // namespace

TfAbout::TfAbout(const QString& caption, const QString& projectName, QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("fAbout"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setFixedSize(450, 270);
  QFont base(QStringLiteral("Arial"));
  base.setPixelSize(11);
  setFont(base);

  iBackground = new QLabel(this);
  iBackground->setObjectName(QStringLiteral("iBackground"));
  iBackground->setGeometry(0, 0, 450, 270);
  iBackground->setPixmap(BackgroundPicture());
  iBackground->setMouseTracking(true);
  iBackground->installEventFilter(this);

  iLinkHover = new QLabel(this);
  iLinkHover->setObjectName(QStringLiteral("iLinkHover"));
  iLinkHover->setGeometry(88, 229, 193, 30);
  iLinkHover->setPixmap(LinkPicture(true));
  iLinkHover->setCursor(Qt::PointingHandCursor);
  iLinkHover->setMouseTracking(true);
  iLinkHover->installEventFilter(this);

  iLink = new QLabel(this);
  iLink->setObjectName(QStringLiteral("iLink"));
  iLink->setGeometry(88, 229, 193, 30);
  iLink->setPixmap(LinkPicture(false));
  iLink->setMouseTracking(true);
  iLink->installEventFilter(this);

  lProjectName = MakeText("lProjectName", 48, 36, QStringLiteral("About"), 27, true);
  fields_ = {
      {{MakeText("Label2", 48, 100, QString(), 13),
        lVersion = MakeText("lVersion", 96, 100, QStringLiteral("1.0.0.0"), 13)},
       {MakeText("Label4", 48, 124, QString(), 13),
        MakeText("Label9", 96, 124, QString::fromUtf8(KaVruneCompanyName), 13)},
       {MakeText("Label5", 48, 148, QString(), 13), MakeText("Label10", 88, 148, QString::fromUtf8(KaVruneMail), 13)},
       {MakeText("Label6", 48, 172, QString(), 13),
        MakeText("Label11", 80, 172, QString::fromUtf8(KaVrunePhone), 13)}}};
  SetFieldNames(
      {QStringLiteral("Version:"), QStringLiteral("Author:"), QStringLiteral("Mail:"), QStringLiteral("Phone:")});

  setWindowTitle(caption);
  lProjectName->setText(projectName);
  lProjectName->adjustSize();
  FormCreate();

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfAbout::SetFieldNames(const std::array<QString, 4>& names) {
  for (size_t i = 0; i < fields_.size(); ++i) {
    auto [name, value] = fields_[i];
    name->setText(names[i]);
    name->adjustSize();
    // A longer name in another language pushes its value right instead of running into it.
    value->move(std::max(DesignedValueX[i], name->geometry().right() + 6), value->y());
  }
}

QLabel* TfAbout::MakeText(const char* name, int x, int y, const QString& text, int pixelSize, bool bold) {
  auto* l = new QLabel(text, this);
  l->setObjectName(QString::fromLatin1(name));
  l->setFont(VerdanaFont(pixelSize, bold));
  l->setAttribute(Qt::WA_TransparentForMouseEvents);  // the pointer "sees" the background
  l->move(x, y);
  l->adjustSize();
  return l;
}

void TfAbout::FormCreate() {
  const QString version = FileVersionText(QStringLiteral(KAVRUNE_FILE_VERSION));
  if (version.isEmpty()) return;  // no version known: the designed text stays
  lVersion->setText(version);
  lVersion->adjustSize();
}

void TfAbout::iBackgroundMouseMove() { iLink->raise(); }

void TfAbout::iLinkMouseMove() { iLinkHover->raise(); }

void TfAbout::iLinkHoverClick() {
  const QUrl url(QString::fromUtf8(KaVruneWebUrl));
  if (urlOpener_) urlOpener_(url);
  else QDesktopServices::openUrl(url);
}

bool TfAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    if (watched == iBackground) iBackgroundMouseMove();
    if (watched == iLink) iLinkMouseMove();
  } else if (event->type() == QEvent::MouseButtonRelease && watched == iLinkHover) {
    const auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::LeftButton && iLinkHover->rect().contains(me->position().toPoint())) {
      iLinkHoverClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
