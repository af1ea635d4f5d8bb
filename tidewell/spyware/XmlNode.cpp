#include "tidewell/spyware/XmlNode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace tidewell {

const CXmlEntity kXmlStandardEntities[5] = {
    {'&', "&amp;", 5}, {'"', "&quot;", 6}, {'\'', "&apos;", 6}, {'<', "&lt;", 4}, {'>', "&gt;", 4},
};

namespace {

// Character classes of the scans: one bit per set of stop characters, and the
// terminating NUL in every set. A table beats the runtime's strcspn, which
// rebuilds its own table at every call.
enum : uint8_t {
  kSpace = 1,
  kTagNameEnd = 2,        // blank "/" ">"
  kAttributeNameEnd = 4,  // blank "="
  kBlankOrClose = 8,      // blank ">": ends closing names and unquoted values
  kTextEnd = 16,          // "<"
  kDoubleQuoteEnd = 32,
  kSingleQuoteEnd = 64,
};

struct CharacterClasses {
  uint8_t of[256] = {};
  constexpr void Add(char c, uint8_t classes) { of[static_cast<unsigned char>(c)] |= classes; }
  constexpr CharacterClasses() {
    for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) Add(c, kSpace);
    Add('\0', kTagNameEnd | kAttributeNameEnd | kBlankOrClose | kTextEnd | kDoubleQuoteEnd | kSingleQuoteEnd);
    Add(' ', kTagNameEnd | kAttributeNameEnd | kBlankOrClose);
    Add('/', kTagNameEnd);
    Add('>', kTagNameEnd | kBlankOrClose);
    Add('=', kAttributeNameEnd);
    Add('<', kTextEnd);
    Add('"', kDoubleQuoteEnd);
    Add('\'', kSingleQuoteEnd);
  }
};
constexpr CharacterClasses kClasses;

uint8_t ClassOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }

bool IsSpace(char c) { return (ClassOf(c) & kSpace) != 0; }

const char* SkipSpace(const char* at) {
  while (IsSpace(*at)) ++at;
  return at;
}

// The first character of the set, or the terminating NUL (which is in every set).
const char* FindAny(const char* at, uint8_t set) {
  while ((ClassOf(*at) & set) == 0) ++at;
  return at;
}

bool IsBlank(std::string_view text) {
  for (char c : text)
    if (!IsSpace(c)) return false;
  return true;
}

// The first character of the set that no backslash hides, or the end. The
// searches honour the backslash whatever the escape option says; a backslash
// just before the end hides nothing.
const char* FindUnescaped(const char* at, uint8_t set, bool& sawBackslash) {
  for (;; ++at) {
    char c = *at;
    if ((ClassOf(c) & set) != 0) return at;
    if (c == '\\') {
      sawBackslash = true;
      if (*++at == '\0') return at;
    }
  }
}

// Copies the text, dropping each escape character that no dropped one
// precedes; the length copied.
size_t CopyUnescaped(const char* start, const char* end, char* target, char escape) {
  char* at = target;
  bool dropped = false;
  for (; start < end; ++start) {
    if (*start == escape && !dropped) {
      dropped = true;
    } else {
      *at++ = *start;
      dropped = false;
    }
  }
  return at - target;
}

// The entity table prepared once per parse. Decoding is one pass: a character
// produced by a reference never starts another one.
class EntityDecoder {
 public:
  explicit EntityDecoder(std::span<const CXmlEntity> entities) {
    for (const CXmlEntity& entity : entities) {
      // A record's length beyond its text would compare bytes that are not there.
      size_t stored = strnlen(entity.reference, sizeof entity.reference);
      size_t length = entity.length > 0 && static_cast<size_t>(entity.length) < stored ? entity.length : stored;
      if (length == 0) continue;
      references_.push_back({&entity, length});
      starts_[static_cast<unsigned char>(entity.reference[0])] = true;
    }
  }

  // Decodes in place, as no reference is shorter than its character; the new length.
  size_t Decode(char* text, size_t length) const {
    if (references_.empty()) return length;
    size_t from = 0;
    while (from < length && !StartsReference(text[from])) ++from;
    size_t to = from;
    while (from < length) {
      const Reference* match = StartsReference(text[from]) ? Match(text + from, length - from) : nullptr;
      if (match != nullptr) {
        text[to++] = match->entity->character;
        from += match->length;
      } else {
        text[to++] = text[from++];
      }
    }
    return to;
  }

 private:
  struct Reference {
    const CXmlEntity* entity;
    size_t length;
  };
  bool StartsReference(char c) const { return starts_[static_cast<unsigned char>(c)]; }

  const Reference* Match(const char* text, size_t length) const {
    for (const Reference& reference : references_) {
      if (reference.length > length) continue;
      size_t i = 0;
      while (i < reference.length && text[i] == reference.entity->reference[i]) ++i;
      if (i == reference.length) return &reference;
    }
    return nullptr;
  }

  std::vector<Reference> references_;
  bool starts_[256] = {};
};

// The first error of a parse wins.
void RecordError(CXmlParseInfo& info, const char* at, int code, std::string message) {
  if (info.error) return;
  info.error = true;
  info.errorPosition = at;
  info.errorCode = code;
  info.errorMessage = std::move(message);
}

// Hands out runs of elements from blocks that grow up to 64 KB and
// are freed together. What is handed out stays where it is.
template <class T>
class Pool {
 public:
  T* Allocate(size_t count) {
    if (count > free_) {
      size_t size = std::max(count, next_);
      next_ = std::min(next_ * 2, kLargestBlock);
      blocks_.emplace_back(new T[size]);
      at_ = blocks_.back().get();
      free_ = size;
    }
    T* run = at_;
    at_ += count;
    free_ -= count;
    return run;
  }

  // Returns the unused end of the latest run.
  void GiveBack(size_t count) {
    at_ -= count;
    free_ += count;
  }

 private:
  static constexpr size_t kLargestBlock = std::max<size_t>(1, (64u << 10) / sizeof(T));
  std::vector<std::unique_ptr<T[]>> blocks_;
  T* at_ = nullptr;
  size_t free_ = 0;
  size_t next_ = std::max<size_t>(1, 4096 / sizeof(T));
};

}  // namespace

struct CXmlNode::Document {
  Pool<CXmlNode> nodes;
  Pool<CXmlNode*> childLists;
  Pool<CXmlAttribute> attributes;
  Pool<char> text;  // names and values, without terminators
};

struct CXmlNode::Context {
  Context(CXmlParseInfo& options, Document& storage)
      : info(options),
        decoder(options.decodeEntities ? options.entities : std::span<const CXmlEntity>{}),
        document(storage) {}

  // The children read since mark, moved from the scratch list into the document.
  std::span<CXmlNode*> TakeChildren(size_t mark) {
    size_t count = openChildren.size() - mark;
    if (count == 0) return {};
    CXmlNode** list = document.childLists.Allocate(count);
    std::copy(openChildren.begin() + mark, openChildren.end(), list);
    openChildren.resize(mark);
    return {list, count};
  }

  std::span<CXmlAttribute> TakeAttributes() {
    size_t count = openAttributes.size();
    if (count == 0) return {};
    CXmlAttribute* list = document.attributes.Allocate(count);
    std::move(openAttributes.begin(), openAttributes.end(), list);
    openAttributes.clear();
    return {list, count};
  }

  // Stores the text between start and the stop that ended the search. Leaves
  // the target as it was when nothing remains after trimming.
  void Store(const char* start, const char* end, bool sawBackslash, std::string_view& target) {
    if (info.trimValues) {
      while (start < end && IsSpace(*start)) ++start;
      while (end > start && IsSpace(end[-1])) --end;
    }
    // Without a backslash in the text there is nothing the default escape could drop.
    char escape = info.escapeChar != '\\' || sawBackslash ? info.escapeChar : '\0';
    if (start != end)
      target = Keep(start, end, escape);
    else if (!target.empty())
      target = Keep(target.data(), target.data() + target.size(), '\0');  // the kept value passes the decoder again
  }

  // A copy in the document, unescaped and decoded.
  std::string_view Keep(const char* start, const char* end, char escape) {
    size_t length = end - start;
    char* copy = document.text.Allocate(length);
    size_t kept = escape == '\0' ? (std::memcpy(copy, start, length), length) : CopyUnescaped(start, end, copy, escape);
    kept = decoder.Decode(copy, kept);
    document.text.GiveBack(length - kept);
    return {copy, kept};
  }

  std::string_view Copy(const char* start, const char* end) {
    if (start == end) return {};
    size_t length = end - start;
    char* copy = document.text.Allocate(length);
    std::memcpy(copy, start, length);
    return {copy, length};
  }

  // Text up to the next unescaped "<" or the end.
  const char* ReadText(const char* at, std::string_view& target) {
    bool sawBackslash = false;
    const char* end = FindUnescaped(at, kTextEnd, sawBackslash);
    Store(at, end, sawBackslash, target);
    return end;
  }

  CXmlParseInfo& info;
  EntityDecoder decoder;
  Document& document;
  // Children of the open elements, innermost last, and the attributes of the
  // start tag being read: each list moves into the document once complete.
  std::vector<CXmlNode*> openChildren;
  std::vector<CXmlAttribute> openAttributes;
};

CXmlNode::CXmlNode() = default;
CXmlNode::~CXmlNode() = default;

const char* CXmlNode::Load(const char* text, CXmlParseInfo& info) {
  if (text == nullptr) return nullptr;
  Clear();
  document_ = std::make_unique<Document>();
  Context context(info, *document_);
  return LoadElement(text, context, 0);
}

const char* CXmlNode::LoadElement(const char* text, Context& context, int depth) {
  CXmlParseInfo& info = context.info;
  Clear();
  // A reused node describes the element read now, not the one before.
  name = {};
  value = {};

  const char* at = FindAny(text, kTextEnd);
  if (*at == '\0') return nullptr;
  if (at[1] == '/') return at;  // the enclosing element's closing tag
  if (depth >= kMaxDepth) return nullptr;

  ++at;
  const char* nameEnd = FindAny(at, kTagNameEnd);
  if (*nameEnd == '\0') return nullptr;
  name = context.Copy(at, nameEnd);

  // Whatever way the element ends, the children read so far stay attached.
  struct ChildList {
    ~ChildList() { node.children_ = context.TakeChildren(mark); }
    CXmlNode& node;
    Context& context;
    size_t mark;
  } childList{*this, context, context.openChildren.size()};

  at = LoadAttributes(nameEnd, context);
  if (at == nullptr) return nullptr;
  if (*at == '/') {
    if (at[1] == '>') return at + 2;
    RecordError(info, at, kXmlErrorElementNotClosed, "Element must be closed.");
    return nullptr;
  }
  at = context.ReadText(at + 1, value);

  for (;;) {
    // An element cut off by the end of the text needs no closing tag, unless the caller wants one.
    if (*at == '\0') {
      if (!info.requireClosingTags) return at;
      RecordError(info, at, kXmlErrorClosingTagCut, "it must be closed with </" + std::string(name) + ">");
      return nullptr;
    }
    // What a child would find first: no tag at all, or this element's closing tag.
    const char* tag = FindAny(at, kTextEnd);
    if (*tag == '\0') return nullptr;
    if (tag[1] == '/') {
      at = tag;
      break;
    }
    CXmlNode* child = context.document.nodes.Allocate(1);
    child->parent = this;
    const char* next = child->LoadElement(at, context, depth + 1);
    if (!child->name.empty()) context.openChildren.push_back(child);
    if (next == nullptr) return nullptr;
    at = next;
    // Text after a child counts only when the element had none before it.
    if (IsBlank(value) && *at != '<') at = context.ReadText(at, value);
  }

  const char* closingTag = at;
  at = SkipSpace(at + 2);
  const char* closingEnd = FindAny(at, kBlankOrClose);
  if (*closingEnd == '\0') {
    RecordError(info, closingTag, kXmlErrorClosingTagCut, "it must be closed with </" + std::string(name) + ">");
    return nullptr;
  }
  std::string_view closingName(at, closingEnd - at);
  if (closingName == name) return closingEnd + 1;
  RecordError(info, at, kXmlErrorTagMismatch,
              "'<" + std::string(name) + "> ... </" + std::string(closingName) + ">' is not wel-formed.");
  return nullptr;
}

// From just after the tag name to the "/" or ">" that ends the start tag.
const char* CXmlNode::LoadAttributes(const char* at, Context& context) {
  struct AttributeList {
    ~AttributeList() { node.attributes_ = context.TakeAttributes(); }
    CXmlNode& node;
    Context& context;
  } attributeList{*this, context};
  for (;;) {
    at = SkipSpace(at);
    if (*at == '\0') return nullptr;  // the text ends inside the start tag
    if (*at == '/' || *at == '>') return at;

    // The name runs to the next blank or "=" however far: names may hold line breaks.
    const char* nameEnd = FindAny(at, kAttributeNameEnd);
    if (*nameEnd == '\0') {
      RecordError(context.info, at, kXmlErrorAttribute, "<" + std::string(name) + "> attribute has error ");
      return nullptr;
    }
    CXmlAttribute& attribute = context.openAttributes.emplace_back();
    attribute.name = context.Copy(at, nameEnd);
    attribute.parent = this;

    at = SkipSpace(nameEnd);
    if (*at != '=') continue;
    at = SkipSpace(at + 1);
    char quote = *at == '"' || *at == '\'' ? *at : '\0';
    if (quote != '\0') ++at;
    bool sawBackslash = false;
    uint8_t stops = quote == '"' ? kDoubleQuoteEnd : quote == '\'' ? kSingleQuoteEnd : kBlankOrClose;
    const char* end = FindUnescaped(at, stops, sawBackslash);
    context.Store(at, end, sawBackslash, attribute.value);
    // A missing closing quote leaves the position at the end, which fails the element.
    at = quote != '\0' && *end == quote ? end + 1 : end;
  }
}

CXmlNode* CXmlNode::GetChild(int index) const {
  if (index < 0 || index >= GetChildCount()) return nullptr;
  return children_[index];
}

CXmlNode* CXmlNode::FindChild(std::string_view childName) const {
  for (CXmlNode* child : children_)
    if (child->name == childName) return child;
  return nullptr;
}

const CXmlAttribute* CXmlNode::GetAttribute(int index) const {
  if (index < 0 || index >= GetAttributeCount()) return nullptr;
  return &attributes_[index];
}

const CXmlAttribute* CXmlNode::FindAttribute(std::string_view attributeName) const {
  for (const CXmlAttribute& attribute : attributes_)
    if (attribute.name == attributeName) return &attribute;
  return nullptr;
}

void CXmlNode::Clear() {
  children_ = {};
  attributes_ = {};
}

}  // namespace tidewell
