#include "uSettingsSheet.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRadioButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "ComCtrlsAdds.h"

namespace {

// Secrets among the edits, and whether the unit reports them: a password the unit never prints
// is only a new one to be written, so an empty edit says nothing about the unit and is left out.
const std::map<QString, bool>& Secrets() {
  static const std::map<QString, bool> secrets = {
      {QStringLiteral("eChannel1ConnectionPassword"), true},
      {QStringLiteral("eServerTelnetPass"), false},
      {QStringLiteral("eServicesPassword"), false},
      {QStringLiteral("eServicesKey"), false},
      {QStringLiteral("eWLANKey"), false},
  };
  return secrets;
}

bool IsRetype(const QWidget* w) {
  static const std::set<QString> retypes = {QStringLiteral("eServerTelnetPass2"), QStringLiteral("eServicesPassword2")};
  return retypes.count(w->objectName()) != 0;
}

// Named: a check box or radio button with its caption; Own: a label that is a line of its own.
enum class TItemKind { Label, Value, Named, Own };

struct TItem {
  const QWidget* Widget;
  TItemKind Kind;
  QRect Rect;  // in the page's coordinates
  QString Text;
};

// What an empty text or list shows on the sheet.
const QString kEmpty = QStringLiteral("\u2014");

QString Plain(QString text) {
  text.remove(QLatin1Char('&'));
  return text.simplified();
}

// The value a control shows, in words; empty: leave the control out.
QString ValueOf(const QWidget* w, const TSheetWords& words) {
  if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->isChecked() ? words.On : words.Off;
  if (const auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText().isEmpty() ? kEmpty : c->currentText();
  if (const auto* s = qobject_cast<const QAbstractSpinBox*>(w)) return s->text();
  if (const auto* a = qobject_cast<const TIPAddress*>(w)) return a->Text();
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
    const auto secret = Secrets().find(e->objectName());
    const bool isSecret = secret != Secrets().end() || e->echoMode() != QLineEdit::Normal;
    if (!isSecret) return e->text().isEmpty() ? kEmpty : e->text();
    if (!e->text().isEmpty()) return words.Set;
    return secret != Secrets().end() && secret->second ? words.NotSet : QString();
  }
  return {};
}

bool IsValueControl(const QWidget* w) {
  return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const TIPAddress*>(w) || qobject_cast<const QLineEdit*>(w);
}

// The controls and labels of a page: a value control's own parts are not descended into.
void Collect(const QWidget* page, const QWidget* w, const TSheetWords& words, std::vector<TItem>& items) {
  for (const QObject* o : w->children()) {
    const auto* child = qobject_cast<const QWidget*>(o);
    if (!child || !child->isVisibleTo(page)) continue;
    const QRect rect(child->mapTo(page, QPoint(0, 0)), child->size());
    if (const auto* label = qobject_cast<const QLabel*>(child)) {
      const TItemKind kind = label->property("sheetName").toString().isEmpty() ? TItemKind::Label : TItemKind::Own;
      if (!Plain(label->text()).isEmpty()) items.push_back({child, kind, rect, Plain(label->text())});
    } else if (qobject_cast<const QCheckBox*>(child) || qobject_cast<const QRadioButton*>(child)) {
      const QString caption = Plain(static_cast<const QAbstractButton*>(child)->text());
      if (caption.isEmpty()) items.push_back({child, TItemKind::Value, rect, ValueOf(child, words)});
      else items.push_back({child, TItemKind::Named, rect, caption});
    } else if (IsValueControl(child)) {
      // The second entry of a password only repeats the first: its line is left out.
      items.push_back({child, TItemKind::Value, rect, IsRetype(child) ? QString() : ValueOf(child, words)});
    } else if (!qobject_cast<const QAbstractButton*>(child)) {
      Collect(page, child, words, items);
    }
  }
}

// Two items stand on one line when the middle of the lower one lies within the taller one.
bool SameLine(const QRect& a, const QRect& b) {
  const QRect& tall = a.height() >= b.height() ? a : b;
  const QRect& other = &tall == &a ? b : a;
  const int middle = other.center().y();
  return middle >= tall.top() && middle <= tall.bottom();
}

// A label that names the control after it ends in a colon; ":" between two numbers and
// "(in Hex)" after one are part of the value.
bool IsName(const TItem& item) {
  return item.Kind == TItemKind::Label && item.Text.size() > 1 && item.Text.endsWith(QLatin1Char(':'));
}

struct TEntry {
  QRect Rect;  // of the name
  TSheetLine Line;
  bool Dropped = false;  // a password the unit never prints: the sheet has nothing to say of it
};

}  // namespace

std::vector<TSheetGroup> SheetGroupsOf(const QWidget* page, const TSheetWords& words,
                                       const std::function<bool(const QWidget*)>& edited) {
  auto isEdited = [&](const QWidget* w) { return edited && edited(w); };
  std::vector<TItem> items;
  Collect(page, page, words, items);

  // Lines, top to bottom, each left to right.
  std::vector<std::vector<TItem>> lines;
  std::stable_sort(items.begin(), items.end(),
                   [](const TItem& a, const TItem& b) { return a.Rect.top() < b.Rect.top(); });
  for (const TItem& item : items) {
    // Of two items one above the other, neither joins the other's line.
    auto line = std::find_if(lines.begin(), lines.end(), [&](const std::vector<TItem>& l) {
      return std::any_of(l.begin(), l.end(), [&](const TItem& i) { return SameLine(i.Rect, item.Rect); }) &&
             std::none_of(l.begin(), l.end(), [&](const TItem& i) {
               return i.Rect.left() < item.Rect.right() && item.Rect.left() < i.Rect.right();
             });
    });
    if (line == lines.end()) lines.push_back({item});
    else line->push_back(item);
  }

  std::vector<TEntry> headings, entries;
  for (std::vector<TItem>& line : lines) {
    std::sort(line.begin(), line.end(), [](const TItem& a, const TItem& b) { return a.Rect.left() < b.Rect.left(); });
    const bool anyValue =
        std::any_of(line.begin(), line.end(), [](const TItem& i) { return i.Kind != TItemKind::Label; });
    if (!anyValue) {
      for (const TItem& i : line) headings.push_back({i.Rect, {i.Text, {}}});
      continue;
    }
    TEntry* open = nullptr;  // the entry whose value the items now met belong to
    bool valueSeen = false;
    for (const TItem& i : line) {
      if (i.Kind == TItemKind::Own) {
        entries.push_back({i.Rect, {i.Widget->property("sheetName").toString(), i.Text}});
      } else if (i.Kind == TItemKind::Named) {
        entries.push_back({i.Rect, {i.Text, ValueOf(i.Widget, words), isEdited(i.Widget)}});
        open = nullptr;
      } else if (i.Kind == TItemKind::Label && (!open || (valueSeen && IsName(i)))) {
        entries.push_back({i.Rect, {i.Text, {}}});
        open = &entries.back();
        valueSeen = false;
      } else if (open && i.Kind == TItemKind::Value && i.Text.isEmpty()) {
        open->Dropped = true;  // a password the unit never prints
      } else if (open) {
        // Units and separators after a value ("(in Hex)", the ":" between minutes and seconds)
        // are part of it.
        QString& value = open->Line.Value;
        const bool tight = value.isEmpty() || i.Text == QLatin1String(":") || value.endsWith(QLatin1Char(':'));
        value += (tight ? QString() : QStringLiteral(" ")) + i.Text;
        valueSeen = valueSeen || i.Kind == TItemKind::Value;
        open->Line.Edited = open->Line.Edited || (i.Kind == TItemKind::Value && isEdited(i.Widget));
      }
    }
  }
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const TEntry& e) { return e.Dropped || e.Line.Value.isEmpty(); }),
                entries.end());

  // Each entry belongs under the nearest heading above it that starts left of it; of two on one
  // line, the one further right.
  std::vector<TSheetGroup> groups(headings.size() + 1);
  for (size_t h = 0; h < headings.size(); ++h) groups[h + 1].Heading = headings[h].Line.Name;
  std::vector<std::vector<const TEntry*>> members(groups.size());
  for (const TEntry& e : entries) {
    size_t best = 0;
    for (size_t h = 0; h < headings.size(); ++h) {
      const QRect& r = headings[h].Rect;
      if (r.top() >= e.Rect.top() || r.left() > e.Rect.left() + 4) continue;
      const QRect* b = best ? &headings[best - 1].Rect : nullptr;
      if (!b || r.top() > b->top() + 4 || (std::abs(r.top() - b->top()) <= 4 && r.left() > b->left())) best = h + 1;
    }
    members[best].push_back(&e);
  }
  // Headings in reading order: a line, then the one below it; within a group the left column
  // first.
  std::vector<size_t> order(groups.size());
  for (size_t g = 0; g < order.size(); ++g) order[g] = g;
  auto top = [&](size_t g) { return g == 0 ? QPoint(-1, -1) : headings[g - 1].Rect.topLeft(); };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const QPoint pa = top(a), pb = top(b);
    if (std::abs(pa.y() - pb.y()) > 4) return pa.y() < pb.y();
    return pa.x() < pb.x();
  });
  const int middle = page->width() / 2;
  std::vector<TSheetGroup> out;
  for (size_t g : order) {
    if (members[g].empty()) continue;
    std::stable_sort(members[g].begin(), members[g].end(), [&](const TEntry* a, const TEntry* b) {
      const bool ra = a->Rect.left() >= middle, rb = b->Rect.left() >= middle;
      if (ra != rb) return rb;
      return a->Rect.top() < b->Rect.top();
    });
    TSheetGroup group{groups[g].Heading, {}};
    for (const TEntry* e : members[g]) group.Lines.push_back(e->Line);
    out.push_back(std::move(group));
  }
  return out;
}

namespace {

QString Escaped(const QString& s) { return s.toHtmlEscaped(); }

QString ValueHtml(const TSheetLine& l, const TSheetHead& head) {
  if (!l.Edited) return Escaped(l.Value);
  return QStringLiteral("%1 <span style=\"color: #B04A00;\">%2</span>").arg(Escaped(l.Value), Escaped(head.EditedMark));
}

QString SheetHtml(const TSheetHead& head, const std::vector<TSheetPart>& parts) {
  QString html = QStringLiteral(
      "<html><head><style>"
      "h1 { font-size: 16pt; margin-bottom: 4pt; }"
      "h2 { font-size: 12pt; margin-top: 12pt; margin-bottom: 2pt; color: #00508C; }"
      "h3 { font-size: 9.5pt; margin-top: 6pt; margin-bottom: 1pt; }"
      "td { font-size: 9pt; }"
      "td.name { color: #404040; white-space: nowrap; }"
      "</style></head><body>");
  html +=
      QStringLiteral("<h1>%1</h1><table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">").arg(Escaped(head.Title));
  for (const TSheetLine& l : head.Lines)
    html += QStringLiteral("<tr><td class=\"name\" width=\"20%\">%1</td><td><b>%2</b></td></tr>")
                .arg(Escaped(l.Name), Escaped(l.Value));
  html += QStringLiteral("</table>");
  // A group's lines in two columns across the page, the first half down the left one.
  auto cells = [&](const TSheetLine* l) {
    return l ? QStringLiteral("<td class=\"name\" width=\"30%\">%1</td><td width=\"20%\">%2</td>")
                   .arg(Escaped(l->Name), ValueHtml(*l, head))
             : QStringLiteral("<td width=\"30%\"></td><td width=\"20%\"></td>");
  };
  for (const TSheetPart& part : parts) {
    html += QStringLiteral("<h2>%1</h2>").arg(Escaped(part.Title));
    for (const TSheetGroup& g : part.Groups) {
      if (!g.Heading.isEmpty()) html += QStringLiteral("<h3>%1</h3>").arg(Escaped(g.Heading));
      html += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">");
      const size_t rows = (g.Lines.size() + 1) / 2;
      for (size_t r = 0; r < rows; ++r)
        html += QStringLiteral("<tr>") + cells(&g.Lines[r]) +
                cells(r + rows < g.Lines.size() ? &g.Lines[r + rows] : nullptr) + QStringLiteral("</tr>");
      html += QStringLiteral("</table>");
    }
  }
  return html + QStringLiteral("</body></html>");
}

// A heading at a page's foot, its lines on the next page, goes over with them: each pass moves
// the first such heading (or row of headings) and lays the pages out again.
void KeepHeadingsWithTheirLines(QTextDocument& doc) {
  const qreal pageHeight = doc.pageSize().height();
  auto pageOf = [&](const QTextBlock& b) {
    return static_cast<int>(doc.documentLayout()->blockBoundingRect(b).top() / pageHeight);
  };
  for (int pass = 0; pass < doc.blockCount(); ++pass) {
    QTextBlock headings;  // the first of the headings met in a row
    bool moved = false;
    for (QTextBlock b = doc.begin(); b.isValid() && !moved; b = b.next()) {
      if (b.text().trimmed().isEmpty()) continue;
      if (b.blockFormat().headingLevel() > 0) {
        if (!headings.isValid()) headings = b;
        continue;
      }
      const bool alone = headings.isValid() && pageOf(b) > pageOf(headings) &&
                         !(headings.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
      if (alone) {
        QTextBlockFormat format = headings.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(headings).setBlockFormat(format);
        moved = true;
      }
      headings = QTextBlock();
    }
    if (!moved) return;
  }
}

}  // namespace

QString SheetTime(const QDateTime& time, bool withDate) {
  const int offset = time.offsetFromUtc() / 60;
  const QString zone = QStringLiteral("%1%2:%3")
                           .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                           .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                           .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
  return time.toString(withDate ? QStringLiteral("yyyy-MM-dd HH:mm:ss ") : QStringLiteral("HH:mm:ss ")) + zone;
}

QString SheetText(const TSheetHead& head, const std::vector<TSheetPart>& parts) {
  QString out = head.Title + QLatin1Char('\n');
  auto lines = [&](const std::vector<TSheetLine>& ls, const QString& indent) {
    qsizetype width = 0;
    for (const TSheetLine& l : ls) width = std::max(width, l.Name.size());
    for (const TSheetLine& l : ls)
      out += indent + l.Name.leftJustified(width) + QStringLiteral("  ") + l.Value +
             (l.Edited ? QStringLiteral("  ") + head.EditedMark : QString()) + QLatin1Char('\n');
  };
  lines(head.Lines, QString());
  for (const TSheetPart& part : parts) {
    out += QLatin1Char('\n') + part.Title + QLatin1Char('\n');
    for (const TSheetGroup& g : part.Groups) {
      if (!g.Heading.isEmpty()) out += QStringLiteral("  ") + g.Heading + QLatin1Char('\n');
      lines(g.Lines, g.Heading.isEmpty() ? QStringLiteral("  ") : QStringLiteral("    "));
    }
  }
  return out;
}

std::unique_ptr<QTextDocument> SheetDocument(const TSheetHead& head, const std::vector<TSheetPart>& parts,
                                             QPaintDevice* device, const QSizeF& pageSize) {
  auto doc = std::make_unique<QTextDocument>();
  doc->setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 9));
  doc->setHtml(SheetHtml(head, parts));
  doc->documentLayout()->setPaintDevice(device);
  // The page's margins are the writer's.
  QTextFrameFormat root = doc->rootFrame()->frameFormat();
  root.setMargin(0);
  doc->rootFrame()->setFrameFormat(root);
  doc->setPageSize(pageSize);
  KeepHeadingsWithTheirLines(*doc);
  return doc;
}

void WriteSheetPdf(const QString& fileName, const TSheetHead& head, const std::vector<TSheetPart>& parts) {
  // Written beside the file and renamed over it: a failure leaves no half sheet.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw std::runtime_error(QStringLiteral("%1: %2").arg(fileName, file.errorString()).toStdString());
  {
    QPdfWriter pdf(&file);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    pdf.setResolution(300);
    pdf.setTitle(head.Title);
    pdf.setCreator(QStringLiteral("kaVRUNE setup"));
    // The page's number under its text.
    const QFont footFont(QStringLiteral("Liberation Sans"), 8);
    const qreal foot = 2 * QFontMetricsF(footFont, &pdf).height();
    const QSizeF body(pdf.width(), pdf.height() - foot);
    const auto doc = SheetDocument(head, parts, &pdf, body);
    QPainter painter(&pdf);
    if (!painter.isActive())
      throw std::runtime_error(QStringLiteral("%1: cannot draw the sheet").arg(fileName).toStdString());
    const int pages = doc->pageCount();
    for (int page = 0; page < pages; ++page) {
      if (page > 0) pdf.newPage();
      const QRectF view(0, page * body.height(), body.width(), body.height());
      painter.save();
      painter.translate(0, -view.top());
      painter.setClipRect(view);
      QAbstractTextDocumentLayout::PaintContext context;
      context.clip = view;
      context.palette.setColor(QPalette::Text, Qt::black);
      doc->documentLayout()->draw(&painter, context);
      painter.restore();
      painter.setFont(footFont);
      painter.drawText(QRectF(0, body.height(), body.width(), foot), Qt::AlignRight | Qt::AlignBottom,
                       QStringLiteral("%1 / %2").arg(page + 1).arg(pages));
    }
  }
  if (!file.commit())
    throw std::runtime_error(QStringLiteral("%1: %2").arg(fileName, file.errorString()).toStdString());
}
