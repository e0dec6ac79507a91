// The XML reader: one pass over a whole-file byte buffer into a Document.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Parser/Elements.h"

namespace AdvXMLParser {

class Exception {
 public:
  virtual ~Exception() = default;
};

class ParsingException : public Exception {
 public:
  ParsingException(int code, int line, int column) : code(code), line(line), column(column) {}
  int code;
  int line;
  int column;
};

class Parser {
 public:
  virtual ~Parser() = default;
  // Reads the whole document; the caller owns the result. Throws
  // ParsingException at the first fault.
  Document* Parse(const unsigned char* data, std::size_t length);
  // ... (reader state and rules are the reader's own)
};

// Text-flattening state shared by the reader and Element::GetText, one per
// thread: the xml:space preserve flags of text and tspan elements, the
// cursor that GetText consumes them with, and the document default.
struct PreserveState {
  unsigned char defaultPreserve = 0;
  unsigned char* preserveFlags = nullptr;  // kernel block
  int preserveCount = 0;                   // entries recorded; also the GetText cursor
  int flagCount = 0;                       // entries in preserveFlags
  int preserveAll = 0;                     // set by the tree builder before each element
};
PreserveState& TextState();
// Frees the flag array and resets the state for the next document.
void ResetTextState();

}  // namespace AdvXMLParser
