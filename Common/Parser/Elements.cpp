#include "Common/Parser/Elements.h"

#include <cstdlib>

#include "ImagingKernel/ImagingKernel.h"
#include "Common/Parser/Reader.h"

namespace AdvXMLParser {

namespace {

constexpr char16_t kSourceTag[] = u"Common/Parser/Elements";

thread_local long nodeFailCountdown = 0;

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
  return node->IsType(kElementNode) || node->IsType(kAttributeNode) ||
         node->IsType(kDocumentNode);
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
  if (node->IsType(kElementNode) && !static_cast<const Element*>(node)->attributes.empty()) {
    return true;
  }
  return !static_cast<const NodeContainer*>(node)->children.empty();
}

void Release(Node* node) {
  UntrackNode(node);
  delete node;
}

// Deletes everything `top` owns, deepest first, with a loop instead of
// recursion so that the depth of the tree does not reach the stack. While a
// detached container is being emptied its `parent` field leads back to the
// container it came from.
void DestroyOwned(NodeContainer* top, bool topIsElement) {
  NodeContainer* current = top;
  for (;;) {
    Node* node = PopOwned(current, current == top ? topIsElement : current->IsType(kElementNode));
    if (node == nullptr) {
      if (current == top) return;
      auto* up = static_cast<NodeContainer*>(current->parent);
      Release(current);
      current = up;
      continue;
    }
    if (OwnsNodes(node)) {
      node->parent = current;
      current = static_cast<NodeContainer*>(node);
      continue;
    }
    Release(node);
  }
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
    comment.name.clear();
    cdata.name.clear();
  }
};

NullNodes& Nulls() {
  static NullNodes nulls;
  return nulls;
}

// Per-thread pool of node blocks in size classes of 16 bytes, carved from
// 64 KiB chunks. A freed block goes on its class's free list; when the last
// live block of the thread is freed, the chunks go back to the heap, so
// nothing is kept between documents. Sanitizer builds use the heap directly,
// so that each node stays visible to the address checker.
#if defined(__SANITIZE_ADDRESS__)
#define SVGFLT_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SVGFLT_NODE_POOL 0
#endif
#endif
#ifndef SVGFLT_NODE_POOL
#define SVGFLT_NODE_POOL 1
#endif

class NodeMemory {
 public:
  static constexpr std::size_t kGranule = 16;
  static constexpr std::size_t kClasses = 16;  // blocks up to 256 bytes
  static constexpr std::size_t kChunkBytes = 64 * 1024;

  void* Allocate(std::size_t size) noexcept {
    const std::size_t sizeClass = (size + kGranule - 1) / kGranule;
    if (!SVGFLT_NODE_POOL || sizeClass >= kClasses) return std::malloc(size);
    void* block = free_[sizeClass];
    if (block != nullptr) {
      free_[sizeClass] = *static_cast<void**>(block);
    } else {
      const std::size_t bytes = sizeClass * kGranule;
      if (chunkLeft_ < bytes && !NewChunk()) return nullptr;
      block = chunkNext_;
      chunkNext_ += bytes;
      chunkLeft_ -= bytes;
    }
    ++live_;
    return block;
  }

  void Release(void* block, std::size_t size) noexcept {
    const std::size_t sizeClass = (size + kGranule - 1) / kGranule;
    if (!SVGFLT_NODE_POOL || sizeClass >= kClasses) {
      std::free(block);
      return;
    }
    *static_cast<void**>(block) = free_[sizeClass];
    free_[sizeClass] = block;
    if (--live_ == 0) ReleaseChunks();
  }

  ~NodeMemory() { ReleaseChunks(); }

 private:
  // A chunk starts with the link to the previous chunk.
  struct alignas(kGranule) ChunkHeader {
    ChunkHeader* previous;
  };

  bool NewChunk() noexcept {
    auto* chunk = static_cast<ChunkHeader*>(std::malloc(kChunkBytes));
    if (chunk == nullptr) return false;
    chunk->previous = chunks_;
    chunks_ = chunk;
    chunkNext_ = reinterpret_cast<unsigned char*>(chunk) + sizeof(ChunkHeader);
    chunkLeft_ = kChunkBytes - sizeof(ChunkHeader);
    return true;
  }

  void ReleaseChunks() noexcept {
    while (chunks_ != nullptr) {
      ChunkHeader* previous = chunks_->previous;
      std::free(chunks_);
      chunks_ = previous;
    }
    for (void*& head : free_) head = nullptr;
    chunkNext_ = nullptr;
    chunkLeft_ = 0;
  }

  void* free_[kClasses] = {};
  ChunkHeader* chunks_ = nullptr;
  unsigned char* chunkNext_ = nullptr;
  std::size_t chunkLeft_ = 0;
  long live_ = 0;
};

thread_local NodeMemory nodeMemory;

}  // namespace

// --- allocation and tracking ---

void* Node::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return nodeMemory.Allocate(size);
}

void* Node::operator new(std::size_t size) {
  void* block = nodeMemory.Allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Node::operator delete(void* block, std::size_t size) noexcept {
  if (block != nullptr) nodeMemory.Release(block, size);
}

bool TakeNodeTicket() {
  if (nodeFailCountdown <= 0) return true;
  return --nodeFailCountdown != 0;
}

void FailNodeAllocation(long n) { nodeFailCountdown = n; }

void TrackNode(const Node* node, int line, const char16_t* tag) {
  KernelTrackObject(kTrackObject, node, line, tag);
}

void UntrackNode(const Node* node) { KernelUntrackObject(kTrackObject, node, __LINE__, kSourceTag); }

// --- destruction ---

NodeContainer::~NodeContainer() { DestroyOwned(this, false); }

Element::~Element() { DestroyOwned(this, true); }

Document::Document() : NodeContainer("#document", &NullElement()) {}

void DeleteNode(Node* node) {
  if (node != nullptr) Release(node);
}

// --- Element ---

std::string Element::GetValue() const { return {}; }

std::string Element::GetText() const {
  std::string result;
  bool pendingApostrophe = false;
  for (const Node* child : children) {
    const std::string& childName = child->name;
    if (childName == "apos") {
      pendingApostrophe = true;
    } else if (childName == "#text") {
      result += "<STRING>";
      if (pendingApostrophe) {
        result += " '";
        pendingApostrophe = false;
      }
      result += child->GetText();
      result += "</STRING>";
    } else if (childName == "tspan") {
      result += "<TSPAN>";
      result += child->GetText();
      result += "</TSPAN>";
    } else if (childName == "tref") {
      result += "<TREF></TREF>";
    }
  }
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
  return result;
}

bool Element::IsType(int code) const { return code == kElementNode; }

Node* Element::Clone(Node* newParent) const {
  return FinishClone(NewNode<Element>(__LINE__, kSourceTag, std::string(name), newParent), *this);
}

// --- Attribute ---

std::string Attribute::GetValue() const { return GetText(); }

std::string Attribute::GetText() const {
  std::string result;
  for (const Node* child : children) result += child->GetText();
  Trim(result);
  return result;
}

bool Attribute::IsType(int code) const { return code == kAttributeNode; }

Node* Attribute::Clone(Node* newParent) const {
  return FinishClone(NewNode<Attribute>(__LINE__, kSourceTag, std::string(name), newParent), *this);
}

// --- character data ---

std::string Text::GetValue() const { return value; }
std::string Text::GetText() const { return value; }
bool Text::IsType(int code) const { return code == kTextNode; }
Node* Text::Clone(Node* newParent) const {
  return NewNode<Text>(__LINE__, kSourceTag, newParent, std::string(value));
}

std::string CData::GetValue() const { return value; }
std::string CData::GetText() const { return value; }
bool CData::IsType(int code) const { return code == kCDataNode; }
Node* CData::Clone(Node* newParent) const {
  return NewNode<CData>(__LINE__, kSourceTag, newParent, std::string(value));
}

std::string Comment::GetValue() const { return value; }
std::string Comment::GetText() const { return value; }
bool Comment::IsType(int code) const { return code == kCommentNode; }
Node* Comment::Clone(Node* newParent) const {
  return NewNode<Comment>(__LINE__, kSourceTag, newParent, std::string(value));
}

std::string Pi::GetValue() const { return value; }
std::string Pi::GetText() const { return value; }
bool Pi::IsType(int code) const { return code == kPiNode; }
Node* Pi::Clone(Node* newParent) const {
  return NewNode<Pi>(__LINE__, kSourceTag, std::string(name), newParent, std::string(value));
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
  auto* copy = NewNode<EntityRef>(__LINE__, kSourceTag, std::string(name), newParent);
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
  if (!child->IsType(kTextNode)) container.lastText = nullptr;
}

bool AddText(NodeContainer& container, std::string text) {
  if (container.lastText != nullptr) {
    container.lastText->value += text;
    return true;
  }
  Text* node = NewNode<Text>(__LINE__, kSourceTag, &container, std::move(text));
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
