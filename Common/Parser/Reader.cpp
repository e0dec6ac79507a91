#include "Common/Parser/Reader.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "Common/Parser/CharClass.h"

namespace AdvXMLParser {

namespace {

constexpr char16_t kSourceTag[] = u"Common/Parser/Reader";

thread_local PreserveState textState;

// Owns the Document while it is being read; an exception unwinds it.
class DocumentOwner {
 public:
  explicit DocumentOwner(Document* document) : document_(document) {}
  DocumentOwner(const DocumentOwner&) = delete;
  DocumentOwner& operator=(const DocumentOwner&) = delete;
  ~DocumentOwner() { DeleteNode(document_); }
  Document* Release() {
    Document* document = document_;
    document_ = nullptr;
    return document;
  }

 private:
  Document* document_;
};

bool EqualsXmlAnyCase(std::string_view name) {
  return name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' &&
         (name[2] | 0x20) == 'l';
}

// The scanning loops work on a local cursor: a byte read through the member
// could alias the member itself, which would make the compiler store it
// back at every step.
const unsigned char* SkipClass(const unsigned char* at, const unsigned char* stop,
                               std::uint16_t classes) {
  while (at < stop && Is(*at, classes)) ++at;
  return at;
}

// Unrolled: text runs and attribute values are long enough that fewer
// bound checks pay.
const unsigned char* SkipUntil(const unsigned char* at, const unsigned char* stop,
                               std::uint16_t classes) {
  while (stop - at >= 4) {
    if (Is(at[0], classes)) return at;
    if (Is(at[1], classes)) return at + 1;
    if (Is(at[2], classes)) return at + 2;
    if (Is(at[3], classes)) return at + 3;
    at += 4;
  }
  while (at < stop && !Is(*at, classes)) ++at;
  return at;
}

}  // namespace

namespace {

// What the preserve-flag step does with an element's attributes.
enum class TextRole { kNone, kGroup, kText, kTspan };

TextRole RoleOf(const NodeString& name) {
  switch (name.size()) {
    case 1: return name[0] == 'g' ? TextRole::kGroup : TextRole::kNone;
    case 4: return name == "text" ? TextRole::kText : TextRole::kNone;
    case 5: return name == "tspan" ? TextRole::kTspan : TextRole::kNone;
    default: return TextRole::kNone;
  }
}

// Appends one preserve flag; false when the array cannot grow.
bool PushPreserveFlag(unsigned char flag) {
  PreserveState& state = textState;
  if (state.preserveFlags == nullptr) {
    state.flagCount = 0;
    state.flagCapacity = 0;
  }
  if (state.flagCount == state.flagCapacity) {
    int capacity = state.flagCapacity == 0 ? 16 : state.flagCapacity * 2;
    unsigned char* grown = SVGFLT_GROW(unsigned char, state.preserveFlags,
                                       static_cast<std::size_t>(state.flagCapacity),
                                       static_cast<std::size_t>(capacity));
    if (grown == nullptr) return false;
    state.preserveFlags = grown;
    state.flagCapacity = capacity;
  }
  state.preserveFlags[state.flagCount++] = flag;
  state.preserveCount = state.flagCount;
  return true;
}

// The xml:space step after each attribute: a g sets the default for what
// follows in the document; a text records one flag per attribute, a tspan
// two. False when the flag array cannot grow.
bool RecordPreserveFlag(TextRole role, const Attribute& attribute) {
  const bool isSpace = attribute.name == "xml:space";
  if (role == TextRole::kGroup) {
    if (isSpace) textState.defaultPreserve = attribute.GetText() == "preserve" ? 1 : 0;
    return true;
  }
  unsigned char flag = textState.defaultPreserve;
  if (isSpace) flag = attribute.GetText() == "preserve" ? 1 : 0;
  if (!PushPreserveFlag(flag)) return false;
  return role != TextRole::kTspan || PushPreserveFlag(flag);
}

}  // namespace

PreserveState& TextState() { return textState; }

void ResetTextState() {
  svgflt::KernelRelease(textState.preserveFlags);
  textState.preserveFlags = nullptr;
  textState.flagCount = 0;
  textState.flagCapacity = 0;
  textState.preserveCount = 0;
}

// --- primitives ---

bool Parser::Match(const char* literal) {
  std::size_t n = std::strlen(literal);
  if (static_cast<std::size_t>(end - current) < n || std::memcmp(current, literal, n) != 0) {
    return false;
  }
  current += n;
  return true;
}

bool Parser::SkipWhitespace() {
  const unsigned char* from = current;
  current = SkipClass(current, end, kWhitespace);
  return current != from;
}

bool Parser::ExpectChar(char c) {
  if (current < end && *current == static_cast<unsigned char>(c)) {
    ++current;
    return true;
  }
  return false;
}

bool Parser::ReadName(std::string& out) {
  if (current >= end || !Is(*current, kNameStart)) return false;
  const unsigned char* from = current++;
  current = SkipClass(current, end, kNameChar);
  out.assign(reinterpret_cast<const char*>(from), static_cast<std::size_t>(current - from));
  return true;
}

bool Parser::ReadNmtoken(std::string& out) {
  const unsigned char* from = current;
  current = SkipClass(current, end, kNameChar);
  if (current == from) return false;
  out.assign(reinterpret_cast<const char*>(from), static_cast<std::size_t>(current - from));
  return true;
}

bool Parser::ReadDecimal(int& out) {
  unsigned value = 0;
  const unsigned char* from = current;
  while (current < end && Is(*current, kDigit)) value = value * 10u + (*current++ - '0');
  out = static_cast<int>(value & 0x7FFFFFFFu);
  return current != from;
}

bool Parser::ReadHex(int& out) {
  unsigned value = 0;
  const unsigned char* from = current;
  while (current < end && Is(*current, kHexDigit)) {
    unsigned char c = *current++;
    unsigned digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10u;
    value = value * 16u + digit;
  }
  out = static_cast<int>(value & 0x7FFFFFFFu);
  return current != from;
}

char Parser::ReadCharRefBody() {
  int value = 0;
  if (ExpectChar('x')) {
    if (!ReadHex(value)) Throw(kErrNoHexDigits);
  } else if (!ReadDecimal(value)) {
    Throw(kErrNoDecimalDigits);
  }
  if (GetChar() != ';') Throw(kErrBadReference);
  return static_cast<char>(value & 0xFF);
}

std::string Parser::ReadQuotedValue() { return std::string(ReadQuotedValueView()); }

std::string_view Parser::ReadQuotedValueView() {
  const unsigned char quote = static_cast<unsigned char>(GetChar());
  if (quote != '"' && quote != '\'') Throw(kErrMissingValue);
  const unsigned char* from = current;
  for (;;) {
    current = SkipUntil(current, end, kValueStop);
    if (current >= end) {
      GetChar();
      Throw(kErrEndOfInput);
    }
    const unsigned char c = *current++;
    if (c == quote) break;
    if (c == '<') Throw(kErrLessThanInValue);
    if (c == 0) Throw(kErrEndOfInput);  // a NUL byte reads as the end of the input
  }
  return std::string_view(reinterpret_cast<const char*>(from),
                          static_cast<std::size_t>(current - 1 - from));
}

Parser::Position Parser::PositionAt(const unsigned char* at, bool afterEnd) const {
  Position position{1, 1};
  const std::size_t count = static_cast<std::size_t>(at - start);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char c = SourceAt(i);
    if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < count && SourceAt(i + 1) == '\n') ++i;
      ++position.line;
      position.column = 0;
    } else {
      ++position.column;
    }
  }
  if (afterEnd) ++position.column;
  return position;
}

void Parser::UpdatePosition() {
  Position now = PositionAt(current, pastEnd_);
  line = now.line;
  column = now.column;
  // The column before the last character read.
  if (pastEnd_) {
    previousColumn = PositionAt(current, false).column;
  } else if (current > start) {
    std::size_t previous = static_cast<std::size_t>(current - start) - 1;
    if (SourceAt(previous) == '\n' && previous > 0 && SourceAt(previous - 1) == '\r') --previous;
    previousColumn = PositionAt(start + previous, false).column;
  } else {
    previousColumn = 1;
  }
}

void Parser::Throw(int code) {
  UpdatePosition();
  throw ParsingException(code, line, column);
}

// The document itself comes from the heap; every other node from its arena.
template <typename T, typename... Args>
T* Parser::MakeNode(int sourceLine, int failCode, Args&&... args) {
  if (*failCountdown_ > 0 && --*failCountdown_ == 0) Throw(failCode);
  void* block = arena_->AllocateNode(sizeof(T));
  if (block == nullptr) Throw(failCode);
  // Nothing can fail once the node is registered, as the constructor only
  // moves borrowed strings. Without tracking detail the node is only
  // counted, and the count goes to the tracker once the read succeeds.
  static_assert(std::is_nothrow_constructible_v<T, Args&&...>);
  T* node;
  if (countInBulk_) {
    ++counted_;
    node = new (block) T(std::forward<Args>(args)...);
    node->SetStorage(kNodeCounted);
  } else {
    KernelTrackObject(kTrackObject, block, sourceLine, kSourceTag);
    node = new (block) T(std::forward<Args>(args)...);
    node->SetStorage(kNodeFromArena);
  }
  return node;
}

// An attribute and its Text child, made and tracked in that order; both
// allocations are checked first, so that a failure leaves neither.
Attribute& Parser::MakeAttribute(NodeString name, Element& element, NodeString value) {
  for (int node = 0; node < 2; ++node) {
    if (*failCountdown_ > 0 && --*failCountdown_ == 0) Throw(kErrUnknownMarkup);
  }
  void* memory = arena_->AllocateNode(sizeof(AttributeBlock));
  if (memory == nullptr) Throw(kErrUnknownMarkup);
  auto* block = new (memory) AttributeBlock(std::move(name), &element, std::move(value));
  if (countInBulk_) {
    counted_ += 2;
    block->attribute.SetStorage(kNodeCounted);
    block->value.SetStorage(kNodeCounted);
  } else {
    KernelTrackObject(kTrackObject, &block->attribute, __LINE__, kSourceTag);
    KernelTrackObject(kTrackObject, &block->value, __LINE__, kSourceTag);
    block->attribute.SetStorage(kNodeFromArena);
    block->value.SetStorage(kNodeFromArena);
  }
  return block->attribute;
}

void Parser::Append(NodeContainer& container, Node* child) {
  if (!container.children.PushBackIn(*arena_, child)) Throw(kErrUnknownMarkup);
  if (child->TypeCode() != kTextNode) container.lastText = nullptr;
}

void Parser::AddTextRun(NodeContainer& container, const unsigned char* from, std::size_t size) {
  if (container.lastText != nullptr) {
    container.lastText->value.append(reinterpret_cast<const char*>(from), size);
    return;
  }
  Append(container,
         MakeNode<Text>(__LINE__, kErrUnknownMarkup, &container, InputString(from, size)));
}

// --- document ---

Document* Parser::Parse(const unsigned char* data, std::size_t length) {
  start = current = end = data;
  source_ = data;
  sourceStride_ = 1;
  line = column = previousColumn = 1;
  pastEnd_ = false;
  wide = 0;
  byteOrder = 0;

  Document* made = NewNode<Document>(__LINE__, kSourceTag);
  if (made == nullptr) Throw(kErrNoRoot);
  Document& document = *made;
  DocumentOwner guard(&document);
  entities = &document.entities;
  arena_ = &document.arena;
  failCountdown_ = &NodeFailCountdown();
  countInBulk_ = KernelTrackingDetail() == 0;
  counted_ = 0;

  // The input is copied once into the document: names and values point
  // into the copy, each ended by a 0 written over the byte that followed
  // it. UTF-16 with a byte-order mark is narrowed on the way to the low
  // byte of each unit; a trailing half unit is dropped. Positions count
  // units, as the grammar sees them, and are found in the caller's bytes.
  std::size_t units = length;
  if (length >= 2) {
    const std::uint16_t mark = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    if (mark == 0xFFFE || mark == 0xFEFF) {
      wide = 1;
      byteOrder = static_cast<std::uint16_t>((mark >> 8) | (mark << 8));
      units = (length - 2) / 2;
      source_ = data + 2 + (byteOrder == 0xFEFF ? 1 : 0);
      sourceStride_ = 2;
    }
  }
  if (units > 0xFFFFFFFEu) throw std::length_error("string too long");
  arena_->ExpectInput(units);
  copy_ = static_cast<unsigned char*>(arena_->Allocate(units + 1));
  if (copy_ == nullptr) Throw(kErrNoRoot);
  if (sourceStride_ == 1) {
    if (units != 0) std::memcpy(copy_, data, units);
  } else {
    for (std::size_t i = 0; i < units; ++i) copy_[i] = source_[2 * i];
  }
  copy_[units] = 0;
  start = current = copy_;
  end = copy_ + units;

  ReadXmlDeclaration(document);
  ReadMisc(document);
  if (ReadDoctype(*this, document)) ReadMisc(document);
  SkipWhitespace();
  bool isEmpty = false;
  Element* root = ReadStartTag(document, true, isEmpty, false);
  if (root == nullptr) Throw(kErrNoRoot);
  document.root = root;
  if (!isEmpty) ReadContent(*root);
  ReadMisc(document);
  if (current < end) {
    GetChar();
    Throw(kErrTrailingContent);
  }
  entities = nullptr;
  arena_ = nullptr;
  copy_ = nullptr;
  if (counted_ != 0) KernelTrackObjects(kTrackObject, counted_, __LINE__, kSourceTag);
  document.countedNodes = counted_;
  document.changeCountAtRead = NodeChangeCount();
  document.readComplete = true;
  return guard.Release();
}

// S? "=" S? after a keyword; without "=" the fault is placed just after
// the keyword, as for an attribute name.
void Parser::ReadEquals() {
  const unsigned char* keywordEnd = current;
  SkipWhitespace();
  if (!ExpectChar('=')) {
    current = keywordEnd;
    Throw(kErrMissingEquals);
  }
  SkipWhitespace();
}

void Parser::ReadXmlDeclaration(Document& document) {
  const unsigned char* from = current;
  if (!Match("<?xml")) return;
  // "<?xml-stylesheet ...?>" and the like are processing instructions.
  if (current < end && Is(*current, kNameChar)) {
    current = from;
    return;
  }
  if (!SkipWhitespace() || !Match("version")) Throw(kErrBadVersion);
  ReadEquals();
  char quote = GetChar();
  if (quote != '"' && quote != '\'') Throw(kErrBadVersion);
  const unsigned char* value = current;
  current = SkipClass(current, end, kVersionChar);
  if (current == value || GetChar() != quote) Throw(kErrBadVersion);
  document.version.assign(reinterpret_cast<const char*>(value),
                          static_cast<std::size_t>(current - 1 - value));

  const unsigned char* before = current;
  if (SkipWhitespace() && Match("encoding")) {
    ReadEquals();
    quote = GetChar();
    if (quote != '"' && quote != '\'') Throw(kErrEncodingQuote);
    value = current;
    if (current < end && Is(*current, kEncodingStart)) {
      ++current;
      current = SkipClass(current, end, kEncodingChar);
    }
    if (current == value || GetChar() != quote) Throw(kErrBadEncoding);
    document.encoding.assign(reinterpret_cast<const char*>(value),
                             static_cast<std::size_t>(current - 1 - value));
  } else {
    current = before;
  }

  before = current;
  if (SkipWhitespace() && Match("standalone")) {
    ReadEquals();
    quote = GetChar();
    if (quote != '"' && quote != '\'') Throw(kErrStandaloneQuote);
    if (Match("yes")) {
      document.standalone = 1;
    } else if (Match("no")) {
      document.standalone = 0;
    } else {
      GetChar();
      Throw(kErrBadStandalone);
    }
    if (GetChar() != quote) Throw(kErrBadStandalone);
  } else {
    current = before;
  }

  SkipWhitespace();
  if (!Match("?>")) Throw(kErrDeclarationNotClosed);
}

void Parser::ReadMisc(Document& document) {
  for (;;) {
    SkipWhitespace();
    if (!ReadComment(document) && !ReadPi(document)) return;
  }
}

bool Parser::ReadComment(NodeContainer& parent) {
  if (!Match("<!--")) return false;
  const unsigned char* from = current;
  for (;;) {
    current = SkipUntil(current, end, kCommentStop);
    if (current >= end) {
      GetChar();
      Throw(kErrEndOfInput);
    }
    if (*current++ == 0) Throw(kErrEndOfInput);
    if (current < end && *current == '-') break;
  }
  const unsigned char* to = current - 1;
  ++current;
  if (GetChar() != '>') Throw(kErrDoubleHyphen);
  Terminate(to);
  auto* comment = MakeNode<Comment>(__LINE__, kErrUnknownMarkup, &parent,
                                    InputString(from, static_cast<std::size_t>(to - from)));
  Append(parent, comment);
  return true;
}

bool Parser::ReadPi(NodeContainer& parent) {
  if (!Match("<?")) return false;
  if (current >= end || !Is(*current, kNameStart)) Throw(kErrPiWithoutTarget);
  const unsigned char* targetStart = current++;
  current = SkipClass(current, end, kNameChar);
  const std::size_t targetSize = static_cast<std::size_t>(current - targetStart);
  if (EqualsXmlAnyCase(std::string_view(reinterpret_cast<const char*>(targetStart), targetSize))) {
    Throw(kErrReservedPiTarget);
  }
  SkipWhitespace();
  const unsigned char* from = current;
  for (;;) {
    current = SkipUntil(current, end, kPiStop);
    if (current >= end) {
      GetChar();
      Throw(kErrEndOfInput);
    }
    if (*current++ == 0) Throw(kErrEndOfInput);
    if (current < end && *current == '>') break;
  }
  const unsigned char* to = current - 1;
  ++current;
  // Without data the target's end and the data's are the same byte.
  Terminate(targetStart + targetSize);
  Terminate(to);
  auto* pi = MakeNode<Pi>(__LINE__, kErrUnknownMarkup, InputString(targetStart, targetSize),
                          &parent, InputString(from, static_cast<std::size_t>(to - from)));
  Append(parent, pi);
  return true;
}

bool Parser::ReadCData(NodeContainer& parent) {
  if (!Match("<![CDATA[")) return false;
  const unsigned char* from = current;
  for (;;) {
    current = SkipUntil(current, end, kCDataStop);
    if (current >= end) {
      GetChar();
      Throw(kErrEndOfInput);
    }
    if (*current++ == 0) Throw(kErrEndOfInput);
    if (end - current >= 2 && current[0] == ']' && current[1] == '>') break;
  }
  const unsigned char* to = current - 1;
  current += 2;
  Terminate(to);
  auto* cdata = MakeNode<CData>(__LINE__, kErrUnknownMarkup, &parent,
                                InputString(from, static_cast<std::size_t>(to - from)));
  Append(parent, cdata);
  return true;
}

// --- elements ---

Element* Parser::ReadStartTag(NodeContainer& parent, bool isRoot, bool& isEmpty, bool tooDeep) {
  if (!ExpectChar('<')) return nullptr;
  if (current >= end || !Is(*current, kNameStart)) Throw(kErrMissingName);
  const unsigned char* name = current++;
  current = SkipClass(current, end, kNameChar);
  if (tooDeep) Throw(kErrNestingTooDeep);
  const unsigned char* nameEnd = current;
  auto* element =
      MakeNode<Element>(__LINE__, isRoot ? kErrNoRoot : kErrUnknownMarkup,
                        InputString(name, static_cast<std::size_t>(nameEnd - name)), &parent);
  Append(parent, element);
  ReadAttributes(*element);
  const char c = GetChar();
  if (c == '/') {
    if (GetChar() != '>') Throw(kErrEmptyTagNotClosed);
    isEmpty = true;
  } else if (c == '>') {
    isEmpty = false;
  } else {
    Throw(kErrTagNotClosed);
  }
  Terminate(nameEnd);
  return element;
}

void Parser::ReadAttributes(Element& element) {
  const TextRole role = RoleOf(element.name);
  // Attributes are gathered here and given to the element in one exact
  // array, rather than in a doubling one.
  constexpr std::size_t kGathered = 16;
  Attribute* gathered[kGathered];
  std::size_t count = 0;
  auto handOver = [&] {
    if (count == 0) return;
    NodeArray<Attribute*>& attributes = element.attributes;
    if (!attributes.ReserveIn(*arena_, attributes.size() + count)) Throw(kErrUnknownMarkup);
    for (std::size_t i = 0; i < count; ++i) attributes.PushBackIn(*arena_, gathered[i]);
    count = 0;
  };
  for (;;) {
    if (!SkipWhitespace()) break;
    if (current >= end || !Is(*current, kNameStart)) break;
    const unsigned char* name = current++;
    current = SkipClass(current, end, kNameChar);
    const unsigned char* nameEnd = current;
    if (current < end && *current == '=') {
      ++current;  // the usual name="value"
    } else {
      SkipWhitespace();
      if (!ExpectChar('=')) {
        current = nameEnd;
        Throw(kErrMissingEquals);
      }
    }
    SkipWhitespace();
    const std::string_view value = ReadQuotedValueView();
    Terminate(nameEnd);
    Terminate(current - 1);  // the closing quote
    Attribute& attribute =
        MakeAttribute(InputString(name, static_cast<std::size_t>(nameEnd - name)), element,
                      NodeString::Borrowed(value.data(), value.size()));
    if (count == kGathered) handOver();
    gathered[count++] = &attribute;
    if (role != TextRole::kNone && !RecordPreserveFlag(role, attribute)) {
      Throw(kErrUnknownMarkup);
    }
  }
  handOver();
}

// Reads the content of `root` and of everything nested in it, up to the
// end tag of `root`. Nesting is followed through the parent pointers, so
// the depth of the document never reaches the stack.
void Parser::ReadContent(Element& root) {
  Element* element = &root;
  int depth = 1;
  const unsigned char* mark = current;
  auto takeText = [&] { AddTextRun(*element, mark, static_cast<std::size_t>(current - mark)); };
  for (;;) {
    current = SkipUntil(current, end, kTextStop);
    if (current >= end) {
      GetChar();
      Throw(kErrEndOfInput);
    }
    const unsigned char c = *current;
    if (c == '<') {
      // The run's terminating 0 replaces the "<" once the markup is read.
      const unsigned char* textEnd = current;
      takeText();
      if (end - current >= 2 && current[1] == '/') {
        current += 2;
        if (current >= end || !Is(*current, kNameStart)) Throw(kErrMissingName);
        const unsigned char* name = current++;
        current = SkipClass(current, end, kNameChar);
        if (element->name != std::string_view(reinterpret_cast<const char*>(name),
                                              static_cast<std::size_t>(current - name))) {
          Throw(kErrEndTagMismatch);
        }
        SkipWhitespace();
        if (GetChar() != '>') Throw(kErrTagNotClosed);
        Terminate(textEnd);
        if (element == &root) return;
        element = static_cast<Element*>(element->parent);
        --depth;
      } else if (const unsigned char next = end - current >= 2 ? current[1] : 0;
                 !(next == '!' && (ReadComment(*element) || ReadCData(*element))) &&
                 !(next == '?' && ReadPi(*element))) {
        bool isEmpty = false;
        Element* child = ReadStartTag(*element, false, isEmpty, depth >= kMaxNestingDepth);
        if (!isEmpty) {
          element = child;
          ++depth;
        }
      }
      Terminate(textEnd);
      mark = current;
    } else if (c == '&') {
      // Character and predefined references stay in the text as written.
      const std::size_t left = static_cast<std::size_t>(end - current);
      const char* at = reinterpret_cast<const char*>(current);
      if (left >= 2 && at[1] == '#') {
        current += 2;
        continue;
      }
      bool predefined = false;
      for (std::string_view reference : {"&amp;", "&lt;", "&gt;", "&apos;", "&quot;"}) {
        if (left >= reference.size() && std::memcmp(at, reference.data(), reference.size()) == 0) {
          current += reference.size();
          predefined = true;
          break;
        }
      }
      if (predefined) continue;
      const unsigned char* textEnd = current;
      takeText();
      ++current;
      if (current >= end || !Is(*current, kNameStart)) Throw(kErrBadReference);
      const unsigned char* name = current++;
      current = SkipClass(current, end, kNameChar);
      const unsigned char* nameEnd = current;
      if (GetChar() != ';') Throw(kErrBadReference);
      Terminate(textEnd);
      Terminate(nameEnd);
      auto* reference = MakeNode<EntityRef>(
          __LINE__, kErrUnknownMarkup, InputString(name, static_cast<std::size_t>(nameEnd - name)),
          element);
      Append(*element, reference);
      mark = current;
    } else if (c == ']') {
      if (end - current >= 3 && current[1] == ']' && current[2] == '>') {
        current += 3;
        Throw(kErrCDataEndInContent);
      }
      ++current;
    } else {
      // A NUL byte reads as the end of the input.
      ++current;
      Throw(kErrEndOfInput);
    }
  }
}

}  // namespace AdvXMLParser
