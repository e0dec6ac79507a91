// The XML reader: one pass over a whole-file byte buffer into a Document.
// Character data is kept as written (references are not expanded); the
// internal DTD subset is checked and only its internal general entities are
// kept, in Document::entities. Nothing outside the buffer is ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"

namespace AdvXMLParser {

// Codes of ParsingException.
inline constexpr int kErrElementContentNotClosed = 0;  // no "|", "," or ")" after a particle
inline constexpr int kErrEndOfInput = 1;
inline constexpr int kErrMissingEquals = 3;
inline constexpr int kErrMissingValue = 4;
inline constexpr int kErrLessThanInValue = 5;
inline constexpr int kErrBadReference = 6;
inline constexpr int kErrNoHexDigits = 7;
inline constexpr int kErrNoDecimalDigits = 8;
inline constexpr int kErrMissingName = 10;
inline constexpr int kErrEmptyTagNotClosed = 11;
inline constexpr int kErrTagNotClosed = 12;
inline constexpr int kErrEndTagMismatch = 13;
// Also raised when a node of the content cannot be allocated.
inline constexpr int kErrUnknownMarkup = 14;
inline constexpr int kErrCDataEndInContent = 15;
// Also raised when the Document or the root element cannot be allocated.
inline constexpr int kErrNoRoot = 16;
inline constexpr int kErrBadVersion = 17;
inline constexpr int kErrDeclarationNotClosed = 18;
inline constexpr int kErrEncodingQuote = 19;
inline constexpr int kErrBadEncoding = 20;
inline constexpr int kErrStandaloneQuote = 21;
inline constexpr int kErrBadStandalone = 22;
inline constexpr int kErrDoubleHyphen = 23;
inline constexpr int kErrPiWithoutTarget = 24;
inline constexpr int kErrReservedPiTarget = 25;
inline constexpr int kErrBadDoctype = 26;
inline constexpr int kErrBadInternalSubset = 27;
inline constexpr int kErrBadPubidChar = 28;
inline constexpr int kErrBadElementDecl = 29;
inline constexpr int kErrBadMixedContent = 30;
inline constexpr int kErrBadContentParticle = 32;  // a name or "(" was required
inline constexpr int kErrBadAttlistDecl = 33;
inline constexpr int kErrBadAttDef = 34;
inline constexpr int kErrBadNotationType = 35;
inline constexpr int kErrBadEnumeration = 36;
inline constexpr int kErrBadDefaultDecl = 37;
inline constexpr int kErrBadEntityDecl = 38;
inline constexpr int kErrEntityDeclNotClosed = 39;
inline constexpr int kErrBadNotationDecl = 40;
inline constexpr int kErrBadExternalId = 41;
inline constexpr int kErrNotationDeclNotClosed = 42;
inline constexpr int kErrNestingTooDeep = 44;  // see kMaxNestingDepth
inline constexpr int kErrTrailingContent = 43;

// Deepest element nesting accepted (the root is level 1); one more level is
// kErrNestingTooDeep. The same bound applies to nested groups of a DTD
// content model. It keeps the recursive consumers of the tree (GetText,
// Clone) well inside a 1 MiB thread stack.
inline constexpr int kMaxNestingDepth = 1024;

class Exception {
 public:
  virtual ~Exception() = default;
};

// A syntax fault: the code above, and the line and column of the last
// character read. Where a specific character was required, that is the
// offending character itself; where a name or keyword was required, it is
// the character before it. End of input counts as one character after the
// last byte. Lines start at 1; on the first line columns start at 2 for the
// first character, on later lines at 1 (a line end resets the column to 0).
class ParsingException : public Exception {
 public:
  ParsingException(int errorCode, int errorLine, int errorColumn)
      : code(errorCode), line(errorLine), column(errorColumn) {}
  int code;
  int line;
  int column;
};

class Parser {
 public:
  virtual ~Parser() = default;

  // Reads the whole document from `data` (not terminated; nothing at or past
  // data + length is read) and returns a new Document owned by the caller.
  // Throws ParsingException at the first fault; the partly built tree is
  // then destroyed. UTF-16 input (either byte-order mark) is narrowed to the
  // low byte of each unit; anything else is read byte by byte.
  Document* Parse(const unsigned char* data, std::size_t length);

  // Character primitives, shared with the DTD rules. Reading at or past
  // `end` yields 0. A carriage return reads as a line feed, and swallows a
  // line feed that follows it.
  char GetChar() {
    if (current >= end) {
      pastEnd_ = true;
      return 0;
    }
    char c = static_cast<char>(*current++);
    if (c == '\r') {
      if (current < end && *current == '\n') ++current;
      return '\n';
    }
    return c;
  }
  // Steps back one character (a CR LF pair as one); one step is reliable.
  void UngetChar() {
    if (pastEnd_) {
      pastEnd_ = false;
      return;
    }
    if (current <= start) return;
    --current;
    if (*current == '\n' && current > start && current[-1] == '\r') --current;
  }
  // Consumes `literal`, or consumes nothing.
  bool Match(const char* literal);
  // Skips whitespace; true when at least one character was skipped.
  bool SkipWhitespace();
  // Consumes `c`, or consumes nothing.
  bool ExpectChar(char c);
  // Name and Nmtoken of the reader's character sets; false (nothing
  // consumed) when none starts here.
  bool ReadName(std::string& out);
  bool ReadNmtoken(std::string& out);
  // Digits of a character reference; false when there is none. The value
  // keeps its low 31 bits.
  bool ReadDecimal(int& out);
  bool ReadHex(int& out);
  // "&#" digits ";" (the "&#" already consumed), or kErrNoHexDigits,
  // kErrNoDecimalDigits, kErrBadReference. Returns the value's low byte.
  char ReadCharRefBody();
  // Reads a quoted value (the quote is next): kErrMissingValue without a
  // quote, kErrEndOfInput, kErrLessThanInValue. Returns the raw text.
  std::string ReadQuotedValue();
  // The same, as a view into the input.
  std::string_view ReadQuotedValueView();
  // Throws ParsingException(code) at the current position.
  [[noreturn]] void Throw(int code);
  // Fills line, column and previousColumn from the cursor.
  void UpdatePosition();

  // The cursor. Line and column are worked out from it when needed (at a
  // fault), so that scanning only moves a pointer.
  const unsigned char* start = nullptr;
  const unsigned char* current = nullptr;
  const unsigned char* end = nullptr;
  int line = 1;
  int column = 1;
  int previousColumn = 1;
  std::map<std::string, std::string>* entities = nullptr;
  unsigned char wide = 0;
  std::uint16_t byteOrder = 0;

 private:
  struct Position {
    int line;
    int column;
  };
  Position PositionAt(const unsigned char* at, bool afterEnd) const;

  void ReadXmlDeclaration(Document& document);
  void ReadEquals();
  void ReadMisc(Document& document);
  // "<" name attributes, then "/>" (isEmpty) or ">"; null without "<".
  Element* ReadStartTag(NodeContainer& parent, bool isRoot, bool& isEmpty, bool tooDeep);
  void ReadAttributes(Element& element);
  void ReadContent(Element& root);
  bool ReadComment(NodeContainer& parent);
  bool ReadPi(NodeContainer& parent);
  bool ReadCData(NodeContainer& parent);
  // A tracked node in the document's arena; throws `failCode` when it
  // cannot be made.
  template <typename T, typename... Args>
  T* MakeNode(int line, int failCode, Args&&... args);
  Attribute& MakeAttribute(NodeString name, Element& element, NodeString value);
  // Bytes of the document's copy of the input, from `from`; the reader
  // writes their terminating 0 (Terminate) once it has read past them.
  static NodeString InputString(const unsigned char* from, std::size_t size) noexcept {
    return NodeString::Borrowed(reinterpret_cast<const char*>(from), size);
  }
  // Ends a string of the copy at `at`, a byte the reader has read past.
  void Terminate(const unsigned char* at) noexcept { copy_[at - start] = 0; }
  // The input byte at `offset` as read, before any was overwritten by
  // Terminate (UTF-16: the low byte of the unit).
  unsigned char SourceAt(std::size_t offset) const noexcept {
    return source_[offset * sourceStride_];
  }
  // AppendChild and AddText for the nodes of the document being read.
  void Append(NodeContainer& container, Node* child);
  void AddTextRun(NodeContainer& container, const unsigned char* from, std::size_t size);

  bool pastEnd_ = false;  // a 0 was read at the end
  NodeArena* arena_ = nullptr;  // of the document being read
  long* failCountdown_ = nullptr;  // the thread's node allocation test switch
  bool countInBulk_ = false;  // tracking detail is off: nodes are only counted
  std::int64_t counted_ = 0;  // nodes counted so far
  // The document's copy of the input, which start..end walk and which its
  // names and values point into, and the caller's bytes it was made from.
  unsigned char* copy_ = nullptr;
  const unsigned char* source_ = nullptr;
  std::size_t sourceStride_ = 1;
};

// The document type declaration, if "<!DOCTYPE" follows: false when it does
// not (nothing consumed), true once read; throws ParsingException (codes 26
// to 42, 0, 1, 6, 7, 8) at a fault. Internal general entities go into
// `document.entities`, a later declaration replacing an earlier one and
// external ones stored empty; references inside an entity value are kept
// as written. Nothing is fetched.
bool ReadDoctype(Parser& parser, Document& document);

// Text-flattening state shared by the reader and Element::GetText, one per
// thread: the xml:space preserve flags of text and tspan elements, the
// cursor that GetText consumes them with, and the document default.
struct PreserveState {
  unsigned char defaultPreserve = 0;       // set by g xml:space; kept across documents
  unsigned char* preserveFlags = nullptr;  // kernel block, flagCapacity entries
  int preserveCount = 0;                   // entries recorded; also the GetText cursor
  int flagCount = 0;                       // entries in preserveFlags
  int flagCapacity = 0;
  int preserveAll = 0;                     // set by the tree builder before each element
};
PreserveState& TextState();
// Frees the flag array and sets the count and cursor to zero, ready for the
// next document. defaultPreserve and preserveAll are left as they are.
void ResetTextState();

}  // namespace AdvXMLParser
