#include "uComponentProps.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <algorithm>

#include "uLanguageShared.h"
#include "uTextUtils.h"

namespace {

// Where a plain widget keeps the hint the engine gave it; the library's controls have their own.
constexpr const char* kHintProperty = "_kavrune_Hint";
constexpr const char* kShowHintProperty = "_kavrune_ShowHint";

[[noreturn]] void RaiseNoProperty(const QString& name) {
  throw ELanguageError(QStringLiteral("Property %1 does not exist").arg(name).toStdString());
}

bool IsInternalName(const QString& name) { return name.isEmpty() || name.startsWith(QLatin1String("qt_")); }

// Controls that are complete in themselves: whatever widgets they hold are their own parts, not
// controls a window designer placed on them.
bool IsLeafKind(const QObject* c) {
  if (qobject_cast<const QAbstractScrollArea*>(c)) return !qobject_cast<const QScrollArea*>(c);
  return qobject_cast<const QAbstractButton*>(c) || qobject_cast<const QComboBox*>(c) ||
         qobject_cast<const QLineEdit*>(c) || qobject_cast<const QAbstractSpinBox*>(c) ||
         qobject_cast<const QLabel*>(c) || qobject_cast<const QTabBar*>(c) ||
         qobject_cast<const QAbstractSlider*>(c) || qobject_cast<const QProgressBar*>(c) ||
         qobject_cast<const QMenu*>(c) || c->inherits("TIPAddress");
}

// Widgets that only carry the toolkit's plumbing: their children count as placed on their parent.
bool IsTransparent(const QWidget* w) {
  if (IsInternalName(w->objectName())) return true;
  auto* main = qobject_cast<const QMainWindow*>(w->parentWidget());
  return main && main->centralWidget() == w;
}

void CollectControls(const QObject* container, QList<QWidget*>& out) {
  for (QObject* o : container->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    // A dialog parented to a window is owned by it, but it is not placed on it.
    if (!w || w->isWindow()) continue;
    if (IsTransparent(w)) {
      if (!IsLeafKind(w)) CollectControls(w, out);
      continue;
    }
    out.append(w);
  }
}

QTabWidget* TabControlOf(const QObject* c, int* index = nullptr) {
  auto* page = qobject_cast<const QWidget*>(c);
  if (!page || !page->parentWidget()) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
  if (!tabs) return nullptr;
  const int i = tabs->indexOf(const_cast<QWidget*>(page));
  if (i < 0) return nullptr;
  if (index) *index = i;
  return tabs;
}

QButtonGroup* RadioGroupOf(const QObject* c) {
  if (!qobject_cast<const QGroupBox*>(c)) return nullptr;
  auto* group = c->findChild<QButtonGroup*>(QString(), Qt::FindDirectChildrenOnly);
  return group && group->exclusive() ? group : nullptr;
}

int MetaPropertyIndex(const QObject* c, const QString& name) {
  const QMetaObject* mo = c->metaObject();
  for (int i = 0; i < mo->propertyCount(); ++i) {
    const QMetaProperty p = mo->property(i);
    if (p.isWritable() && QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

QByteArray DynamicPropertyName(const QObject* c, const QString& name) {
  for (const QByteArray& n : c->dynamicPropertyNames()) {
    if (n.startsWith("_kavrune_") || n.startsWith("_q_")) continue;
    if (QString::fromLatin1(n).compare(name, Qt::CaseInsensitive) == 0) return n;
  }
  return {};
}

enum class TProp { None, Caption, Hint, ShowHint, ItemIndex, Left, Top, Width, Height, Meta, Dynamic };

struct TResolved {
  TProp Kind = TProp::None;
  int MetaIndex = -1;
  QByteArray DynamicName;
};

TResolved Resolve(const QObject* c, const QString& name) {
  const QString n = name.toLower();
  if (n == QLatin1String("caption") && LanguageProps::HasCaption(c)) return {TProp::Caption, -1, {}};
  if (LanguageProps::IsControl(c)) {
    if (n == QLatin1String("hint")) return {TProp::Hint, -1, {}};
    if (n == QLatin1String("showhint")) return {TProp::ShowHint, -1, {}};
    if (n == QLatin1String("left")) return {TProp::Left, -1, {}};
    if (n == QLatin1String("top")) return {TProp::Top, -1, {}};
    if (n == QLatin1String("width")) return {TProp::Width, -1, {}};
    if (n == QLatin1String("height")) return {TProp::Height, -1, {}};
  }
  if (n == QLatin1String("itemindex") && LanguageProps::HasItemIndex(c)) return {TProp::ItemIndex, -1, {}};
  if (const int i = MetaPropertyIndex(c, name); i >= 0) return {TProp::Meta, i, {}};
  if (QByteArray d = DynamicPropertyName(c, name); !d.isEmpty()) return {TProp::Dynamic, -1, d};
  return {};
}

int IntegerFromText(const QString& text) {
  int value = 0;
  if (!TryParseInteger(text.toStdString(), value))
    throw ELanguageError(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
  return value;
}

bool BooleanFromText(const QString& text) {
  if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
  int value = 0;
  if (TryParseInteger(text.toStdString(), value)) return value != 0;
  throw ELanguageError(QStringLiteral("'%1' is not a valid boolean value").arg(text).toStdString());
}

[[noreturn]] void RaiseInvalidValue() { throw ELanguageError("Invalid property value"); }

QVariant ValueFromText(QMetaType type, const QString& text) {
  switch (type.id()) {
    case QMetaType::QString:
      return text;
    case QMetaType::Bool:
      return BooleanFromText(text);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: {
      QVariant v(IntegerFromText(text));
      if (!v.convert(type)) RaiseInvalidValue();
      return v;
    }
    default: {
      QVariant v(text);
      if (!v.convert(type)) RaiseInvalidValue();
      return v;
    }
  }
}

void WriteMeta(QObject* c, const QMetaProperty& p, const QString& text) {
  QVariant v;
  if (p.isEnumType()) {
    const QMetaEnum e = p.enumerator();
    bool ok = false;
    const QByteArray key = text.toLatin1();
    const int value = e.isFlag() ? e.keysToValue(key.constData(), &ok) : e.keyToValue(key.constData(), &ok);
    v = ok ? value : IntegerFromText(text);
  } else {
    v = ValueFromText(p.metaType(), text);
  }
  if (!p.write(c, v)) RaiseInvalidValue();
}

}  // namespace

namespace LanguageProps {

QList<QWidget*> ApplicationWindows() {
  QList<QWidget*> windows;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->parentWidget() || IsInternalName(w->objectName())) continue;
    const Qt::WindowType type = w->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop) continue;
    windows.append(w);
  }
  std::stable_sort(windows.begin(), windows.end(),
                   [](const QWidget* a, const QWidget* b) { return a->objectName() < b->objectName(); });
  return windows;
}

bool IsControl(const QObject* c) { return c && c->isWidgetType(); }

bool IsWindowedControl(const QObject* c) { return IsControl(c) && !IsLeafKind(c); }

QList<QWidget*> ChildControls(const QObject* c) {
  QList<QWidget*> out;
  if (!IsWindowedControl(c)) return out;
  if (auto* tabs = qobject_cast<const QTabWidget*>(c)) {
    for (int i = 0; i < tabs->count(); ++i) {
      QWidget* page = tabs->widget(i);
      if (IsTransparent(page))
        CollectControls(page, out);
      else
        out.append(page);
    }
    // The pages live in the tab control's own stack; anything else placed on it comes after.
    for (QObject* o : c->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w && !w->isWindow() && !IsTransparent(w) && tabs->indexOf(w) < 0) out.append(w);
    }
    return out;
  }
  if (auto* area = qobject_cast<const QScrollArea*>(c)) {
    if (QWidget* inner = area->widget()) {
      if (IsTransparent(inner))
        CollectControls(inner, out);
      else
        out.append(inner);
    }
    return out;
  }
  CollectControls(c, out);
  return out;
}

QList<QObject*> OwnedComponents(const QObject* c) {
  QList<QObject*> out;
  if (!c) return out;
  for (QObject* o : c->children()) {
    if (o->isWidgetType() || IsInternalName(o->objectName())) continue;
    // Layouts and button groups are how the toolkit arranges controls, not components of a window.
    if (qobject_cast<QLayout*>(o) || qobject_cast<QButtonGroup*>(o)) continue;
    out.append(o);
  }
  return out;
}

QWidget* FindChildControl(const QObject* c, const QString& name) {
  for (QWidget* w : ChildControls(c))
    if (w->objectName() == name) return w;
  return nullptr;
}

QObject* FindOwnedComponent(const QObject* c, const QString& name) {
  for (QObject* o : OwnedComponents(c))
    if (o->objectName() == name) return o;
  return nullptr;
}

bool HasCaption(const QObject* c) {
  if (!c) return false;
  if (auto* w = qobject_cast<const QWidget*>(c)) {
    if (w->isWindow() || TabControlOf(w)) return true;
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QGroupBox*>(w))
      return true;
  }
  return c->metaObject()->indexOfProperty("Caption") >= 0;
}

QString Caption(const QObject* c) {
  if (!c) return {};
  if (auto* w = qobject_cast<const QWidget*>(c)) {
    if (w->isWindow()) return w->windowTitle();
    int index = -1;
    if (QTabWidget* tabs = TabControlOf(w, &index)) return tabs->tabText(index);
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  }
  return c->property("Caption").toString();
}

void SetCaption(QObject* c, const QString& text) {
  if (!c) return;
  if (auto* w = qobject_cast<QWidget*>(c)) {
    if (w->isWindow()) return w->setWindowTitle(text);
    int index = -1;
    if (QTabWidget* tabs = TabControlOf(w, &index)) return tabs->setTabText(index, text);
    if (auto* l = qobject_cast<QLabel*>(w)) return l->setText(text);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->setText(text);
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->setTitle(text);
  }
  if (c->metaObject()->indexOfProperty("Caption") < 0) RaiseNoProperty(QStringLiteral("caption"));
  c->setProperty("Caption", text);
}

bool IsListLike(const QObject* c) {
  if (c && c->metaObject()->indexOfClassInfo("LiveItems") >= 0) return false;
  return qobject_cast<const QComboBox*>(c) || qobject_cast<const QListWidget*>(c) ||
         qobject_cast<const QPlainTextEdit*>(c) || qobject_cast<const QTextEdit*>(c) || RadioGroupOf(c);
}

QStringList Items(const QObject* c) {
  QStringList items;
  if (auto* combo = qobject_cast<const QComboBox*>(c)) {
    for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
  } else if (auto* list = qobject_cast<const QListWidget*>(c)) {
    for (int i = 0; i < list->count(); ++i) items.append(list->item(i)->text());
  } else if (auto* memo = qobject_cast<const QPlainTextEdit*>(c)) {
    const QString text = memo->toPlainText();
    if (!text.isEmpty()) items = text.split(QLatin1Char('\n'));
  } else if (auto* rich = qobject_cast<const QTextEdit*>(c)) {
    const QString text = rich->toPlainText();
    if (!text.isEmpty()) items = text.split(QLatin1Char('\n'));
  } else if (QButtonGroup* group = RadioGroupOf(c)) {
    for (QAbstractButton* b : group->buttons()) items.append(b->text());
  }
  return items;
}

void SetItems(QObject* c, const QStringList& items) {
  if (auto* combo = qobject_cast<QComboBox*>(c)) {
    const QSignalBlocker quiet(combo);
    combo->clear();
    combo->addItems(items);
  } else if (auto* list = qobject_cast<QListWidget*>(c)) {
    const QSignalBlocker quiet(list);
    list->clear();
    list->addItems(items);
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(c)) {
    memo->setPlainText(items.join(QLatin1Char('\n')));
  } else if (auto* rich = qobject_cast<QTextEdit*>(c)) {
    rich->setPlainText(items.join(QLatin1Char('\n')));
  } else if (QButtonGroup* group = RadioGroupOf(c)) {
    auto* box = static_cast<QGroupBox*>(c);
    for (QAbstractButton* b : group->buttons()) {
      group->removeButton(b);
      b->hide();
      b->deleteLater();
    }
    for (int i = 0; i < items.size(); ++i) {
      auto* rb = new QRadioButton(items[i], box);  // owned by the group box
      group->addButton(rb, i);
      if (box->layout())
        box->layout()->addWidget(rb);
      else
        rb->setGeometry(8, 18 + 20 * i, std::max(box->width() - 16, 16), 17);
      rb->setVisible(true);
    }
  }
}

bool HasItemIndex(const QObject* c) {
  return qobject_cast<const QComboBox*>(c) || qobject_cast<const QListWidget*>(c) || RadioGroupOf(c);
}

int ItemIndex(const QObject* c) {
  if (auto* combo = qobject_cast<const QComboBox*>(c)) return combo->currentIndex();
  if (auto* list = qobject_cast<const QListWidget*>(c)) return list->currentRow();
  if (QButtonGroup* group = RadioGroupOf(c)) {
    const QList<QAbstractButton*> buttons = group->buttons();
    for (int i = 0; i < buttons.size(); ++i)
      if (buttons[i]->isChecked()) return i;
  }
  return -1;
}

void SetItemIndex(QObject* c, int index) {
  if (auto* combo = qobject_cast<QComboBox*>(c)) {
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  } else if (auto* list = qobject_cast<QListWidget*>(c)) {
    const QSignalBlocker quiet(list);
    list->setCurrentRow(index >= 0 && index < list->count() ? index : -1);
  } else if (QButtonGroup* group = RadioGroupOf(c)) {
    const QList<QAbstractButton*> buttons = group->buttons();
    if (index >= 0 && index < buttons.size()) {
      buttons[index]->setChecked(true);
    } else {
      // An exclusive group refuses to uncheck its last checked button.
      group->setExclusive(false);
      for (QAbstractButton* b : buttons) b->setChecked(false);
      group->setExclusive(true);
    }
  }
}

bool IsTextProperty(const QObject* c, const QString& name) {
  const TResolved r = Resolve(c, name);
  switch (r.Kind) {
    case TProp::None:
      RaiseNoProperty(name);
    case TProp::Caption:
    case TProp::Hint:
      return true;
    case TProp::Meta:
      return c->metaObject()->property(r.MetaIndex).metaType().id() == QMetaType::QString;
    case TProp::Dynamic:
      return c->property(r.DynamicName).metaType().id() == QMetaType::QString;
    default:
      return false;
  }
}

void SetPropertyText(QObject* c, const QString& name, const QString& value) {
  const TResolved r = Resolve(c, name);
  auto* w = qobject_cast<QWidget*>(c);
  switch (r.Kind) {
    case TProp::None:
      RaiseNoProperty(name);
    case TProp::Caption:
      return SetCaption(c, value);
    case TProp::Hint:
      return SetControlHint(w, value);
    case TProp::ShowHint:
      return SetControlShowHint(w, BooleanFromText(value));
    case TProp::ItemIndex:
      return SetItemIndex(c, IntegerFromText(value));
    case TProp::Left:
      return w->move(IntegerFromText(value), w->y());
    case TProp::Top:
      return w->move(w->x(), IntegerFromText(value));
    case TProp::Width:
      return w->resize(IntegerFromText(value), w->height());
    case TProp::Height:
      return w->resize(w->width(), IntegerFromText(value));
    case TProp::Meta:
      return WriteMeta(c, c->metaObject()->property(r.MetaIndex), value);
    case TProp::Dynamic:
      c->setProperty(r.DynamicName, ValueFromText(c->property(r.DynamicName).metaType(), value));
      return;
  }
}

}  // namespace LanguageProps

// --- hints ---------------------------------------------------------------------------------

QString ControlHint(const QWidget* control) {
  if (!control) return {};
  if (control->metaObject()->indexOfProperty("Hint") >= 0) return control->property("Hint").toString();
  const QVariant kept = control->property(kHintProperty);
  return kept.isValid() ? kept.toString() : control->toolTip();
}

bool ControlShowHint(const QWidget* control) {
  if (!control) return false;
  if (control->metaObject()->indexOfProperty("ShowHint") >= 0) return control->property("ShowHint").toBool();
  const QVariant kept = control->property(kShowHintProperty);
  return kept.isValid() ? kept.toBool() : !control->toolTip().isEmpty();
}

namespace {
void KeepHint(QWidget* control, const QString& hint, bool show) {
  control->setProperty(kHintProperty, hint);
  control->setProperty(kShowHintProperty, show);
  control->setToolTip(show ? hint : QString());
}
}  // namespace

void SetControlHint(QWidget* control, const QString& hint) {
  if (!control) return;
  if (control->metaObject()->indexOfProperty("Hint") >= 0) {
    control->setProperty("Hint", hint);
    return;
  }
  KeepHint(control, hint, ControlShowHint(control));
}

void SetControlShowHint(QWidget* control, bool show) {
  if (!control) return;
  if (control->metaObject()->indexOfProperty("ShowHint") >= 0) {
    control->setProperty("ShowHint", show);
    return;
  }
  KeepHint(control, ControlHint(control), show);
}
