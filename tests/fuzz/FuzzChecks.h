#pragma once
// What must hold after any parse, whatever the input: a crash here is a finding.

#include <cstdlib>
#include <cstring>

#include "tidewell/spyware/XmlNode.h"

namespace tidewell::fuzz {

inline void Require(bool condition) {
  if (!condition) std::abort();
}

inline void CheckTree(const CXmlNode& node, int depth = 0) {
  Require(depth <= CXmlNode::kMaxDepth);
  for (int i = 0; i < node.GetAttributeCount(); ++i) Require(node.GetAttribute(i)->parent == &node);
  for (int i = 0; i < node.GetChildCount(); ++i) {
    const CXmlNode* child = node.GetChild(i);
    Require(child->parent == &node && !child->name.empty());
    CheckTree(*child, depth + 1);
  }
}

// Parses the NUL-terminated text with the given options and checks the outcome.
inline void LoadAndCheck(const char* text, CXmlParseInfo info) {
  const char* end = text + std::strlen(text);
  CXmlNode root;
  const char* result = root.Load(text, info);
  Require(result == nullptr || (result >= text && result <= end));
  Require(info.error == (info.errorCode != kXmlErrorNone));
  Require(info.errorCode >= kXmlErrorNone && info.errorCode <= kXmlErrorAttribute);
  if (info.error) {
    Require(result == nullptr && !info.errorMessage.empty());
    Require(info.errorPosition >= text && info.errorPosition <= end);
  }
  CheckTree(root);
}

// The definitions' options, and their opposites.
inline void LoadBothWays(const char* text) {
  LoadAndCheck(text, CXmlParseInfo{});
  CXmlParseInfo plain;
  plain.trimValues = false;
  plain.decodeEntities = false;
  plain.escapeChar = '\0';
  LoadAndCheck(text, plain);
  CXmlParseInfo closed;
  closed.requireClosingTags = true;
  LoadAndCheck(text, closed);
}

}  // namespace tidewell::fuzz
