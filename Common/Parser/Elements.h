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

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iosfwd>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

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

class Node;
class NodeArena;

// The byte string of a node's name or value: always terminated, read like a
// std::string (comparisons, c_str, size, string_view and std::string
// conversions). Its bytes are borrowed (a literal, or the document's arena,
// freed with the document) or owned (a heap copy, made by any assignment).
// Sizes are limited to 32 bits, as the reader's input is.
class NodeString {
 public:
  NodeString() noexcept = default;
  NodeString(const char* text) : NodeString(std::string_view(text)) {}  // NOLINT: implicit
  NodeString(const std::string& text) : NodeString(std::string_view(text)) {}  // NOLINT
  NodeString(std::string_view text) { Assign(text.data(), text.size()); }  // NOLINT
  NodeString(const NodeString& other) : NodeString(other.view()) {}
  NodeString(NodeString&& other) noexcept
      : data_(other.data_), size_(other.size_), owned_(other.owned_) {
    other.data_ = "";
    other.size_ = 0;
    other.owned_ = 0;
  }
  ~NodeString() { Free(); }
  NodeString& operator=(const NodeString& other) {
    if (this != &other) Assign(other.data_, other.size_);
    return *this;
  }
  NodeString& operator=(std::string_view text) {
    Assign(text.data(), text.size());
    return *this;
  }
  NodeString& operator=(const char* text) { return *this = std::string_view(text); }
  NodeString& operator=(const std::string& text) { return *this = std::string_view(text); }

  // Bytes that stay valid as long as the string is not changed: a literal or
  // arena memory, `size` bytes followed by a terminating 0.
  static NodeString Borrowed(const char* data, std::size_t size) noexcept {
    NodeString s;
    s.data_ = data;
    s.size_ = static_cast<std::uint32_t>(size);
    return s;
  }

  const char* data() const noexcept { return data_; }
  const char* c_str() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  std::size_t length() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const char* begin() const noexcept { return data_; }
  const char* end() const noexcept { return data_ + size_; }
  char operator[](std::size_t i) const noexcept { return data_[i]; }
  std::string_view view() const noexcept { return {data_, size_}; }
  operator std::string_view() const noexcept { return view(); }  // NOLINT: implicit
  operator std::string() const { return std::string(data_, size_); }  // NOLINT: implicit

  void assign(const char* text, std::size_t size) { Assign(text, size); }
  void clear() noexcept {
    Free();
    data_ = "";
    size_ = 0;
  }
  // Frees heap bytes, if any, leaving the string empty.
  void ReleaseHeap() noexcept {
    if (owned_) clear();
  }
  NodeString& append(const char* text, std::size_t size);
  NodeString& operator+=(std::string_view text) { return append(text.data(), text.size()); }

  friend bool operator==(const NodeString& a, const NodeString& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const NodeString& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const NodeString& a, const char* b) noexcept {
    return a.view() == std::string_view(b);
  }
  friend bool operator==(const NodeString& a, const std::string& b) noexcept {
    return a.view() == std::string_view(b);
  }
  friend auto operator<=>(const NodeString& a, const NodeString& b) noexcept {
    return a.view() <=> b.view();
  }
  friend auto operator<=>(const NodeString& a, std::string_view b) noexcept {
    return a.view() <=> b;
  }
  friend auto operator<=>(const NodeString& a, const char* b) noexcept {
    return a.view() <=> std::string_view(b);
  }
  friend auto operator<=>(const NodeString& a, const std::string& b) noexcept {
    return a.view() <=> std::string_view(b);
  }
  friend std::string operator+(const NodeString& a, std::string_view b) {
    std::string s(a.view());
    s += b;
    return s;
  }
  friend std::string operator+(std::string_view a, const NodeString& b) {
    std::string s(a);
    s += b.view();
    return s;
  }
  friend std::string operator+(const NodeString& a, const NodeString& b) { return a + b.view(); }
  friend std::string operator+(const NodeString& a, const char* b) {
    return a + std::string_view(b);
  }
  friend std::string operator+(const char* a, const NodeString& b) {
    return std::string_view(a) + b;
  }
  friend std::string operator+(const NodeString& a, const std::string& b) {
    return a + std::string_view(b);
  }
  friend std::string operator+(const std::string& a, const NodeString& b) {
    return std::string_view(a) + b;
  }
  friend std::ostream& operator<<(std::ostream& out, const NodeString& s);

 private:
  friend class Node;
  void Assign(const char* text, std::size_t size);
  void Free() noexcept {
    if (owned_) FreeHeap();
  }
  void FreeHeap() noexcept;

  const char* data_ = "";
  std::uint32_t size_ = 0;
  std::uint8_t owned_ = 0;  // data_ is a heap block of this string
  // Spare bytes kept for the node that holds this string as its name (its
  // type code and where its memory comes from); never copied or changed by
  // the string itself.
  std::uint8_t nodeType_ = 0;
  std::uint8_t nodeStorage_ = 0;
};

// Counts changes that may leave a document's arena nodes holding heap
// memory or nodes from outside: heap strings, heap arrays, nodes added
// other than by the reader, arena nodes released one by one. A document
// whose count did not move since it was read is released without reading
// its nodes again.
void NoteNodeChange() noexcept;
unsigned long NodeChangeCount() noexcept;

// The growable array of a container's owned nodes, read like a std::vector.
// The reader lays it out in the document's arena; growing it by any other
// path moves it to the heap. Nodes are added through push_back and insert
// only (entries are not replaced in place), so that the array knows whether
// it may hold nodes from outside the document's arena.
template <typename T>
class NodeArray {
 public:
  NodeArray() noexcept = default;
  NodeArray(const NodeArray&) = delete;
  NodeArray& operator=(const NodeArray&) = delete;
  ~NodeArray() {
    if (owned_) std::free(data_);
  }

  using value_type = T;
  using iterator = T*;
  using const_iterator = T const*;

  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  T const* begin() const noexcept { return data_; }
  T const* end() const noexcept { return data_ + size_; }
  T* data() noexcept { return data_; }
  T const* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  std::size_t capacity() const noexcept { return capacity_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t i) noexcept { return data_[i]; }
  T const& operator[](std::size_t i) const noexcept { return data_[i]; }
  T& front() noexcept { return data_[0]; }
  T const& front() const noexcept { return data_[0]; }
  T& back() noexcept { return data_[size_ - 1]; }
  T const& back() const noexcept { return data_[size_ - 1]; }

  void push_back(T value) {
    if (size_ == capacity_) reserve(capacity_ == 0 ? 4 : std::size_t{capacity_} * 2);
    data_[size_++] = value;
    if (!added_) {
      added_ = 1;
      NoteNodeChange();
    }
  }
  void pop_back() noexcept { --size_; }
  void clear() noexcept { size_ = 0; }
  // True when nodes were added other than by the reader.
  bool AddedFromOutside() const noexcept { return added_ != 0; }
  T* insert(T* at, T value) {
    const std::size_t index = static_cast<std::size_t>(at - data_);
    push_back(value);
    for (std::size_t i = size_ - 1; i > index; --i) data_[i] = data_[i - 1];
    data_[index] = value;
    return data_ + index;
  }
  T* erase(T* at) noexcept {
    for (T* p = at; p + 1 < end(); ++p) *p = p[1];
    --size_;
    return at;
  }
  // Room for `count` entries, on the heap.
  void reserve(std::size_t count) {
    if (count <= capacity_) return;
    if (count > kMaxEntries) throw std::length_error("vector<T> too long");
    auto* grown = static_cast<T*>(std::malloc(count * sizeof(T)));
    if (grown == nullptr) throw std::bad_alloc();
    NoteNodeChange();
    if (size_ != 0) std::memcpy(grown, data_, size_ * sizeof(T));
    Adopt(grown, count, true);
  }
  // Room for `count` entries, in `arena` (the reader's path); false when
  // the arena cannot grow.
  bool ReserveIn(NodeArena& arena, std::size_t count) noexcept;
  // Takes `size` entries at `block`, memory of a document's arena.
  void UseArenaStorage(T* block, std::size_t size) noexcept {
    Adopt(block, size, false);
    size_ = static_cast<std::uint32_t>(size);
  }
  // Frees heap storage, if any, and leaves the array empty.
  void ReleaseHeap() noexcept {
    if (owned_) {
      Adopt(nullptr, 0, false);
      size_ = 0;
    }
  }
  // push_back that grows in `arena`; false when it cannot grow.
  bool PushBackIn(NodeArena& arena, T value) noexcept {
    if (size_ == capacity_ &&
        !ReserveIn(arena, capacity_ == 0 ? 4 : std::size_t{capacity_} * 2)) {
      return false;
    }
    data_[size_++] = value;
    return true;
  }

 private:
  static constexpr std::size_t kMaxEntries = 1073741822;
  void Adopt(T* block, std::size_t count, bool owned) noexcept {
    if (owned_) std::free(data_);
    data_ = block;
    capacity_ = static_cast<std::uint32_t>(count);
    owned_ = owned;
  }

  T* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ : 30 = 0;
  std::uint32_t owned_ : 1 = 0;  // data_ is a heap block of this array
  std::uint32_t added_ : 1 = 0;  // push_back or insert was used
};

// Bump allocator of one document: the reader takes every node, string and
// array of the document from it, and all of it goes back at once when the
// document is destroyed. Nodes have blocks of their own, so that they can be
// visited without walking the tree. The blocks come from the heap and are registered with the kernel's object tracker
// (kind kTrackArray) while they live.
class NodeArena {
 public:
  NodeArena() noexcept = default;
  NodeArena(const NodeArena&) = delete;
  NodeArena& operator=(const NodeArena&) = delete;
  ~NodeArena() { Release(); }

  // Room for strings and arrays: `bytes` rounded up to 8, 8-aligned; null
  // when no block can be had.
  void* Allocate(std::size_t bytes) noexcept { return data_.Allocate(bytes); }
  // Room for one node, likewise, in the blocks kept for nodes.
  void* AllocateNode(std::size_t bytes) noexcept { return nodes_.Allocate(bytes); }
  // Sizes the first blocks for a document read from `inputBytes` bytes.
  void ExpectInput(std::size_t inputBytes) noexcept;
  // Calls visit(node) for every node; visit returns the node's size in
  // bytes. Nothing else reads the nodes here.
  template <typename Visit>
  void VisitNodes(Visit&& visit) {
    nodes_.Close();
    for (Block* block = nodes_.blocks; block != nullptr; block = block->previous) {
      char* at = reinterpret_cast<char*>(block) + sizeof(Block);
      while (at < block->end) at += (visit(reinterpret_cast<Node*>(at)) + 7) & ~std::size_t{7};
    }
  }
  // Gives every block back.
  void Release() noexcept {
    nodes_.Release();
    data_.Release();
  }

 private:
  struct alignas(16) Block {
    Block* previous;
    char* end;  // of the bytes used, set when the block is closed
  };
  struct Region {
    void* Allocate(std::size_t bytes) noexcept {
      bytes = (bytes + 7) & ~std::size_t{7};
      if (static_cast<std::size_t>(limit - next) < bytes) return AllocateSlow(bytes);
      void* at = next;
      next += bytes;
      return at;
    }
    void* AllocateSlow(std::size_t bytes) noexcept;
    void Close() noexcept {
      if (blocks != nullptr) blocks->end = next;
    }
    void Release() noexcept;

    char* next = nullptr;
    char* limit = nullptr;
    Block* blocks = nullptr;  // newest first
    std::size_t nextBlockBytes = 0;
  };

  Region nodes_;
  Region data_;
};

template <typename T>
bool NodeArray<T>::ReserveIn(NodeArena& arena, std::size_t count) noexcept {
  if (count <= capacity_) return true;
  if (count > kMaxEntries) return false;
  auto* grown = static_cast<T*>(arena.Allocate(count * sizeof(T)));
  if (grown == nullptr) return false;
  if (size_ != 0) std::memcpy(grown, data_, size_ * sizeof(T));
  Adopt(grown, count, false);
  return true;
}

// How a node's own memory was obtained.
inline constexpr std::uint8_t kNodeFromHeap = 0;   // operator new: delete frees it
inline constexpr std::uint8_t kNodeFromArena = 1;  // a document's arena: freed with it
inline constexpr std::uint8_t kNodeReleased = 2;   // an arena node already untracked
// An arena node counted with the tracker in its document's bulk count
// (Document::countedNodes) rather than registered on its own.
inline constexpr std::uint8_t kNodeCounted = 3;

class Node {
 public:
  Node(NodeString nodeName, Node* parentNode, int typeCode) noexcept
      : name(std::move(nodeName)), parent(parentNode) {
    name.nodeType_ = static_cast<std::uint8_t>(typeCode);
  }
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Nodes made one by one (NewNode, Clone) come from the heap; the reader
  // places them in the document's arena instead. An arena node is destroyed
  // through DeleteNode or by its container, never by a bare delete.
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void* block, std::size_t size) noexcept;
  static void operator delete(void* block, const std::nothrow_t&) noexcept;
  static void operator delete(void*, void*) noexcept {}

  // The node's own value.
  virtual std::string GetValue() const = 0;
  // The text content of the node and its descendants.
  virtual std::string GetText() const = 0;
  // True when `code` is this class's type code.
  virtual bool IsType(int code) const = 0;
  // A new, tracked deep copy whose parent is `newParent`; null when a node
  // cannot be allocated.
  virtual Node* Clone(Node* newParent) const = 0;

  // The class's type code without a virtual call.
  int TypeCode() const noexcept { return name.nodeType_; }
  std::uint8_t Storage() const noexcept { return name.nodeStorage_; }
  void SetStorage(std::uint8_t storage) noexcept { name.nodeStorage_ = storage; }

  NodeString name;
  Node* parent;  // never owning
};

class Text;

class NodeContainer : public Node {
 public:
  using Node::Node;
  // Untracks and deletes every owned node, without recursion.
  ~NodeContainer() override;

  NodeArray<Node*> children;  // owned, in document order
  Text* lastText = nullptr;   // see AddText
};

class Attribute;

class Element : public NodeContainer {
 public:
  Element(NodeString tagName, Node* parentNode) noexcept
      : NodeContainer(std::move(tagName), parentNode, kElementNode) {}
  ~Element() override;
  std::string GetValue() const override;  // always empty
  // Flattens the text content into "<STRING>", "<TSPAN>" and "<TREF>" markup
  // and consumes one preserve flag of the thread's text state (Reader.h).
  std::string GetText() const override;
  bool IsType(int code) const override;
  // Copies the name and the children; the attributes are not copied.
  Node* Clone(Node* newParent) const override;

  NodeArray<Attribute*> attributes;  // owned, in the order written
};

// Value held as children: in practice one Text with the raw characters
// between the quotes.
class Attribute : public NodeContainer {
 public:
  Attribute(NodeString attributeName, Node* parentNode) noexcept
      : NodeContainer(std::move(attributeName), parentNode, kAttributeNode) {}
  std::string GetValue() const override;  // same as GetText
  std::string GetText() const override;   // children's text, trimmed
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
};

class Text : public Node {
 public:
  Text(Node* parentNode, NodeString text) noexcept
      : Node(NodeString::Borrowed("#text", 5), parentNode, kTextNode), value(std::move(text)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  NodeString value;
};

// An attribute as the reader makes it: the node, its one child slot and
// the Text child holding the value, side by side in the document's arena.
struct AttributeBlock {
  AttributeBlock(NodeString attributeName, Node* parentNode, NodeString text) noexcept
      : attribute(std::move(attributeName), parentNode), value(&attribute, std::move(text)) {
    slot[0] = &value;
    attribute.children.UseArenaStorage(slot, 1);
  }
  // The block that holds `node`, an attribute the reader made.
  static AttributeBlock& Of(Node* node) noexcept {
    return *reinterpret_cast<AttributeBlock*>(static_cast<Attribute*>(node));
  }

  Attribute attribute;  // first, so that its address is the block's
  Node* slot[1];
  Text value;
};

class CData : public Node {
 public:
  CData(Node* parentNode, NodeString text) noexcept
      : Node(NodeString::Borrowed("#cdata-section", 14), parentNode, kCDataNode),
        value(std::move(text)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  NodeString value;
};

class Comment : public Node {
 public:
  Comment(Node* parentNode, NodeString text) noexcept
      : Node(NodeString::Borrowed("#comment", 8), parentNode, kCommentNode),
        value(std::move(text)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  NodeString value;
};

// Processing instruction: `name` is the target, `value` the data after it.
class Pi : public Node {
 public:
  Pi(NodeString target, Node* parentNode, NodeString data) noexcept
      : Node(std::move(target), parentNode, kPiNode), value(std::move(data)) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  bool IsType(int code) const override;
  Node* Clone(Node* newParent) const override;
  NodeString value;
};

class Reference : public Node {
 public:
  Reference(NodeString referenceName, Node* parentNode, char byteValue) noexcept
      : Node(std::move(referenceName), parentNode, kReferenceNode), value(byteValue) {}
  bool IsType(int code) const override;
  char value;
};

// A character reference; `value` is the character truncated to 8 bits.
class CharRef : public Reference {
 public:
  CharRef(Node* parentNode, char byteValue) : Reference(NodeString(), parentNode, byteValue) {}
  std::string GetValue() const override;  // one character: value
  std::string GetText() const override;
  Node* Clone(Node* newParent) const override;
};

// An entity reference, named without "&" and ";"; never expanded, value 0.
class EntityRef : public Reference {
 public:
  EntityRef(NodeString entityName, Node* parentNode) noexcept
      : Reference(std::move(entityName), parentNode, 0) {}
  std::string GetValue() const override;
  std::string GetText() const override;
  Node* Clone(Node* newParent) const override;
};

class Document : public NodeContainer {
 public:
  Document();
  ~Document() override;
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
  // Memory of the nodes the reader made for this document; released after
  // the tree, when the document is destroyed.
  NodeArena arena;
  // NodeChangeCount when the reader finished; readComplete is false until.
  unsigned long changeCountAtRead = 0;
  bool readComplete = false;
  // Arena nodes counted with the tracker as one batch when reading ended
  // (tracking detail off); the document untracks them the same way.
  std::int64_t countedNodes = 0;
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
bool AddText(NodeContainer& container, std::string_view text);
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
// The thread's countdown behind TakeNodeTicket (see FailNodeAllocation).
long& NodeFailCountdown();
void TrackNode(const Node* node, int line, const char16_t* tag);
void UntrackNode(const Node* node);
template <typename T, typename... Args>
T* NewNode(int line, const char16_t* tag, Args&&... args) {
  if (!TakeNodeTicket()) return nullptr;
  T* node = new (std::nothrow) T(std::forward<Args>(args)...);
  if (node != nullptr) TrackNode(node, line, tag);
  return node;
}
// Untracks and deletes a node made by the reader or Clone, with all it owns
// (null is ignored). A node of a document's arena only runs its destructor.
void DeleteNode(Node* node);
// Test switch, per thread: the n-th node allocation from now (1 = the
// next) fails; 0 disables. Documents are not counted.
void FailNodeAllocation(long n);

}  // namespace AdvXMLParser
