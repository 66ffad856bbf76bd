// Renders every control of the library in its states to PNG files, for a look by eye.
// Usage: kavrune-gallery [output directory]

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QAbstractItemDelegate>

#include "AfPortControls.h"
#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "uIntEdit.h"
#include "ufAbout.h"

namespace {

QLabel* Caption(QWidget* parent, int x, int y, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->move(x, y);
  l->adjustSize();
  return l;
}

// The four schemas of the main window's menu column.
void Schema(TShapeExColorSchema& s, QColor fill, QColor border, QColor overUpFill, QColor overUpBorder,
            QColor overDownFill, QColor overDownBorder, QColor downFill, QColor downBorder) {
  s.DefaultColorStyle()->SetColors(fill, border, Qt::black);
  s.MouseOverUpColorStyle()->SetColors(overUpFill, overUpBorder, Qt::black);
  s.MouseOverDownColorStyle()->SetColors(overDownFill, overDownBorder, Qt::black);
  s.DownColorStyle()->SetColors(downFill, downBorder, Qt::black);
  s.DisabledColorStyle()->SetColors(QColor(0xE1, 0xDF, 0xFF), QColor(0xC0, 0xC0, 0xC0), Qt::gray);
  s.SetMouseOverEnabled(true);
}

void Hover(QWidget* w) {
  QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(w, &e);
}

// The background of one picture.
class TSheet final : public QWidget {
 public:
  TSheet(int width, int height, QColor colour) {
    resize(width, height);
    setAutoFillBackground(true);
    setPalette(colour);
  }
};

void Save(QWidget& w, const QString& file) {
  w.grab().save(file);
  std::printf("%s\n", qPrintable(file));
}

void NumericEdits(const QString& out) {
  TSheet sheet(330, 150, QColor(0xE1, 0xDF, 0xFF));
  int y = 10;
  auto row = [&](const QString& what, auto setup) {
    Caption(&sheet, 10, y + 4, what);
    auto* e = new TIntEdit(&sheet);
    e->setGeometry(160, y, 87, 21);
    setup(e);
    y += 30;
  };
  row("normal, 0..65535", [](TIntEdit* e) { e->SetColored(false); e->SetMaxValue(65535); e->SetValue(10001); });
  row("disabled", [](TIntEdit* e) { e->SetColored(false); e->SetMaxValue(65535); e->SetValue(80); e->setEnabled(false); });
  row("colored, negative", [](TIntEdit* e) { e->SetMinValue(-100); e->SetValue(-42); });
  row("colored, positive, narrow", [](TIntEdit* e) { e->setFixedWidth(49); e->SetValue(7); });
  Save(sheet, out + "/intedit.png");
}

void IPAddresses(const QString& out) {
  TSheet sheet(330, 110, QColor(Qt::white));
  Caption(&sheet, 10, 14, "normal");
  auto* a = new TIPAddress(&sheet);
  a->move(160, 10);
  a->SetAddress("192.168.1.254");
  Caption(&sheet, 10, 44, "disabled");
  auto* b = new TIPAddress(&sheet);
  b->move(160, 40);
  b->SetAddress("10.0.0.1");
  b->setEnabled(false);
  Caption(&sheet, 10, 74, "at start");
  auto* c = new TIPAddress(&sheet);
  c->move(160, 70);
  Save(sheet, out + "/ipaddress.png");
}

void ShapeButtons(const QString& out) {
  TSheet sheet(480, 330, QColor(0xE1, 0xDF, 0xFF));
  TShapeExColorSchema menu, utility, warning, green;
  Schema(menu, Qt::white, QColor(0x70, 0x70, 0x90), QColor(0xE0, 0xE0, 0xFF), QColor(0, 0, 0xA0),
         QColor(0xC0, 0xC0, 0xFF), QColor(0, 0, 0xA0), QColor(0xC0, 0xC0, 0xFF), QColor(0, 0, 0x80));
  Schema(utility, Qt::white, Qt::gray, QColor(0xFF, 0xFF, 0x9B), QColor(0x91, 0x91, 0), Qt::white, Qt::black,
         Qt::white, Qt::black);
  Schema(warning, Qt::white, QColor(0x90, 0x90, 0x70), QColor(0xFF, 0xE0, 0xE0), QColor(0xA0, 0, 0), Qt::white,
         Qt::black, QColor(0xFF, 0xC0, 0xC0), QColor(0x80, 0, 0));
  Schema(green, Qt::white, QColor(0x70, 0x90, 0x90), QColor(0xE0, 0xFF, 0xE0), QColor(0, 0xA0, 0), Qt::white,
         Qt::black, QColor(0xC0, 0xFF, 0xC0), QColor(0, 0x80, 0));
  QFont bold(QStringLiteral("Arial"));
  bold.setPixelSize(12);
  bold.setBold(true);

  struct Row {
    const char* label;
    TShapeExColorSchema* schema;
    const char* caption;
    bool down, hover, enabled;
  };
  const Row rows[] = {
      {"menu: normal", &menu, "Network", false, false, true},
      {"menu: mouse over", &menu, "Server", false, true, true},
      {"menu: down", &menu, "Services", true, false, true},
      {"menu: down, mouse over", &menu, "Channel 1", true, true, true},
      {"menu: disabled", &menu, "WLAN", false, false, false},
      {"menu: disabled, down", &menu, "Channel 2", true, false, false},
      {"green: normal / over", &green, "Apply Settings", false, false, true},
      {"utility: normal / over", &utility, "Reload from device", false, false, true},
      {"warning: normal / over", &warning, "Disconnect", false, false, true},
      {"warning: down", &warning, "Quit", true, false, true},
  };
  int y = 10;
  for (const Row& r : rows) {
    Caption(&sheet, 10, y + 4, r.label);
    auto* b = new TShapeEx(&sheet);
    b->setGeometry(160, y, 127, 21);
    b->setFont(bold);
    b->SetColorSchema(r.schema);
    b->SetCaption(r.caption);
    b->SetDown(r.down);
    b->setEnabled(r.enabled);
    if (r.hover) Hover(b);
    if (std::string(r.label).find("/ over") != std::string::npos) {
      auto* h = new TShapeEx(&sheet);
      h->setGeometry(300, y, 127, 21);
      h->setFont(bold);
      h->SetColorSchema(r.schema);
      h->SetCaption(r.caption);
      Hover(h);
    }
    y += 24;
  }
  // Shapes of their own colours: a step box of the connection page and the others.
  auto* step = new TShapeEx(&sheet);
  step->setGeometry(10, 256, 300, 33);
  step->SetShape(TShapeEx::stRoundRect);
  step->SetRoundCorner(5);
  step->SetBrushColor(QColor(0xE0, 0xFF, 0xE0));
  step->SetPenColor(QColor(0x70, 0x90, 0x70));
  step->SetCaption("1.  Disconnect kaVRUNE module from power");
  const TShapeEx::TShapeType shapes[] = {TShapeEx::stEllipse, TShapeEx::stCircle, TShapeEx::stSquare,
                                         TShapeEx::stRoundSquare};
  int x = 320;
  for (auto s : shapes) {
    auto* b = new TShapeEx(&sheet);
    b->setGeometry(x, 256, 36, 60);
    b->SetShape(s);
    b->SetRoundCorner(12);
    b->SetPenWidth(2);
    b->SetBrushColor(QColor(0xFF, 0xE1, 0xC4));
    b->SetPenColor(QColor(0xA0, 0, 0));
    x += 40;
  }
  Save(sheet, out + "/shapeex.png");
}

void PortPicker(const QString& out) {
  TSheet sheet(330, 200, QColor(Qt::white));
  Caption(&sheet, 10, 14, "closed, normal");
  auto* a = new TAfPortComboBox(&sheet);
  a->setGeometry(130, 10, 172, 21);
  a->SetMaxComPorts(6);
  a->SetOptions({TAfPortComboBox::pcHighlightOpen});
  a->SetComNumber(3);
  Caption(&sheet, 10, 44, "closed, disabled");
  auto* b = new TAfPortComboBox(&sheet);
  b->setGeometry(130, 40, 172, 21);
  b->SetMaxComPorts(6);
  b->SetOptions({});
  b->SetComNumber(2);
  b->setEnabled(false);
  Caption(&sheet, 10, 74, "dropped-down list");
  QPixmap list(172, a->ItemHeight() * a->count() + 2);
  list.fill(Qt::white);
  {
    QPainter p(&list);
    p.setPen(Qt::gray);
    p.drawRect(list.rect().adjusted(0, 0, -1, -1));
    for (int i = 0; i < a->count(); ++i) {
      QStyleOptionViewItem opt;
      opt.rect = QRect(1, 1 + i * a->ItemHeight(), 170, a->ItemHeight());
      opt.state = QStyle::State_Enabled | (i == 2 ? QStyle::State_Selected : QStyle::State_None);
      a->itemDelegate()->paint(&p, opt, a->model()->index(i, 0));
    }
  }
  auto* shot = new QLabel(&sheet);
  shot->setPixmap(list);
  shot->move(130, 70);
  shot->adjustSize();
  Save(sheet, out + "/picker.png");
}

void About(const QString& out) {
  TfAbout about("kaVRUNE", "kaVRUNE");
  Save(about, out + "/about.png");
  QWidget* hover = about.findChild<QWidget*>("iLinkHover");
  hover->raise();
  Save(about, out + "/about-hover.png");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(11);
  QApplication::setFont(f);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
  QDir().mkpath(out);
  NumericEdits(out);
  IPAddresses(out);
  ShapeButtons(out);
  PortPicker(out);
  About(out);
  return 0;
}
