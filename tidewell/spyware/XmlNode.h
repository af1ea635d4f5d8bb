#pragma once
// A small lenient XML reader for the spyware definitions: elements, attributes
// and text, nothing else (no comments, CDATA, DTDs or character references).
// Text is bytes in the ANSI code page; names compare exactly.

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tidewell {

struct CXmlEntity {
  char character;
  char reference[11];
  int length;
};

// &amp; &quot; &apos; &lt; &gt; in that order: the first match wins.
extern const CXmlEntity kXmlStandardEntities[5];

enum XmlErrorCode {
  kXmlErrorNone = 0,
  kXmlErrorElementNotClosed = 1,    // "/" in a start tag not followed by ">"
  kXmlErrorClosingTagCut = 2,       // closing name followed by neither blank nor ">"
  kXmlErrorTagMismatch = 3,         // closing name differs from the element's
  kXmlErrorAttribute = 4,           // attribute name followed by neither blank nor "="
};

// Options in, the first error out; one per parse.
struct CXmlParseInfo {
  bool trimValues = true;
  bool decodeEntities = true;
  std::span<const CXmlEntity> entities = kXmlStandardEntities;  // empty: no decoding
  char escapeChar = '\\';                                       // 0: no escaping
  // An element cut off by the end of the text fails (error 2) instead of
  // ending there: a document cut short must not read as a shorter one.
  bool requireClosingTags = false;

  bool error = false;
  const char* errorPosition = nullptr;
  int errorCode = kXmlErrorNone;
  std::string errorMessage;
};

class CXmlNode;

// Names and values view text held by the document of the node that was loaded.
class CXmlAttribute {
 public:
  std::string_view name;
  std::string_view value;
  CXmlNode* parent = nullptr;
};

class CXmlNode {
 public:
  // Deeper nesting fails the parse: the reader recurses per level, and a damaged
  // file must not exhaust a worker thread's stack.
  static constexpr int kMaxDepth = 256;

  CXmlNode();
  ~CXmlNode();
  CXmlNode(const CXmlNode&) = delete;  // children point back at their parent
  CXmlNode& operator=(const CXmlNode&) = delete;

  // Reads one element from a NUL-terminated text. Returns the position just
  // after it, or nullptr on failure (the partial tree stays attached). Never
  // reads past the terminating NUL. The tree read lives until this node is
  // loaded again or destroyed.
  const char* Load(const char* text, CXmlParseInfo& info);

  int GetChildCount() const { return static_cast<int>(children_.size()); }
  CXmlNode* GetChild(int index) const;
  CXmlNode* FindChild(std::string_view childName) const;
  const CXmlAttribute* FindAttribute(std::string_view attributeName) const;
  int GetAttributeCount() const { return static_cast<int>(attributes_.size()); }
  const CXmlAttribute* GetAttribute(int index) const;
  // Detaches children and attributes; name and value stay. Their storage is
  // the loaded node's and goes with its next load.
  void Clear();

  // Views of the loaded node's document, like everything below this node.
  std::string_view name;
  std::string_view value;
  CXmlNode* parent = nullptr;

 private:
  struct Document;
  struct Context;
  const char* LoadElement(const char* text, Context& context, int depth);
  const char* LoadAttributes(const char* at, Context& context);

  // Nodes, child lists, attributes and their text come in blocks from the
  // loaded node's document, not one heap block each: heap calls dominated the
  // parse under Wine.
  std::span<CXmlNode*> children_;
  std::span<CXmlAttribute> attributes_;
  std::unique_ptr<Document> document_;
};

}  // namespace tidewell
