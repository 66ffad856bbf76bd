#include "uXmlDocument.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include "uCp1250.h"
#include "uFileUtils.h"
#include "uTextUtils.h"

namespace {

void InitLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    RegisterCp1250WithLibxml();
  });
}

struct XmlFreeDeleter {
  void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFreeDeleter>;

struct ParserCtxtDeleter {
  void operator()(xmlParserCtxt* p) const { xmlFreeParserCtxt(p); }
};
struct DocDeleter {
  void operator()(xmlDoc* p) const { xmlFreeDoc(p); }
};
struct BufferDeleter {
  void operator()(xmlBuffer* p) const { xmlBufferFree(p); }
};
struct SaveCtxtCloser {
  void operator()(xmlSaveCtxt* p) const { xmlSaveClose(p); }
};

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

std::string FromXml(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : std::string(); }

}  // namespace

// --- document ------------------------------------------------------------------------------

TXmlDocument::TXmlDocument(Private, xmlDoc* doc) : doc_(doc) {}

TXmlDocument::~TXmlDocument() {
  for (xmlNode* n : retired_) xmlFreeNode(n);
  xmlFreeDoc(doc_);
}

PXmlDocument TXmlDocument::CreateFromText(const std::string& text) {
  InitLibxml();
  std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw EXmlError("Cannot create an XML parser");
  // No entity substitution and no DTD loading: a settings file never needs either, and a
  // hostile one must not reach the network or the file system through them.
  const int options = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  std::unique_ptr<xmlDoc, DocDeleter> doc(
      xmlCtxtReadMemory(ctxt.get(), text.data(), static_cast<int>(text.size()), nullptr, nullptr, options));
  if (!doc || !ctxt->wellFormed) {
    const xmlError& e = ctxt->lastError;
    std::string message = e.message ? Trim(e.message) : std::string("Malformed XML");
    // libxml2 names the line in some of its messages already.
    const std::string line = "line " + std::to_string(e.line);
    if (message.size() < line.size() || message.compare(message.size() - line.size(), line.size(), line) != 0)
      message += " (" + line + ")";
    throw EXmlError(message);
  }
  if (!xmlDocGetRootElement(doc.get())) throw EXmlError("The XML document has no root element");
  return std::make_shared<TXmlDocument>(Private{}, doc.release());
}

PXmlDocument TXmlDocument::LoadFromFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw EXmlError("\"" + path + "\" is a folder, not a settings file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EXmlError("Cannot open file \"" + path + "\"");
  std::ostringstream content;
  content << in.rdbuf();
  try {
    return CreateFromText(content.str());
  } catch (const EXmlError& e) {
    throw EXmlError(path + ": " + e.what());
  }
}

TXmlElement TXmlDocument::Root() { return TXmlElement(shared_from_this(), xmlDocGetRootElement(doc_)); }

std::string TXmlDocument::DeclaredEncoding() const { return FromXml(doc_->encoding); }

std::string TXmlDocument::SaveToText(const std::string& encoding) const {
  InitLibxml();
  std::string enc = !encoding.empty() ? encoding : doc_->encoding ? FromXml(doc_->encoding) : "windows-1250";
  // The indentation string is a per-thread setting of libxml2.
  xmlTreeIndentString = "\t";
  std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
  {
    std::unique_ptr<xmlSaveCtxt, SaveCtxtCloser> save(xmlSaveToBuffer(buffer.get(), enc.c_str(), XML_SAVE_FORMAT));
    if (!save) throw EXmlError("Cannot write XML in the encoding " + enc);
    // The declaration must name the encoding the bytes are in, whatever the parsed text said.
    const xmlChar* old = doc_->encoding;
    doc_->encoding = xmlStrdup(X(enc));
    long r = xmlSaveDoc(save.get(), doc_);
    xmlFree(const_cast<xmlChar*>(doc_->encoding));
    doc_->encoding = old;
    if (r < 0) throw EXmlError("Cannot serialise the XML document");
  }
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

void TXmlDocument::SaveToFile(const std::string& path, const std::string& encoding) const {
  if (!WriteFileAtomically(path, SaveToText(encoding))) throw EXmlError("Cannot write file \"" + path + "\"");
}

void TXmlDocument::Retire(xmlNode* node) { retired_.push_back(node); }

// --- element -------------------------------------------------------------------------------

std::string TXmlElement::Name() const { return node_ ? FromXml(node_->name) : std::string(); }

std::string TXmlElement::Text() const {
  if (!node_) return {};
  XmlString content(xmlNodeGetContent(node_));
  return FromXml(content.get());
}

void TXmlElement::SetText(const std::string& text) {
  if (!node_) return;
  // xmlNodeSetContent would read "&" as the start of an entity reference; a text node keeps
  // the value literally.
  for (xmlNode* c = node_->children; c;) {
    xmlNode* next = c->next;
    xmlUnlinkNode(c);
    if (c->type == XML_ELEMENT_NODE)
      doc_->Retire(c);
    else
      xmlFreeNode(c);
    c = next;
  }
  // XML cannot hold the other control characters: a bell or NUL from a noisy line kept here
  // would make every file saved from the document unreadable.
  std::string clean;
  clean.reserve(text.size());
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') clean += c;
  if (!clean.empty()) xmlAddChild(node_, xmlNewDocTextLen(node_->doc, X(clean), static_cast<int>(clean.size())));
}

std::vector<TXmlElement> TXmlElement::Children() const {
  std::vector<TXmlElement> result;
  if (!node_) return result;
  for (xmlNode* c = node_->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) result.push_back(TXmlElement(doc_, c));
  return result;
}

int TXmlElement::ChildCount() const {
  int n = 0;
  if (node_)
    for (xmlNode* c = node_->children; c; c = c->next) n += c->type == XML_ELEMENT_NODE;
  return n;
}

TXmlElement TXmlElement::FirstChild(const std::string& name) const {
  if (!node_) return {};
  for (xmlNode* c = node_->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && name == FromXml(c->name)) return TXmlElement(doc_, c);
  return {};
}

TXmlElement TXmlElement::AppendChild(const std::string& name) {
  if (!node_) throw EXmlError("No element to append \"" + name + "\" to");
  // A name with a colon is a valid XML name but a namespace prefix without declaration: the
  // file would be written and then refused when loaded.
  if (name.empty() || xmlValidateNCName(X(name), 0) != 0)
    throw EXmlError("This name may not contain the character or is not valid: \"" + name + "\"");
  xmlNode* child = xmlNewDocNode(node_->doc, nullptr, X(name), nullptr);
  if (!child) throw EXmlError("Cannot create the element \"" + name + "\"");
  xmlAddChild(node_, child);
  return TXmlElement(doc_, child);
}

TXmlElement TXmlElement::AppendCopy(const TXmlElement& source) {
  if (!node_ || !source.node_) throw EXmlError("No element to copy");
  xmlNode* copy = xmlDocCopyNode(source.node_, node_->doc, 1);
  if (!copy) throw EXmlError("Cannot copy the element \"" + source.Name() + "\"");
  xmlAddChild(node_, copy);
  return TXmlElement(doc_, copy);
}

void TXmlElement::ClearChildrenAndAttributes() {
  if (!node_) return;
  SetText({});
  if (node_->properties) {
    xmlFreePropList(node_->properties);
    node_->properties = nullptr;
  }
}

bool TXmlElement::HasAttribute(const std::string& name) const {
  return node_ && xmlHasProp(node_, X(name)) != nullptr;
}

std::optional<std::string> TXmlElement::Attribute(const std::string& name) const {
  if (!node_) return std::nullopt;
  XmlString value(xmlGetProp(node_, X(name)));
  if (!value) return std::nullopt;
  return FromXml(value.get());
}

void TXmlElement::SetAttribute(const std::string& name, const std::string& value) {
  if (!node_) return;
  if (name.empty() || xmlValidateNCName(X(name), 0) != 0) throw EXmlError("Invalid attribute name \"" + name + "\"");
  xmlSetProp(node_, X(name), X(value));
}

int TXmlElement::AttributeCount() const {
  int n = 0;
  if (node_)
    for (xmlAttr* a = node_->properties; a; a = a->next) ++n;
  return n;
}

std::vector<std::pair<std::string, std::string>> TXmlElement::Attributes() const {
  std::vector<std::pair<std::string, std::string>> out;
  if (!node_) return out;
  for (xmlAttr* a = node_->properties; a; a = a->next) {
    XmlString value(xmlNodeListGetString(node_->doc, a->children, 1));
    out.emplace_back(FromXml(a->name), FromXml(value.get()));
  }
  return out;
}

// --- node access ---------------------------------------------------------------------------

TXmlElement FindNodePath(const TXmlElement& node, const std::string& path, bool create) {
  TXmlElement result = node;
  std::string rest = ReplaceAll(path, "/", "\\");
  size_t start = 0;
  while (result && start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string segment = rest.substr(start, end - start);
    start = end + 1;
    if (segment.empty()) continue;
    TXmlElement child = result.FirstChild(segment);
    if (!child && create) child = result.AppendChild(segment);
    result = child;
  }
  return result;
}

bool GetKeyText(const TXmlElement& section, const std::string& key, std::string& text) {
  if (!section) return false;
  TXmlElement element = section.FirstChild(key);
  if (!element) return false;
  text = element.Text();
  return true;
}

std::string ReadAttribute(const TXmlElement& node, const std::string& name,
                          const std::optional<std::string>& defaultValue, bool normaliseDecimals) {
  std::optional<std::string> result = node ? node.Attribute(name) : std::nullopt;
  if (!result) result = defaultValue;
  if (!result) throw EXmlError("Variant is Empty !!!! ***");
  if (normaliseDecimals) *result = NormalizeDecimalSeparator(*result);
  return *result;
}

bool TryReadAttribute(const TXmlElement& node, const std::string& name, std::string& text) {
  try {
    auto value = node ? node.Attribute(name) : std::nullopt;
    if (!value) return false;
    text = *value;
    return true;
  } catch (...) {
    return false;
  }
}
