#include "AfPortControls.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <filesystem>
#include <map>

#include "AfComNames.h"
#include "AfComPort.h"
#include "AfPortHolders.h"

namespace {
constexpr int RecordRole = Qt::UserRole + 1;
constexpr int DescriptionRole = Qt::UserRole + 2;
// Between the COM number and what is behind it in the open list.
constexpr int DescriptionGap = 12;

uint16_t StateOf(TComPortState s) {
  switch (s) {
    case TComPortState::InUse: return TAfPortComboBox::psInUse;
    case TComPortState::Free: return TAfPortComboBox::psFree;
    case TComPortState::Absent: break;
  }
  return TAfPortComboBox::psAbsent;
}

// What a Linux user looks for behind "COM 3": the device node a link finally names.
QString DeviceNodeOf(const std::string& path) {
  std::error_code ec;
  const auto target = std::filesystem::canonical(path, ec);
  return QString::fromStdString(ec ? path : target.string());
}
}  // namespace

class TAfPortComboBox::TDelegate final : public QStyledItemDelegate {
 public:
  explicit TDelegate(TAfPortComboBox* owner) : QStyledItemDelegate(owner), owner_(owner) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = owner_->palette();
    p->fillRect(option.rect, selected ? pal.brush(QPalette::Highlight) : pal.brush(QPalette::Base));
    QColor text = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
    if (owner_->options_.testFlag(pcHighlightOpen) && !selected) {
      const uint16_t state = RecordState(index.data(RecordRole).toUInt());
      if (state == psInUse) text = pal.color(QPalette::Disabled, QPalette::Text);
      if (state == psFree) text = pal.color(QPalette::ButtonText);
    }
    if (!owner_->isEnabled()) text = pal.color(QPalette::Disabled, QPalette::Text);
    p->save();
    p->setClipRect(option.rect);
    p->setFont(owner_->font());
    p->setPen(text);
    const QRect r = option.rect.adjusted(1, 1, 0, 0);
    p->drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
    const QString description = index.data(DescriptionRole).toString();
    if (!description.isEmpty()) {
      const QRect d = r.adjusted(NumberColumnWidth(), 0, 0, 0);
      p->drawText(d, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                  owner_->fontMetrics().elidedText(description, Qt::ElideRight, d.width()));
    }
    p->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    int width = QStyledItemDelegate::sizeHint(option, index).width();
    const QString description = index.data(DescriptionRole).toString();
    if (!description.isEmpty())
      width = NumberColumnWidth() + owner_->fontMetrics().horizontalAdvance(description) + DescriptionGap;
    return {width, owner_->ItemHeight()};
  }

  // The descriptions start in one column, after the widest number the list can hold.
  int NumberColumnWidth() const {
    return owner_->fontMetrics().horizontalAdvance(QStringLiteral("COM 255")) + DescriptionGap;
  }

 private:
  TAfPortComboBox* owner_;
};

TAfPortComboBox::TAfPortComboBox(QWidget* parent) : QComboBox(parent) {
  setItemDelegate(new TDelegate(this));
  connect(this, &QComboBox::activated, this, &TAfPortComboBox::UserChoice);
  UpdatePortList();
}

TAfPortComboBox::~TAfPortComboBox() = default;

void TAfPortComboBox::SetComNumber(uint16_t n) {
  if (n == comNumber_) return;
  comNumber_ = n;
  UpdateSelection();
}

void TAfPortComboBox::SetMaxComPorts(int16_t n) {
  if (n == maxComPorts_) return;
  maxComPorts_ = n;
  UpdatePortList();
}

void TAfPortComboBox::SetOptions(TPortComboOptions o) {
  if (o == options_) return;
  options_ = o;
  UpdatePortList();
}

void TAfPortComboBox::SetComPort(const std::weak_ptr<TAfComPort>& port) {
  comPort_ = port;
  if (auto p = comPort_.lock()) SetComNumber(p->ComNumber());
}

uint32_t TAfPortComboBox::ProbePort(int n) {
  return (uint32_t{StateOf(ProbeComPort(n))} << 16) | static_cast<uint16_t>(n);
}

void TAfPortComboBox::UpdatePortList() {
  setUpdatesEnabled(false);
  clear();
  if (maxComPorts_ > 0) {
    // One look at the system for all numbers: resolving each number on its own would scan the
    // device directory 255 times. The records are those ProbePort gives.
    std::map<int, std::string> paths;
    for (auto& e : EnumerateComPorts(maxComPorts_)) paths.emplace(e.ComNumber, std::move(e.DevicePath));
    // The port we opened ourselves is in use by us; it stays listed so the selection keeps it.
    uint16_t ownOpenPort = 0;
    if (auto port = comPort_.lock(); port && port->Active()) ownOpenPort = port->ComNumber();

    for (int n = 1; n <= maxComPorts_; ++n) {
      const auto it = paths.find(n);
      uint16_t state = it == paths.end() ? uint16_t{psAbsent} : StateOf(ProbeDevicePath(it->second));
      // A program that opened the node without a lock (cat, a redirection) leaves it free to the
      // probe, yet takes the unit's answers: in use all the same.
      if (state == psFree && n != ownOpenPort && !PortHolders(it->second).empty()) state = psInUse;
      bool listed = false;
      // Held by someone else: listed, when asked, only to say who holds it.
      const bool held =
          options_.testFlag(pcDisableOpen) && options_.testFlag(pcListHeld) && state == psInUse && n != ownOpenPort;
      if (!options_.testFlag(pcCheckExist)) listed = true;
      else if (options_.testFlag(pcDisableOpen)) listed = state == psFree || n == ownOpenPort || held;
      else listed = state == psInUse || state == psFree;
      if (!listed) continue;
      addItem(QString::asprintf("COM %d", n));
      const int i = count() - 1;
      setItemData(i, (uint32_t{state} << 16) | static_cast<uint16_t>(n), RecordRole);
      if (it == paths.end()) continue;
      setItemData(i, DeviceNodeOf(it->second), Qt::ToolTipRole);
      setItemData(i, held ? HeldText(it->second) : Described(QString::fromStdString(ComPortDescription(it->second))),
                  DescriptionRole);
      if (held)
        if (auto* items = qobject_cast<QStandardItemModel*>(model())) items->item(i)->setEnabled(false);
    }
  }
  // The first entry added would select itself; the selection is UpdateSelection's business.
  setCurrentIndex(-1);
  setUpdatesEnabled(true);
}

void TAfPortComboBox::UpdateSelection() {
  // A held port is no choice: the selection goes to the first port that can be opened.
  int first = -1;
  for (int i = 0; i < count(); ++i) {
    if (!ItemChoosable(i)) continue;
    if (first < 0) first = i;
    if (RecordNumber(ItemRecord(i)) == comNumber_) {
      setCurrentIndex(i);
      return;
    }
  }
  if (first >= 0) {
    setCurrentIndex(first);
    comNumber_ = RecordNumber(ItemRecord(first));
  } else {
    setCurrentIndex(-1);
    comNumber_ = 0;
  }
}

bool TAfPortComboBox::ItemChoosable(int index) const {
  const auto* items = qobject_cast<const QStandardItemModel*>(model());
  return !items || !items->item(index) || items->item(index)->isEnabled();
}

void TAfPortComboBox::SetHeldTexts(const QString& pattern, const QString& holderPattern, const QString& unknown) {
  heldPattern_ = pattern;
  holderPattern_ = holderPattern;
  heldUnknown_ = unknown;
  UpdatePortList();
}

void TAfPortComboBox::SetKindWords(const QHash<QString, QString>& words) {
  kindWords_ = words;
  UpdatePortList();
}

QString TAfPortComboBox::Described(QString description) const {
  // The kind leads the description: "simulator, pts/3".
  for (auto w = kindWords_.begin(); w != kindWords_.end(); ++w)
    if (description == w.key() || description.startsWith(w.key() + QStringLiteral(", ")))
      return description.replace(0, w.key().size(), w.value());
  return description;
}

QString TAfPortComboBox::HeldText(const std::string& path) const {
  QStringList holders;
  for (const TPortHolder& h : PortHolders(path))
    holders << holderPattern_.arg(QString::fromStdString(h.Name)).arg(h.Pid);
  return holders.isEmpty() ? heldUnknown_ : heldPattern_.arg(holders.join(QStringLiteral(", ")));
}

uint32_t TAfPortComboBox::ItemRecord(int index) const { return itemData(index, RecordRole).toUInt(); }

QString TAfPortComboBox::ItemDescription(int index) const { return itemData(index, DescriptionRole).toString(); }

void TAfPortComboBox::showPopup() {
  // A cable plugged in since the list was built shows up the moment the user looks.
  UpdatePortList();
  UpdateSelection();
  int width = 0;
  for (int i = 0; i < count(); ++i) width = qMax(width, view()->sizeHintForIndex(model()->index(i, 0)).width());
  view()->setMinimumWidth(width + 2 * view()->frameWidth());
  QComboBox::showPopup();
}

int TAfPortComboBox::ItemHeight() const { return qAbs(QFontInfo(font()).pixelSize()) + 5; }

void TAfPortComboBox::UserChoice(int index) {
  if (index >= 0 && !ItemChoosable(index)) {
    UpdateSelection();
    return;
  }
  comNumber_ = index >= 0 ? RecordNumber(ItemRecord(index)) : 0;
  emit OnChange(this);
  if (auto port = comPort_.lock(); port && comNumber_ != 0) {
    try {
      port->SetComNumber(comNumber_);
      if (!port->Active()) port->Open();
    } catch (const EAfSerialError& e) {
      // A user's choice ends here in the event loop: show the port's message and go on.
      QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                            QString::fromStdString(AfPortErrorText(e)));
    } catch (const std::exception& e) {
      QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), QString::fromStdString(e.what()));
    }
  }
  UpdatePortList();
  UpdateSelection();
}

void TAfPortComboBox::SetHint(const QString& v) {
  hint_ = v;
  ApplyHint();
}

void TAfPortComboBox::SetShowHint(bool v) {
  showHint_ = v;
  ApplyHint();
}

void TAfPortComboBox::ApplyHint() { setToolTip(showHint_ ? hint_ : QString()); }

void TAfPortComboBox::changeEvent(QEvent* event) {
  QComboBox::changeEvent(event);
  // Entry heights follow the font.
  if (event->type() == QEvent::FontChange && view()) view()->doItemsLayout();
}
