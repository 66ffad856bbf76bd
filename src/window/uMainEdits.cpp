// What the pages hold that the device does not: numbers typed outside their range, which stay
// as typed and red until mended and keep an Apply from sending anything, and edits not yet
// applied, framed on their controls, flagged on their pages' buttons and counted.

#include <QAbstractButton>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>

#include "ComCtrlsAdds.h"
#include "ShapeEx.h"
#include "uHexByteEdit.h"
#include "uIntEdit.h"
#include "uKaVruneBinding.h"
#include "uMain.h"
#include "uMainPrivate.h"
#include "uPages.h"
#include "uQtDispatcher.h"
#include "uStatusLine.h"

namespace {

// The caption left of a control on its row, without its colon: the name the user sees.
QString FieldName(const QWidget* control) {
  const QRect at = control->geometry();
  const QLabel* best = nullptr;
  for (const QLabel* label : control->parentWidget()->findChildren<const QLabel*>(Qt::FindDirectChildrenOnly)) {
    const QRect g = label->geometry();
    if (label->text().isEmpty() || g.right() > at.left() + 4 || g.center().y() < at.top() ||
        g.center().y() > at.bottom())
      continue;
    if (!best || g.right() > best->geometry().right()) best = label;
  }
  if (!best) return control->objectName();
  QString name = best->text().trimmed();
  while (name.endsWith(QLatin1Char(':'))) name.chop(1);
  return name;
}

const QColor EditColour(0xFF, 0x8C, 0x00);  // orange: apart from the red of a missing key

// A frame around a control, behind it, that shows the control holds an edit.
class TEditFrame final : public QWidget {
 public:
  explicit TEditFrame(QWidget* control) : QWidget(control->parentWidget()), control_(control) {
    setObjectName(QStringLiteral("EditFrame_") + control->objectName());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }
  void Follow() {
    setGeometry(control_->geometry().adjusted(-2, -2, 2, 2));
    stackUnder(control_);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QPen(EditColour, 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  }

 private:
  QWidget* control_;
};

// A control inside another one (an address's fields, a list's editor) is part of that one.
bool InsideAControl(const QWidget* widget, const QWidget* page) {
  for (const QWidget* p = widget->parentWidget(); p && p != page; p = p->parentWidget())
    if (qobject_cast<const TIPAddress*>(p) || qobject_cast<const QComboBox*>(p)) return true;
  return false;
}

}  // namespace

QList<QWidget*> TfMain::SettingControls(QWidget* page) const {
  QList<QWidget*> controls;
  for (QWidget* c : page->findChildren<QWidget*>()) {
    if (InsideAControl(c, page)) continue;
    const auto* button = qobject_cast<const QAbstractButton*>(c);
    if (qobject_cast<TIPAddress*>(c) || qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c) ||
        (button && button->isCheckable()))
      controls << c;
  }
  return controls;
}

TfMain::TShownValue TfMain::ShownValue(const QWidget* control) {
  if (const auto* address = qobject_cast<const TIPAddress*>(control)) return {address->Address(), address->Address()};
  if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
    // A secret is never shown: the device's is unknown, the one typed stays hidden.
    if (edit->echoMode() != QLineEdit::Normal) return {edit->text(), LangText("Edit_Secret", "not shown")};
    return {edit->text(), edit->text()};
  }
  if (const auto* list = qobject_cast<const QComboBox*>(control))
    return {QString::number(list->currentIndex()) + QLatin1Char(':') + list->currentText(), list->currentText()};
  if (const auto* button = qobject_cast<const QAbstractButton*>(control))
    return button->isChecked() ? TShownValue{QStringLiteral("1"), LangText("Edit_On", "ticked")}
                               : TShownValue{QStringLiteral("0"), LangText("Edit_Off", "not ticked")};
  return {};
}

const TfMain::TShownValue* TfMain::Baseline(const QWidget* control) const {
  const auto& base = pcChannel1->isAncestorOf(control) ? channelBaseline_[ChannelOf(currentPageButton_)] : baseline_;
  const auto found = base.find(control);
  return found == base.end() ? nullptr : &*found;
}

void TfMain::TakeEditBaseline() {
  ++marksHeld_;
  baseline_.clear();
  for (QWidget* page : std::initializer_list<QWidget*>{pNetwork, pServer, pServices, pWLAN, pEmail})
    for (QWidget* c : SettingControls(page)) baseline_.insert(c, ShownValue(c));
  // The two channels share the controls: each is shown in turn as the device reported it.
  for (int n : {1, 2}) {
    channelBaseline_[n].clear();
    pcChannel1->ShowChannel(n);
    for (QWidget* c : SettingControls(pcChannel1)) channelBaseline_[n].insert(c, ShownValue(c));
  }
  if (const int shown = ChannelOf(currentPageButton_)) pcChannel1->ShowChannel(shown);
  // An Apply sends only what differs from this: a control the user did not touch never changes
  // the device.
  shown_ = PagesSettings();
  --marksHeld_;
  ShowEditMarks();
}

void TfMain::DropEditBaseline() {
  baseline_.clear();
  for (auto& base : channelBaseline_) base.clear();
  shown_.reset();
  ShowEditMarks();
}

void TfMain::ShowEditMarks() {
  if (marksHeld_ > 0) return;
  auto markPage = [&](QWidget* page) {
    bool any = false;
    for (QWidget* c : SettingControls(page)) {
      const TShownValue* base = Baseline(c);
      const bool edited = base && ShownValue(c).Key != base->Key;
      any = any || edited;
      auto* frame = static_cast<TEditFrame*>(editFrames_.value(c));
      if (edited && !frame) {
        frame = new TEditFrame(c);  // owned by the control's parent
        editFrames_.insert(c, frame);
      }
      if (frame) {
        if (edited) frame->Follow();
        frame->setVisible(edited);
      }
      if (edited) edited_.insert(c);
      else edited_.remove(c);
    }
    return any;
  };
  for (const auto& [page, button] : std::initializer_list<std::pair<QWidget*, TShapeEx*>>{
           {pNetwork, seNetwork}, {pServer, seServer}, {pServices, seServices}, {pWLAN, seWLAN}, {pEmail, seEmail}})
    button->SetMark(markPage(page) ? EditColour : QColor());
  const bool channelShownEdited = markPage(pcChannel1);
  const TSettingChanges changes = shown_ && currentRead_ ? Diff(*shown_, PagesSettings(false)) : TSettingChanges();
  pendingChanges_ = static_cast<int>(changes.size());
  for (int n : {1, 2}) {
    bool edited = channelShownEdited && ChannelOf(currentPageButton_) == n;
    for (const TSettingChange& c : changes) edited = edited || c.Row->Section == ChannelSection(n);
    (n == 1 ? seChannel1 : seChannel2)->SetMark(edited ? EditColour : QColor());
  }
  ShowEditState();
}

int TfMain::PendingChanges() {
  ShowEditMarks();
  return pendingChanges_;
}

QString TfMain::EditTip(const QWidget* control) const {
  const TShownValue* base = IsEdited(control) ? Baseline(control) : nullptr;
  if (!base) return {};
  const QString device = LangText("Edit_Device", "On the device: %1")
                             .arg(base->Words.isEmpty() ? LangText("Edit_Empty", "(empty)") : base->Words);
  return control->toolTip().isEmpty() ? device : control->toolTip() + QLatin1Char('\n') + device;
}

bool TfMain::MayDropEdits(bool reading) {
  PendingChanges();
  const int changes = EditCount();
  QString ask;
  if (changes > 0 && fileShown_)
    ask = LangText("Ask_DropFile",
                   "Values loaded from the file, not applied to the device: %1. They will be lost. Go on?")
              .arg(changes);
  else if (defaultsShown_ && !fileShown_)
    ask = LangText("Ask_DropDefaults",
                   "The factory values shown are not stored: the device keeps its own settings. Go on?");
  else if (changes > 0)
    ask = LangText("Ask_DropEdits", "Changes not applied to the device: %1. They will be lost. Go on?").arg(changes);
  else if (!storedNotChecked_.empty() && !reading)
    // Nothing is lost: the unit holds them, only no read has shown it.
    ask = LangText("Ask_DropUnchecked",
                   "Changes stored on the unit but not checked: %1. \"Reload from device\" checks them. Go on?")
              .arg(storedNotChecked_.size());
  return ask.isEmpty() || AppQuestion(ask);
}

int TfMain::EditCount() const {
  // A number typed outside its range is no setting yet, but typed all the same; where it differs
  // from the device's it is counted among the settings already.
  int count = pendingChanges_;
  for (const QWidget* c : FaultyControls()) count += IsEdited(c) ? 0 : 1;
  return count;
}

QList<TMyCustomNumEdit*> TfMain::NumberEdits() const {
  QList<TMyCustomNumEdit*> edits;
  for (const QWidget* page : Pages()) edits += page->findChildren<TMyCustomNumEdit*>();
  return edits;
}

QList<TIPAddress*> TfMain::AddressEdits() const {
  QList<TIPAddress*> edits;
  for (const QWidget* page : Pages()) edits += page->findChildren<TIPAddress*>();
  return edits;
}

QList<QWidget*> TfMain::Pages() const { return {pNetwork, pServer, pServices, pcChannel1, pWLAN, pEmail}; }

void TfMain::WatchEdits() {
  const QString range = LangText("Range_Allowed", "allowed: %1 to %2");
  for (TMyCustomNumEdit* edit : NumberEdits()) {
    if (auto* hex = qobject_cast<THexByteEdit*>(edit)) hex->SetRangeText(range);
    auto* number = qobject_cast<TIntEdit*>(edit);
    if (!number) continue;
    number->SetRangeText(range);
    number->SetKeepOutOfRange(true);
    connect(number, &TIntEdit::RangeStateChanged, this, [this] { ShowEditState(); });
  }
  for (TIPAddress* address : AddressEdits())
    address->SetFaultText(LangText("Address_Fault", "four numbers 0 to 255, separated by dots"));
  for (QWidget* page : Pages())
    for (QWidget* c : SettingControls(page)) {
      auto changed = [this] { ShowEditMarks(); };
      if (auto* address = qobject_cast<TIPAddress*>(c)) {
        connect(address, &TIPAddress::OnChange, this, changed);
        // Its fields show the tool tip.
        for (QWidget* field : address->findChildren<QWidget*>()) field->installEventFilter(this);
      } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
        connect(edit, &QLineEdit::textChanged, this, changed);
      } else if (auto* list = qobject_cast<QComboBox*>(c)) {
        connect(list, &QComboBox::currentIndexChanged, this, changed);
      } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
        connect(button, &QAbstractButton::toggled, this, changed);
      }
      c->installEventFilter(this);
    }
}

bool TfMain::ShowEditTip(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  QWidget* control = widget;
  if (widget && qobject_cast<TIPAddress*>(widget->parentWidget())) control = widget->parentWidget();
  const QString tip = control ? EditTip(control) : QString();
  if (tip.isEmpty()) return false;
  QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, widget);
  return true;
}

QList<const QWidget*> TfMain::FaultyControls() const {
  QList<const QWidget*> faulty;
  for (const TMyCustomNumEdit* edit : NumberEdits())
    // Only what the user typed: a device's own value outside the range is shown, not refused.
    if (IsOwnEnabled(edit) && edit->isModified() && !edit->TextInRange()) faulty << edit;
  // An address the device sent is always one: any other text was typed.
  for (const TIPAddress* address : AddressEdits())
    if (IsOwnEnabled(address) && !address->HoldsAddress()) faulty << address;
  return faulty;
}

QStringList TfMain::RangeFaults() const {
  QStringList faults;
  const QString line = LangText("Range_Fault", "%1: %2");
  for (const QWidget* c : FaultyControls()) {
    const auto* edit = qobject_cast<const TMyCustomNumEdit*>(c);
    faults << line.arg(FieldName(c), edit ? edit->AllowedRange() : static_cast<const TIPAddress*>(c)->Fault());
  }
  return faults;
}

void TfMain::ShowEditState() {
  const QStringList faults = RangeFaults();
  QStringList lines;
  if (const int count = EditCount(); count == 1) lines << LangText("Edits_One", "1 change not applied");
  else if (count > 1) lines << LangText("Edits_Many", "%1 changes not applied").arg(count);
  if (!storedNotChecked_.empty())
    lines << LangText("Edits_StoredNotChecked", "Changes stored, not checked: %1").arg(storedNotChecked_.size());
  statusLine_->ShowEdits((lines + faults).join(QLatin1Char('\n')), !faults.isEmpty());
}
