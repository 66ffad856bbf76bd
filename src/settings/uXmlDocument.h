#pragma once
// Settings and language documents on libxml2: shared documents, element handles and the
// node-access helpers. No toolkit code here; every libxml2 call of the program is behind it.
//
// Text passed in and out of elements is UTF-8; files are written in the document's declared
// encoding (windows-1250 unless the document declares another one), with one TAB per level.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct _xmlNode;
struct _xmlDoc;

class EXmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TXmlDocument;
using PXmlDocument = std::shared_ptr<TXmlDocument>;

// A reference to one element. Copies share the element; every handle keeps the element's
// document alive, so a root handed to another thread outlives the code that parsed it.
// A default-constructed handle is "none".
class TXmlElement final {
 public:
  TXmlElement() = default;

  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const TXmlElement& other) const { return node_ == other.node_; }

  std::string Name() const;
  // The element's text content; empty for none or for an element without text.
  std::string Text() const;
  // Replaces all content by the text (an empty text leaves an element without text). Control
  // characters other than TAB, LF and CR are dropped, as XML has no form for them.
  void SetText(const std::string& text);

  std::vector<TXmlElement> Children() const;  // child elements in document order
  int ChildCount() const;
  TXmlElement FirstChild(const std::string& name) const;  // none when missing
  // Appends a new child element at the end; raises EXmlError for a name that is not a valid
  // XML name without a colon (NCName): a prefix without its declaration would make a file
  // that cannot be loaded.
  TXmlElement AppendChild(const std::string& name);
  // Appends a deep copy of source (which may belong to another document) at the end.
  TXmlElement AppendCopy(const TXmlElement& source);
  // Removes every child and every attribute. Handles to removed children stay valid (they keep
  // pointing to their detached elements) until the document goes away.
  void ClearChildrenAndAttributes();

  bool HasAttribute(const std::string& name) const;
  std::optional<std::string> Attribute(const std::string& name) const;
  void SetAttribute(const std::string& name, const std::string& value);
  int AttributeCount() const;
  // Every attribute as name and value, in document order.
  std::vector<std::pair<std::string, std::string>> Attributes() const;

  PXmlDocument Document() const { return doc_; }

 private:
  friend class TXmlDocument;
  TXmlElement(PXmlDocument doc, _xmlNode* node) : doc_(std::move(doc)), node_(node) {}
  PXmlDocument doc_;
  _xmlNode* node_ = nullptr;
};

class TXmlDocument final : public std::enable_shared_from_this<TXmlDocument> {
 public:
  // The read document's text at creation.
  static constexpr const char* ReadDocumentText =
      "<?xml version=\"1.0\" encoding=\"windows-1250\"?><kaVrune/>";

  // Parses a document without network access and without loading external entities. A
  // malformed text raises EXmlError with libxml2's message and line.
  static PXmlDocument CreateFromText(const std::string& text);
  static PXmlDocument LoadFromFile(const std::string& path);

  ~TXmlDocument();
  TXmlDocument(const TXmlDocument&) = delete;
  TXmlDocument& operator=(const TXmlDocument&) = delete;

  TXmlElement Root();
  // The encoding named in the declaration; empty when the text had none.
  std::string DeclaredEncoding() const;

  // Serialises with one TAB per level. Characters that the encoding cannot hold are written
  // as character references. The encoding defaults to the declared one, else windows-1250.
  std::string SaveToText(const std::string& encoding = {}) const;
  void SaveToFile(const std::string& path, const std::string& encoding = {}) const;

 private:
  friend class TXmlElement;
  struct Private {};

 public:
  TXmlDocument(Private, _xmlDoc* doc);

 private:
  void Retire(_xmlNode* node);  // keeps detached nodes until the document goes away
  _xmlDoc* doc_;
  std::vector<_xmlNode*> retired_;
};

// --- node access -------------------------------------------------------------------------

// Follows a path of child names separated by "/" or "\"; with create, missing elements are
// appended. Empty segments are skipped; an empty path gives the node itself.
TXmlElement FindNodePath(const TXmlElement& node, const std::string& path, bool create);

// The first direct child named key: true and its text; false and text untouched otherwise.
bool GetKeyText(const TXmlElement& section, const std::string& key, std::string& text);

// The attribute's value, else the default. Raises "Variant is Empty !!!! ***" when neither
// exists.
std::string ReadAttribute(const TXmlElement& node, const std::string& name,
                          const std::optional<std::string>& defaultValue, bool normaliseDecimals);
bool TryReadAttribute(const TXmlElement& node, const std::string& name, std::string& text);
