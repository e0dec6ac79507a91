#include "Common/Parser/Elements.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ostream>

#include "ImagingKernel/ImagingKernel.h"
#include "Common/Parser/Reader.h"

namespace AdvXMLParser {

namespace {

constexpr char16_t kSourceTag[] = u"Common/Parser/Elements";

thread_local long nodeFailCountdown = 0;

std::atomic<unsigned long> nodeChanges{0};

constexpr bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Removes whitespace at both ends; a string of only whitespace becomes empty.
void Trim(std::string& s) {
  std::size_t first = 0;
  while (first < s.size() && IsWhitespace(s[first])) ++first;
  if (first == s.size()) {
    s.clear();
    return;
  }
  std::size_t last = s.size();
  while (IsWhitespace(s[last - 1])) --last;
  s.erase(last);
  s.erase(0, first);
}

bool IsContainer(const Node* node) {
  const int type = node->TypeCode();
  return type == kElementNode || type == kAttributeNode || type == kDocumentNode;
}

// Takes the last owned node of `container` (attributes before children), or
// null when it owns nothing. `isElement` is passed in because a container
// being destroyed can no longer answer IsType.
Node* PopOwned(NodeContainer* container, bool isElement) {
  if (isElement) {
    auto* element = static_cast<Element*>(container);
    if (!element->attributes.empty()) {
      Node* node = element->attributes.back();
      element->attributes.pop_back();
      return node;
    }
  }
  if (container->children.empty()) return nullptr;
  Node* node = container->children.back();
  container->children.pop_back();
  return node;
}

bool OwnsNodes(const Node* node) {
  if (!IsContainer(node)) return false;
  if (node->TypeCode() == kElementNode &&
      !static_cast<const Element*>(node)->attributes.empty()) {
    return true;
  }
  return !static_cast<const NodeContainer*>(node)->children.empty();
}

// Frees what an arena node holds on the heap: strings or arrays that were
// changed after the reader made them.
void ReleaseHeapParts(Node* node) noexcept {
  node->name.ReleaseHeap();
  switch (node->TypeCode()) {
    case kElementNode:
      static_cast<Element*>(node)->attributes.ReleaseHeap();
      static_cast<Element*>(node)->children.ReleaseHeap();
      break;
    case kAttributeNode:
      static_cast<Attribute*>(node)->children.ReleaseHeap();
      break;
    case kTextNode:
      static_cast<Text*>(node)->value.ReleaseHeap();
      break;
    case kCDataNode:
      static_cast<CData*>(node)->value.ReleaseHeap();
      break;
    case kCommentNode:
      static_cast<Comment*>(node)->value.ReleaseHeap();
      break;
    case kPiNode:
      static_cast<Pi*>(node)->value.ReleaseHeap();
      break;
    default:
      break;
  }
}

// Untracks and destroys one node that owns nothing any more. An arena node
// is not destroyed itself: its memory goes with the document's arena, and
// it is only marked, so that the document does not untrack it again.
void Release(Node* node) {
  if (node->Storage() == kNodeFromHeap) {
    UntrackNode(node);
    delete node;
    return;
  }
  if (node->Storage() == kNodeReleased) return;
  NoteNodeChange();
  if (node->Storage() == kNodeCounted) {
    KernelUntrackObjects(kTrackObject, 1, __LINE__, kSourceTag);
  } else {
    UntrackNode(node);
  }
  ReleaseHeapParts(node);
  node->SetStorage(kNodeReleased);
}

// Deletes everything `top` owns, deepest first, with a loop instead of
// recursion so that the depth of the tree does not reach the stack. While a
// detached container is being emptied its `parent` field leads back to the
// container it came from. With `keepArenaNodes`, nodes of a document's arena
// are left alone: the document releases them itself.
void DestroyOwned(NodeContainer* top, bool topIsElement, bool keepArenaNodes = false) {
  NodeContainer* current = top;
  for (;;) {
    Node* node =
        PopOwned(current, current == top ? topIsElement : current->TypeCode() == kElementNode);
    if (node == nullptr) {
      if (current == top) return;
      auto* up = static_cast<NodeContainer*>(current->parent);
      Release(current);
      current = up;
      continue;
    }
    if (keepArenaNodes && node->Storage() != kNodeFromHeap) continue;
    if (OwnsNodes(node)) {
      node->parent = current;
      current = static_cast<NodeContainer*>(node);
      continue;
    }
    Release(node);
  }
}

// Deletes a heap node found in a document's tree, with everything it owns
// except the document's own arena nodes.
void DeleteHeapSubtree(Node* node) {
  if (IsContainer(node)) {
    DestroyOwned(static_cast<NodeContainer*>(node), node->TypeCode() == kElementNode, true);
  }
  Release(node);
}

// Deletes the heap nodes among `nodes`, owned by an arena node or by the
// document; the arena nodes are left to the document.
template <typename T>
void DeleteHeapChildren(const NodeArray<T*>& nodes) {
  for (Node* child : nodes) {
    if (child->Storage() == kNodeFromHeap) DeleteHeapSubtree(child);
  }
}

std::size_t ArenaNodeSize(const Node* node) {
  static_assert(sizeof(CharRef) == sizeof(EntityRef));
  switch (node->TypeCode()) {
    case kElementNode: return sizeof(Element);
    case kAttributeNode: return sizeof(AttributeBlock);
    case kTextNode: return sizeof(Text);
    case kCDataNode: return sizeof(CData);
    case kCommentNode: return sizeof(Comment);
    case kPiNode: return sizeof(Pi);
    default: return sizeof(EntityRef);
  }
}

// The end of a document: every node of its arena not released before is
// untracked, after the heap nodes hung below it are deleted. Nodes are
// visited in the order they were made, which walks memory straight through.
// Nodes of the bulk count are untracked together at the end.
void ReleaseArenaNodes(NodeArena& arena, bool countedWithTracker) {
  std::int64_t stillCounted = 0;
  auto releaseOne = [&stillCounted](Node* node) {
    if (node->Storage() == kNodeReleased) return;
    const int type = node->TypeCode();
    if (type == kElementNode || type == kAttributeNode) {
      // Only nodes added after reading can come from the heap.
      auto* container = static_cast<NodeContainer*>(node);
      if (type == kElementNode) {
        auto* element = static_cast<Element*>(node);
        if (element->attributes.AddedFromOutside()) DeleteHeapChildren(element->attributes);
      }
      if (container->children.AddedFromOutside()) DeleteHeapChildren(container->children);
    }
    ReleaseHeapParts(node);
    if (node->Storage() == kNodeCounted) {
      ++stillCounted;
    } else {
      UntrackNode(node);
    }
  };
  auto release = [&releaseOne](Node* node) {
    const std::size_t size = ArenaNodeSize(node);
    releaseOne(node);
    // The value of an attribute is a node of its own, whatever became of
    // the attribute.
    if (node->TypeCode() == kAttributeNode) releaseOne(&AttributeBlock::Of(node).value);
    return size;
  };
  arena.VisitNodes(release);
  // A read that failed never told the tracker about its counted nodes.
  if (countedWithTracker) KernelUntrackObjects(kTrackObject, stillCounted, __LINE__, kSourceTag);
}

// The same when nothing changed since reading: only the addresses are
// needed.
void UntrackArenaNodes(NodeArena& arena) {
  arena.VisitNodes([](Node* node) {
    UntrackNode(node);
    if (node->TypeCode() == kAttributeNode) UntrackNode(&AttributeBlock::Of(node).value);
    return ArenaNodeSize(node);
  });
}

// Clones every child of `source` into `target`; false when a copy failed.
bool CloneChildren(const NodeContainer& source, NodeContainer& target) {
  for (const Node* child : source.children) {
    Node* copy = child->Clone(&target);
    if (copy == nullptr) return false;
    AppendChild(target, copy);
  }
  return true;
}

// Finishes a container clone: the copy, or null (and nothing left behind)
// when a child could not be copied.
template <typename T>
Node* FinishClone(T* copy, const NodeContainer& source) {
  if (copy == nullptr) return nullptr;
  if (!CloneChildren(source, *copy)) {
    Release(copy);
    return nullptr;
  }
  return copy;
}

struct NullNodes {
  Element element{"", nullptr};
  Attribute attribute{"", &element};
  Comment comment{&element, ""};
  Pi pi{"", &element, ""};
  CData cdata{&element, ""};
  NullNodes() {
    element.parent = &element;
    comment.name = NodeString::Borrowed("", 0);
    cdata.name = NodeString::Borrowed("", 0);
  }
};

NullNodes& Nulls() {
  static NullNodes nulls;
  return nulls;
}


}  // namespace

// --- allocation and tracking ---

void* Node::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size);
}

void* Node::operator new(std::size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Node::operator delete(void* block, std::size_t) noexcept { std::free(block); }

void Node::operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }

// --- strings ---

void NodeString::Assign(const char* text, std::size_t size) {
  if (size > 0xFFFFFFFEu) throw std::length_error("string too long");
  auto* copy = static_cast<char*>(std::malloc(size + 1));
  if (copy == nullptr) throw std::bad_alloc();
  if (size != 0) std::memcpy(copy, text, size);
  copy[size] = 0;
  Free();
  NoteNodeChange();
  data_ = copy;
  size_ = static_cast<std::uint32_t>(size);
  owned_ = 1;
}

NodeString& NodeString::append(const char* text, std::size_t size) {
  if (size == 0) return *this;
  if (size > 0xFFFFFFFEu - size_) throw std::length_error("string too long");
  const std::size_t total = size_ + size;
  auto* grown = static_cast<char*>(std::malloc(total + 1));
  if (grown == nullptr) throw std::bad_alloc();
  std::memcpy(grown, data_, size_);
  std::memcpy(grown + size_, text, size);
  grown[total] = 0;
  Free();
  NoteNodeChange();
  data_ = grown;
  size_ = static_cast<std::uint32_t>(total);
  owned_ = 1;
  return *this;
}

void NodeString::FreeHeap() noexcept {
  std::free(const_cast<char*>(data_));
  owned_ = 0;
}

std::ostream& operator<<(std::ostream& out, const NodeString& s) { return out << s.view(); }

// --- arena ---

namespace {

constexpr std::size_t kFirstBlock = 4 * 1024;
// Below 32 MiB: the C library keeps freed blocks up to that size for the
// next allocations instead of unmapping them, so that the next document
// reuses pages that are already mapped.
constexpr std::size_t kLargestBlock = 30 * 1024 * 1024;

}  // namespace

// A document that is mostly markup takes about six bytes of nodes per byte
// of input (an attribute with its value is over a hundred bytes), and its
// copy of the input and its child arrays about one and a half. The first
// blocks are sized for that, so that a large document takes a block or two
// instead of a doubling series; bytes of a block never written are never
// touched.
void NodeArena::ExpectInput(std::size_t inputBytes) noexcept {
  const std::size_t limit = kLargestBlock / 8;
  const std::size_t bytes = inputBytes < limit ? inputBytes : limit;
  if (nodes_.blocks == nullptr) nodes_.nextBlockBytes = std::max(kFirstBlock, bytes * 8);
  if (data_.blocks == nullptr) data_.nextBlockBytes = std::max(kFirstBlock, bytes * 2);
}

// Blocks start small, for the many one-line documents, and double, so that
// a large document takes few blocks.
void* NodeArena::Region::AllocateSlow(std::size_t bytes) noexcept {
  std::size_t blockBytes = nextBlockBytes == 0 ? kFirstBlock : nextBlockBytes;
  nextBlockBytes = std::min(blockBytes * 2, kLargestBlock);
  if (blockBytes < bytes + sizeof(Block)) blockBytes = bytes + sizeof(Block);
  auto* block = static_cast<Block*>(std::malloc(blockBytes));
  if (block == nullptr) return nullptr;
  Close();
  block->previous = blocks;
  block->end = nullptr;
  blocks = block;
  KernelTrackObject(kTrackArray, block, __LINE__, kSourceTag);
  char* first = reinterpret_cast<char*>(block) + sizeof(Block);
  next = first + bytes;
  limit = reinterpret_cast<char*>(block) + blockBytes;
  return first;
}

void NodeArena::Region::Release() noexcept {
  while (blocks != nullptr) {
    Block* previous = blocks->previous;
    KernelUntrackObject(kTrackArray, blocks, __LINE__, kSourceTag);
    std::free(blocks);
    blocks = previous;
  }
  next = limit = nullptr;
  nextBlockBytes = 0;
}

bool TakeNodeTicket() {
  if (nodeFailCountdown <= 0) return true;
  return --nodeFailCountdown != 0;
}

long& NodeFailCountdown() { return nodeFailCountdown; }

void NoteNodeChange() noexcept { nodeChanges.fetch_add(1, std::memory_order_relaxed); }

unsigned long NodeChangeCount() noexcept { return nodeChanges.load(std::memory_order_relaxed); }

void FailNodeAllocation(long n) { nodeFailCountdown = n; }

void TrackNode(const Node* node, int line, const char16_t* tag) {
  KernelTrackObject(kTrackObject, node, line, tag);
}

void UntrackNode(const Node* node) { KernelUntrackObject(kTrackObject, node, __LINE__, kSourceTag); }

// --- destruction ---

NodeContainer::~NodeContainer() { DestroyOwned(this, false); }

Element::~Element() { DestroyOwned(this, true); }

Document::Document()
    : NodeContainer(NodeString::Borrowed("#document", 9), &NullElement(), kDocumentNode) {}

// The tree goes before the arena that holds it.
Document::~Document() {
  if (children.AddedFromOutside()) DeleteHeapChildren(children);
  children.ReleaseHeap();
  children.clear();
  if (readComplete && NodeChangeCount() == changeCountAtRead) {
    if (countedNodes != 0) {
      KernelUntrackObjects(kTrackObject, countedNodes, __LINE__, kSourceTag);
    } else {
      UntrackArenaNodes(arena);
    }
  } else {
    ReleaseArenaNodes(arena, countedNodes != 0);
  }
  arena.Release();
}

void DeleteNode(Node* node) {
  if (node == nullptr) return;
  // A heap container empties itself in its destructor; an arena node has
  // none that runs, so what it owns goes first.
  if ((node->Storage() == kNodeFromArena || node->Storage() == kNodeCounted) &&
      IsContainer(node)) {
    DestroyOwned(static_cast<NodeContainer*>(node), node->TypeCode() == kElementNode);
  }
  Release(node);
}

// --- Element ---

std::string Element::GetValue() const { return {}; }

namespace {

// What a child adds to the flattened text of its element, by its name.
enum class TextPart { kNothing, kApostrophe, kString, kSpan, kReference };

// The helpers below stay out of line: GetText recurses once per tspan
// level, so its own frame is kept small.
[[gnu::noinline]] TextPart TextPartOf(const Node& child) {
  const std::string_view name = child.name;
  if (name == "apos") return TextPart::kApostrophe;
  if (name == "#text") return TextPart::kString;
  if (name == "tspan") return TextPart::kSpan;
  if (name == "tref") return TextPart::kReference;
  return TextPart::kNothing;
}

[[gnu::noinline]] void AppendString(std::string& result, const Node& child, bool apostrophe) {
  result += "<STRING>";
  if (apostrophe) result += " '";
  if (child.TypeCode() == kTextNode) {
    result += static_cast<const Text&>(child).value.view();
  } else {
    result += child.GetText();
  }
  result += "</STRING>";
}

// Takes the next preserve flag and normalises `result` unless it is set.
[[gnu::noinline]] void ApplyPreserveFlag(std::string& result) {
  PreserveState& state = TextState();
  bool preserve = state.defaultPreserve != 0;
  if (state.preserveFlags != nullptr && state.preserveCount >= 0 &&
      state.preserveCount < state.flagCount) {
    preserve = state.preserveFlags[state.preserveCount] != 0;
  }
  if (!preserve && state.preserveAll == 0) {
    CollapseWhitespace(result);
    Trim(result);
  }
  ++state.preserveCount;
}

}  // namespace

std::string Element::GetText() const {
  std::string result;
  bool pendingApostrophe = false;
  for (const Node* child : children) {
    switch (TextPartOf(*child)) {
      case TextPart::kApostrophe:
        pendingApostrophe = true;
        break;
      case TextPart::kString:
        AppendString(result, *child, pendingApostrophe);
        pendingApostrophe = false;
        break;
      case TextPart::kSpan:
        result += "<TSPAN>";
        result += child->GetText();
        result += "</TSPAN>";
        break;
      case TextPart::kReference:
        result += "<TREF></TREF>";
        break;
      case TextPart::kNothing:
        break;
    }
  }
  ApplyPreserveFlag(result);
  return result;
}

bool Element::IsType(int code) const { return code == kElementNode; }

Node* Element::Clone(Node* newParent) const {
  return FinishClone(NewNode<Element>(__LINE__, kSourceTag, name, newParent), *this);
}

// --- Attribute ---

std::string Attribute::GetValue() const { return GetText(); }

std::string Attribute::GetText() const {
  std::string result;
  if (children.size() == 1 && children[0]->TypeCode() == kTextNode) {
    // The common case: trim the one value before copying it.
    std::string_view value = static_cast<const Text*>(children[0])->value;
    std::size_t first = 0;
    while (first < value.size() && IsWhitespace(value[first])) ++first;
    std::size_t last = value.size();
    while (last > first && IsWhitespace(value[last - 1])) --last;
    result.assign(value.data() + first, last - first);
    return result;
  }
  for (const Node* child : children) result += child->GetText();
  Trim(result);
  return result;
}

bool Attribute::IsType(int code) const { return code == kAttributeNode; }

Node* Attribute::Clone(Node* newParent) const {
  return FinishClone(NewNode<Attribute>(__LINE__, kSourceTag, name, newParent), *this);
}

// --- character data ---

std::string Text::GetValue() const { return std::string(value); }
std::string Text::GetText() const { return std::string(value); }
bool Text::IsType(int code) const { return code == kTextNode; }
Node* Text::Clone(Node* newParent) const {
  return NewNode<Text>(__LINE__, kSourceTag, newParent, value);
}

std::string CData::GetValue() const { return std::string(value); }
std::string CData::GetText() const { return std::string(value); }
bool CData::IsType(int code) const { return code == kCDataNode; }
Node* CData::Clone(Node* newParent) const {
  return NewNode<CData>(__LINE__, kSourceTag, newParent, value);
}

std::string Comment::GetValue() const { return std::string(value); }
std::string Comment::GetText() const { return std::string(value); }
bool Comment::IsType(int code) const { return code == kCommentNode; }
Node* Comment::Clone(Node* newParent) const {
  return NewNode<Comment>(__LINE__, kSourceTag, newParent, value);
}

std::string Pi::GetValue() const { return std::string(value); }
std::string Pi::GetText() const { return std::string(value); }
bool Pi::IsType(int code) const { return code == kPiNode; }
Node* Pi::Clone(Node* newParent) const {
  return NewNode<Pi>(__LINE__, kSourceTag, name, newParent, value);
}

// --- references ---

bool Reference::IsType(int code) const { return code == kReferenceNode; }

std::string CharRef::GetValue() const { return std::string(1, value); }
std::string CharRef::GetText() const { return GetValue(); }
Node* CharRef::Clone(Node* newParent) const {
  return NewNode<CharRef>(__LINE__, kSourceTag, newParent, value);
}

std::string EntityRef::GetValue() const { return std::string(1, value); }
std::string EntityRef::GetText() const { return GetValue(); }
Node* EntityRef::Clone(Node* newParent) const {
  auto* copy = NewNode<EntityRef>(__LINE__, kSourceTag, name, newParent);
  if (copy != nullptr) copy->value = value;
  return copy;
}

// --- Document ---

std::string Document::GetValue() const { return {}; }

std::string Document::GetText() const {
  std::string result;
  for (const Node* child : children) result += child->GetText();
  CollapseWhitespace(result);
  Trim(result);
  return result;
}

bool Document::IsType(int code) const { return code == kDocumentNode; }

Node* Document::Clone(Node* newParent) const {
  auto* copy = NewNode<Document>(__LINE__, kSourceTag);
  if (copy != nullptr) copy->parent = newParent;
  return FinishClone(copy, *this);
}

// --- null nodes ---

Element& NullElement() { return Nulls().element; }
Attribute& NullAttribute() { return Nulls().attribute; }
Comment& NullComment() { return Nulls().comment; }
Pi& NullPi() { return Nulls().pi; }
CData& NullCData() { return Nulls().cdata; }

bool IsNull(const Node* node) {
  const NullNodes& nulls = Nulls();
  return node == &nulls.element || node == &nulls.attribute || node == &nulls.comment ||
         node == &nulls.pi || node == &nulls.cdata;
}

// --- shared operations ---

void AppendChild(NodeContainer& container, Node* child) {
  container.children.push_back(child);
  if (child->TypeCode() != kTextNode) container.lastText = nullptr;
}

bool AddText(NodeContainer& container, std::string_view text) {
  if (container.lastText != nullptr) {
    container.lastText->value += text;
    return true;
  }
  Text* node = NewNode<Text>(__LINE__, kSourceTag, &container, text);
  if (node == nullptr) return false;
  AppendChild(container, node);
  return true;
}

std::string FirstChildValue(const NodeContainer& container) {
  if (container.children.empty()) return {};
  const Node* first = container.children.front();
  if (first->IsType(kTextNode)) return static_cast<const Text*>(first)->value;
  if (first->IsType(kCDataNode)) return static_cast<const CData*>(first)->value;
  if (first->IsType(kCommentNode)) return static_cast<const Comment*>(first)->value;
  if (first->IsType(kPiNode)) return static_cast<const Pi*>(first)->value;
  return {};
}

void CollapseWhitespace(std::string& s) {
  std::size_t out = 0;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    if (IsWhitespace(s[i])) {
      while (i < n && IsWhitespace(s[i])) ++i;
      s[out++] = ' ';
    } else {
      s[out++] = s[i++];
    }
  }
  s.resize(out);
}

int DecodePredefinedReferences(const char* src, std::size_t length, char* dst) {
  struct Predefined {
    const char* text;
    std::size_t size;
    char character;
  };
  static constexpr Predefined kPredefined[] = {
      {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&apos;", 6, '\''}, {"&quot;", 6, '"'}};
  std::size_t i = 0;
  while (i < length) {
    if (src[i] == '&') {
      bool decoded = false;
      for (const Predefined& p : kPredefined) {
        if (length - i >= p.size && std::char_traits<char>::compare(src + i, p.text, p.size) == 0) {
          *dst++ = p.character;
          i += p.size;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    *dst++ = src[i++];
  }
  return 1;
}

}  // namespace AdvXMLParser
