// Node classes of the filter's own small XML DOM. A Document owns its tree:
// every container owns its children (and an Element its attributes).
// Strings are narrow byte strings; whitespace is exactly " \t\r\n".
//
// Every node made by the reader, by Clone or by AddText is registered with
// the imaging kernel's object tracker (kind kTrackObject) right after it is
// made, and whoever deletes it untracks it first: a container for the nodes
// it owns, the caller for a Document returned by Parser::Parse or Clone
// (KernelUntrackObject then delete, or DeleteNode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace AdvXMLParser {

// Type codes answered by IsType (CharRef and EntityRef share 5; 6 is unused).
inline constexpr int kElementNode = 1;
inline constexpr int kAttributeNode = 2;
inline constexpr int kTextNode = 3;
inline constexpr int kCDataNode = 4;
inline constexpr int kReferenceNode = 5;
inline constexpr int kPiNode = 7;
inline constexpr int kCommentNode = 8;
inline constexpr int kDocumentNode = 9;

class Node {
 public:
  Node(std::string nodeName, Node* parentNode)
      : name(std::move(nodeName)), parent(parentNode) {}
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Nodes come from a per-thread pool of small blocks (NodeMemory below):
  // a document is many small nodes made and freed together, which the
  // general heap handles slowly. A node must be deleted on the thread that
  // made it.
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;

  // The node's own value.
  virtual std::string GetValue() const = 0;
  // The text content of the node and its descendants.
  virtual std::string GetText() const = 0;
  // True when `code` is this class's type code.
  virtual bool IsType(int code) const = 0;
  // A new, tracked deep copy whose parent is `newParent`; null when a node
  // cannot be allocated.
  virtual Node* Clone(Node* newParent) const = 0;

  std::string name;
  Node* parent;  // never owning
};

class Text;

class NodeContainer : public Node {
 public:
  using Node::Node;
  // Untracks and deletes every owned node, without recursion.
  ~NodeContainer() override;

  std::vector<Node*> children;  // owned, in document order
  Text* lastText = nullptr;     // see AddText
};

class Attribute;

class Element : public NodeContainer {
 public:
  Element(std::string tagName, Node* parentNode) : NodeContainer(std::move(tagName), parentNode) {}
  ~Element() override;
  std::string GetValue() const override;  // always empty
  // Flattens the text content into "<STRING>", "<TSPAN>" and "<TREF>" markup
  // and consumes one preserve flag of the thread's text state (Reader.h).
  std::string GetText() const override;
  bool IsType(int code) const override;
  // Copies the name and the children; the attributes are not copied.
  Node* Clone(Node* newParent) const override;

  std::vector<Attribute*> attributes;  // owned, in the order written
};

// Value held as children: in practice one Text with the raw characters
// between the quotes.
class Attribute : public NodeContainer {
 public:
  Attribute(std::string attributeName, Node* parentNode)
      : NodeContainer(std::move(attributeName), parentNode) {}
  std::string GetValue() const override;  // same as GetText
  std::string GetText() const override;   // children's text, trimmed
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
};

class Text : public Node {
 public:
  Text(Node* parentNode, std::string text) : Node("#text", parentNode), value(std::move(text)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class CData : public Node {
 public:
  CData(Node* parentNode, std::string text)
      : Node("#cdata-section", parentNode), value(std::move(text)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class Comment : public Node {
 public:
  Comment(Node* parentNode, std::string text)
      : Node("#comment", parentNode), value(std::move(text)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

// Processing instruction: `name` is the target, `value` the data after it.
class Pi : public Node {
 public:
  Pi(std::string target, Node* parentNode, std::string data)
      : Node(std::move(target), parentNode), value(std::move(data)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  std::string value;
};

class Reference : public Node {
 public:
  Reference(std::string referenceName, Node* parentNode, char byteValue)
      : Node(std::move(referenceName), parentNode), value(byteValue) {}
  bool IsType(int code) const override;
  char value;
};

// A character reference; `value` is the character truncated to 8 bits.
class CharRef : public Reference {
 public:
  CharRef(Node* parentNode, char byteValue) : Reference("", parentNode, byteValue) {}
  std::string GetValue() const override;  // one character: value
  std::string GetText() const override;
  Node* Clone(Node* newParent) const override;
};

// An entity reference, named without "&" and ";"; never expanded, value 0.
class EntityRef : public Reference {
 public:
  EntityRef(std::string entityName, Node* parentNode)
      : Reference(std::move(entityName), parentNode, 0) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  Node* Clone(Node* newParent) const override;
};

class Document : public NodeContainer {
 public:
  Document();
  std::string GetValue() const override;  // always empty
  // Children's text, whitespace runs collapsed, trimmed.
  std::string GetText() const override;
  bool IsType(int code) const override;
  // A Document with default fields (no root, no entities), children cloned.
  Node* Clone(Node* newParent) const override;

  std::string version = "1.0";
  std::string encoding = "UTF-8";
  char standalone = 1;
  Element* root = nullptr;                      // also held as a child
  std::map<std::string, std::string> entities;  // internal general entities
  Document* owner = this;
};

// The five permanent null nodes. The null Element is its own parent; the
// others have the null Element as parent. All have empty names.
Element& NullElement();
Attribute& NullAttribute();
Comment& NullComment();
Pi& NullPi();
CData& NullCData();
// True exactly for the five null nodes.
bool IsNull(const Node* node);

// Appends `child` (owned from now on); a non-Text child clears lastText.
void AppendChild(NodeContainer& container, Node* child);
// Adds `text` as a new, tracked Text child (lastText is never set, so every
// call makes a node, even for empty text). False when no node could be made.
bool AddText(NodeContainer& container, std::string text);
// The value of the first child when it is Text, CData, Comment or Pi; else "".
std::string FirstChildValue(const NodeContainer& container);
// Replaces every run of whitespace by one space, in place.
void CollapseWhitespace(std::string& s);
// Copies `length` bytes from src to dst, decoding "&amp;", "&lt;", "&gt;",
// "&apos;" and "&quot;"; anything else, character references included, is
// copied as is. dst needs room for `length` bytes; it is not terminated.
// Returns 1.
int DecodePredefinedReferences(const char* src, std::size_t length, char* dst);

// Node allocation and tracking, shared by the reader and the node classes.
// Makes a T, registers it with the object tracker under `line` and `tag`,
// or returns null when the allocation fails (or the test switch below
// says it must). Pass strings as rvalues: the constructor then only moves
// them, and cannot throw once the node's memory is taken.
bool TakeNodeTicket();
void TrackNode(const Node* node, int line, const char16_t* tag);
void UntrackNode(const Node* node);
template <typename T, typename... Args>
T* NewNode(int line, const char16_t* tag, Args&&... args) {
  if (!TakeNodeTicket()) return nullptr;
  T* node = new (std::nothrow) T(std::forward<Args>(args)...);
  if (node != nullptr) TrackNode(node, line, tag);
  return node;
}
// Untracks and deletes a node made by the reader or Clone (null is ignored).
void DeleteNode(Node* node);
// Test switch, per thread: the n-th node allocation from now (1 = the
// next) fails; 0 disables. Documents are not counted.
void FailNodeAllocation(long n);

}  // namespace AdvXMLParser
