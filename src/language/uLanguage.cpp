#include "uLanguage.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <optional>
#include <utility>
#include <vector>

#include "uComponentProps.h"
#include "uTextUtils.h"
#include "uXmlDocument.h"

using namespace LanguageProps;

namespace {

constexpr const char* kNewFileText =
    "<?xml version=\"1.0\" encoding=\"windows-1250\" ?><language name=\"language\"/>";
constexpr const char* kDefaultExportName = "default.lng.xml";
constexpr const char* kMissingItemValue = "<Error In Lng File>";

QString Q(const std::string& s) { return QString::fromUtf8(s); }

TXmlElement FirstChild(const TXmlElement& node, const QString& name) { return node.FirstChild(name.toStdString()); }

QString NameOf(const TXmlElement& node) { return Q(node.Name()); }

std::optional<QString> Attribute(const TXmlElement& node, const char* name) {
  const auto value = node.Attribute(name);
  if (!value) return std::nullopt;
  return Q(*value);
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

PXmlDocument ParseFile(const QString& path) {
  try {
    return TXmlDocument::LoadFromFile(LocalPath(path));
  } catch (const EXmlError& e) {
    throw ELanguageError(e.what());
  }
}

QString ExecutableDirectory() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}

}  // namespace

struct TLanguage::Impl {
  PXmlDocument Doc;
  int Debug = 0;

  TXmlElement Root() const { return Doc ? Doc->Root() : TXmlElement(); }

  // Only text takes the decorations: a number or a flag with a star in front is no longer one,
  // and a translator's debug run must not stop at the first ItemIndex.
  QString Decorate(const QString& value) const {
    switch (Debug) {
      case 1:
        return QLatin1Char('*') + value;
      case 2:
      case 3:
        return QLatin1Char('{') + value + QLatin1Char('}');
      default:
        return value;
    }
  }

  void ApplyToForms(const TXmlElement& forms) {
    const QList<QWidget*> windows = ApplicationWindows();
    for (const TXmlElement& e : forms.Children()) {
      const QString name = NameOf(e);
      for (QWidget* w : windows) {
        if (w->objectName() == name) {
          ApplyToComponent(w, e);
          break;
        }
      }
    }
  }

  void ApplyToComponent(QObject* component, const TXmlElement& element) {
    if (!component || !element) return;
    ApplyItems(component, element);
    const auto attributes = element.Attributes();
    for (const auto& [key, content] : attributes) {
      const QString name = Q(key), value = Q(content);
      const bool text = IsTextProperty(component, name);  // raises for a name that is no property
      if (Debug == 4) continue;
      SetPropertyText(component, name, text ? Decorate(value) : value);
    }
    if (!attributes.empty()) {
      const QString name = NameOf(element);
      if (Debug == 4 && HasCaption(component)) SetCaption(component, QLatin1Char('<') + name + QLatin1Char('>'));
      if (Debug >= 1 && Debug <= 4 && IsControl(component)) {
        QString hint = name;
        if (Debug == 4) hint = Attribute(element, "caption").value_or(QString());
        if (!hint.isEmpty()) {
          auto* control = static_cast<QWidget*>(component);
          SetControlHint(control, hint);
          SetControlShowHint(control, true);
        }
      }
    }
    for (const TXmlElement& child : element.Children()) {
      const QString name = NameOf(child);
      if (IsWindowedControl(component)) ApplyToComponent(FindChildControl(component, name), child);
      ApplyToComponent(FindOwnedComponent(component, name), child);
    }
  }

  static void ApplyItems(QObject* component, const TXmlElement& element) {
    const TXmlElement items = element.FirstChild("items");
    if (!items || !IsListLike(component)) return;
    try {
      const int selected = HasItemIndex(component) ? ItemIndex(component) : -1;
      QStringList list;
      for (const TXmlElement& item : items.Children())
        if (NameOf(item) == QLatin1String("item"))
          list.append(Attribute(item, "value").value_or(QString::fromLatin1(kMissingItemValue)));
      SetItems(component, list);
      if (HasItemIndex(component)) SetItemIndex(component, selected);
    } catch (...) {
      // A bad list leaves the control as far as it got; the rest of the file still applies.
    }
  }

  static void ExportChild(QObject* component, TXmlElement& parent) {
    try {
      ExportComponent(component, parent);
    } catch (...) {
      // A name the file format cannot hold loses this component only, not its siblings.
    }
  }

  static void ExportComponent(QObject* component, TXmlElement& parent) {
    if (!component || !parent || component->objectName().isEmpty()) return;
    TXmlElement element = parent.AppendChild(component->objectName().toStdString());
    try {
      if (IsListLike(component)) {
        TXmlElement items = element.AppendChild("items");
        for (const QString& entry : Items(component)) items.AppendChild("item").SetAttribute("value", entry.toStdString());
      }
      if (HasCaption(component)) {
        try {
          const QString caption = Caption(component);
          if (!caption.isEmpty()) element.SetAttribute("caption", caption.toStdString());
        } catch (...) {
        }
      }
      if (IsControl(component)) {
        const QString hint = ControlHint(static_cast<QWidget*>(component));
        if (!hint.isEmpty()) element.SetAttribute("hint", hint.toStdString());
      }
      for (QObject* owned : OwnedComponents(component)) ExportChild(owned, element);
      if (IsWindowedControl(component))
        for (QWidget* control : ChildControls(component)) ExportChild(control, element);
    } catch (...) {
      // What was written so far stays.
    }
  }
};

TLanguage::TLanguage() : impl_(std::make_unique<Impl>()) {}
TLanguage::~TLanguage() = default;

void TLanguage::LoadFromFile(const QString& fileName) {
  QString path = fileName;
  if (path.startsWith(QLatin1Char('\\')) && !path.startsWith(QLatin1String("\\\\")))
    path = ExecutableDirectory() + QLatin1Char('/') + path.mid(1);
  if (!QFileInfo(path).isFile())
    throw ELanguageError((QString::fromUtf8("Soubor s p\u0159ekladem:") + QLatin1Char('"') + path + QLatin1Char('"') +
                          QLatin1String(" nenalezen!"))
                             .toStdString());

  PXmlDocument doc = ParseFile(path);
  const QString debugText = Attribute(doc->Root(), "debug").value_or(QStringLiteral("0"));
  int debug = 0;
  if (!TryParseInteger(debugText.toStdString(), debug))
    throw ELanguageError(QStringLiteral("'%1' is not a valid integer value").arg(debugText).toStdString());

  impl_->Doc = std::move(doc);
  impl_->Debug = debug;
  for (const TXmlElement& child : impl_->Root().Children())
    if (NameOf(child) == QLatin1String("forms")) impl_->ApplyToForms(child);
}

void TLanguage::ApplyToWindow(QWidget* window) {
  try {
    if (!window || !impl_->Doc) return;
    const TXmlElement forms = impl_->Root().FirstChild("forms");
    impl_->ApplyToComponent(window, FirstChild(forms, window->objectName()));
  } catch (...) {
    // The window keeps whatever was applied; a broken file was reported when it was loaded.
  }
}

QString TLanguage::GetText(const QString& key, const QString& defaultText) const {
  std::optional<QString> text;
  // No element name holds a blank; a key asked with one still finds its element.
  if (impl_->Doc)
    text = Attribute(FirstChild(FirstChild(impl_->Root(), QStringLiteral("const")), key.trimmed()), "text");
  switch (impl_->Debug) {
    case 1:
      return QLatin1Char('*') + text.value_or(defaultText);
    case 2:
      return QLatin1Char('[') + text.value_or(defaultText) + QLatin1Char(']');
    case 3:
      return text ? QLatin1Char('[') + *text + QLatin1Char(']') : QLatin1Char('!') + defaultText + QLatin1Char('!');
    case 4:
      return QLatin1Char('<') + key + QLatin1Char('>');
    default:
      return text.value_or(defaultText);
  }
}

void TLanguage::ExportLanguageFile(const QString& fileName) {
  const QString path = fileName.isEmpty() ? QString::fromLatin1(kDefaultExportName) : fileName;
  PXmlDocument doc = QFileInfo::exists(path) ? TXmlDocument::LoadFromFile(LocalPath(path))
                                             : TXmlDocument::CreateFromText(kNewFileText);
  TXmlElement root = doc->Root();
  TXmlElement forms = root.FirstChild("forms");
  if (!forms) forms = root.AppendChild("forms");
  for (QWidget* window : ApplicationWindows()) Impl::ExportChild(window, forms);
  doc->SaveToFile(LocalPath(path));
}

int TLanguage::DebugMode() const { return impl_->Debug; }

TLanguage& Language() {
  static TLanguage engine;
  return engine;
}
