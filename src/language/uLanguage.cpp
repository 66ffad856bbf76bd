#include "uLanguage.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <optional>
#include <utility>
#include <vector>

#include "uComponentProps.h"
#include "uXmlUtils.h"

using namespace LanguageProps;

namespace {

struct DocDeleter {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct ParserCtxtDeleter {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct XmlCharDeleter {
  void operator()(xmlChar* p) const { xmlFree(p); }
};
using PDoc = std::unique_ptr<xmlDoc, DocDeleter>;

constexpr const char* kNewFileText =
    "<?xml version=\"1.0\" encoding=\"windows-1250\" ?><language name=\"language\"/>";
constexpr const char* kDefaultExportName = "default.lng.xml";
constexpr const char* kMissingItemValue = "<Error In Lng File>";

QString FromXml(const xmlChar* s) { return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString(); }

std::vector<xmlNode*> ElementChildren(xmlNode* node) {
  std::vector<xmlNode*> out;
  if (!node) return out;
  for (xmlNode* n = node->children; n; n = n->next)
    if (n->type == XML_ELEMENT_NODE) out.push_back(n);
  return out;
}

xmlNode* FirstChild(xmlNode* node, const QString& name) {
  if (!node) return nullptr;
  const QByteArray wanted = name.toUtf8();
  for (xmlNode* n : ElementChildren(node))
    if (wanted == reinterpret_cast<const char*>(n->name)) return n;
  return nullptr;
}

QString NameOf(const xmlNode* node) { return FromXml(node->name); }

std::optional<QString> Attribute(xmlNode* node, const char* name) {
  if (!node || !xmlHasProp(node, reinterpret_cast<const xmlChar*>(name))) return std::nullopt;
  std::unique_ptr<xmlChar, XmlCharDeleter> value(xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)));
  return FromXml(value.get());
}

std::vector<std::pair<QString, QString>> Attributes(xmlNode* node) {
  std::vector<std::pair<QString, QString>> out;
  for (xmlAttr* a = node->properties; a; a = a->next) {
    std::unique_ptr<xmlChar, XmlCharDeleter> value(xmlNodeListGetString(node->doc, a->children, 1));
    out.emplace_back(FromXml(a->name), FromXml(value.get()));
  }
  return out;
}

PDoc ParseFile(const QString& path) {
  std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw ELanguageError("Cannot create an XML parser");
  // No entity substitution and no DTD loading: a language file needs neither.
  const int options = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  PDoc doc(xmlCtxtReadFile(ctxt.get(), QFile::encodeName(path).constData(), nullptr, options));
  if (!doc || !ctxt->wellFormed) {
    const xmlError& e = ctxt->lastError;
    const QString message = e.message ? QString::fromUtf8(e.message).trimmed() : QStringLiteral("Malformed XML");
    throw ELanguageError(QStringLiteral("%1: %2 (line %3)").arg(path, message).arg(e.line).toStdString());
  }
  if (!xmlDocGetRootElement(doc.get()))
    throw ELanguageError(QStringLiteral("%1: The XML document has no root element").arg(path).toStdString());
  return doc;
}

QString ExecutableDirectory() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

struct TLanguage::Impl {
  PDoc Doc;
  int Debug = 0;

  xmlNode* Root() const { return Doc ? xmlDocGetRootElement(Doc.get()) : nullptr; }

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

  void ApplyToForms(xmlNode* forms) {
    const QList<QWidget*> windows = ApplicationWindows();
    for (xmlNode* e : ElementChildren(forms)) {
      const QString name = NameOf(e);
      for (QWidget* w : windows) {
        if (w->objectName() == name) {
          ApplyToComponent(w, e);
          break;
        }
      }
    }
  }

  void ApplyToComponent(QObject* component, xmlNode* element) {
    if (!component || !element) return;
    ApplyItems(component, element);
    const auto attributes = Attributes(element);
    for (const auto& [name, value] : attributes) {
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
    for (xmlNode* child : ElementChildren(element)) {
      const QString name = NameOf(child);
      if (IsWindowedControl(component)) ApplyToComponent(FindChildControl(component, name), child);
      ApplyToComponent(FindOwnedComponent(component, name), child);
    }
  }

  static void ApplyItems(QObject* component, xmlNode* element) {
    xmlNode* items = FirstChild(element, QStringLiteral("items"));
    if (!items || !IsListLike(component)) return;
    try {
      const int selected = HasItemIndex(component) ? ItemIndex(component) : -1;
      QStringList list;
      for (xmlNode* item : ElementChildren(items))
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

  PDoc doc = ParseFile(path);
  const QString debugText = Attribute(xmlDocGetRootElement(doc.get()), "debug").value_or(QStringLiteral("0"));
  int debug = 0;
  if (!TryParseInteger(debugText.toStdString(), debug))
    throw ELanguageError(QStringLiteral("'%1' is not a valid integer value").arg(debugText).toStdString());

  impl_->Doc = std::move(doc);
  impl_->Debug = debug;
  for (xmlNode* child : ElementChildren(impl_->Root()))
    if (NameOf(child) == QLatin1String("forms")) impl_->ApplyToForms(child);
}

void TLanguage::ApplyToWindow(QWidget* window) {
  try {
    if (!window || !impl_->Doc) return;
    xmlNode* forms = FirstChild(impl_->Root(), QStringLiteral("forms"));
    impl_->ApplyToComponent(window, FirstChild(forms, window->objectName()));
  } catch (...) {
    // The window keeps whatever was applied; a broken file was reported when it was loaded.
  }
}

QString TLanguage::GetText(const QString& key, const QString& defaultText) const {
  std::optional<QString> text;
  if (impl_->Doc) text = Attribute(FirstChild(FirstChild(impl_->Root(), QStringLiteral("const")), key), "text");
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
