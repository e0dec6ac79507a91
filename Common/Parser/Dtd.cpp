// The document type declaration and its internal subset: every declaration
// is checked, and only internal general entities are kept. Nothing outside
// the buffer is fetched.
#include <string>

#include "Common/Parser/CharClass.h"
#include "Common/Parser/Reader.h"

namespace AdvXMLParser {

namespace {

// The grammar rules work on the reader's cursor through its primitives; each
// returns false, having consumed nothing, when its keyword does not start
// here, and throws at a fault after that.
class DtdReader {
 public:
  DtdReader(Parser& parser, Document& document) : p_(parser), document_(document) {}

  bool ReadDoctype();

 private:
  bool ReadMarkupDecl();
  bool ReadElementDecl();
  bool ReadContentSpec();
  bool ReadMixed();
  bool ReadChildren();
  bool ReadAttlistDecl();
  bool ReadAttDef();
  bool ReadAttType();
  bool ReadDefaultDecl();
  bool ReadEntityDecl();
  bool ReadEntityValue(std::string& value);
  bool ReadNotationDecl();
  bool ReadExternalId();
  bool ReadSystemLiteral();
  bool ReadPubidLiteral();
  bool ReadParameterReference(int code);
  bool AtQuote() const {
    return p_.current < p_.end && (*p_.current == '"' || *p_.current == '\'');
  }
  void RequireWhitespace(int code) {
    if (!p_.SkipWhitespace()) p_.Throw(code);
  }
  void RequireName(int code) {
    if (!p_.ReadName(name_)) p_.Throw(code);
  }
  // Optional "?", "*" or "+" after a content particle.
  void SkipOccurrence() {
    if (!p_.ExpectChar('?') && !p_.ExpectChar('*')) p_.ExpectChar('+');
  }

  Parser& p_;
  Document& document_;
  std::string name_;  // scratch for names that are checked and dropped
};

bool DtdReader::ReadDoctype() {
  if (!p_.Match("<!DOCTYPE")) return false;
  RequireWhitespace(kErrBadDoctype);
  RequireName(kErrBadDoctype);
  p_.SkipWhitespace();
  if (ReadExternalId()) p_.SkipWhitespace();
  if (p_.ExpectChar('[')) {
    for (;;) {
      if (p_.ExpectChar(']')) break;
      if (p_.SkipWhitespace() || ReadMarkupDecl() || ReadParameterReference(kErrBadInternalSubset)) {
        continue;
      }
      if (p_.GetChar() == 0) p_.Throw(kErrEndOfInput);
      p_.Throw(kErrBadInternalSubset);
    }
    p_.SkipWhitespace();
  }
  if (p_.GetChar() != '>') p_.Throw(kErrBadDoctype);
  return true;
}

bool DtdReader::ReadMarkupDecl() {
  return ReadElementDecl() || ReadAttlistDecl() || ReadEntityDecl() || ReadNotationDecl();
}

// "%" Name ";", not expanded.
bool DtdReader::ReadParameterReference(int code) {
  if (!p_.ExpectChar('%')) return false;
  RequireName(code);
  if (p_.GetChar() != ';') p_.Throw(code);
  return true;
}

bool DtdReader::ReadElementDecl() {
  if (!p_.Match("<!ELEMENT")) return false;
  RequireWhitespace(kErrBadElementDecl);
  RequireName(kErrBadElementDecl);
  RequireWhitespace(kErrBadElementDecl);
  if (!ReadContentSpec()) p_.Throw(kErrBadElementDecl);
  p_.SkipWhitespace();
  if (p_.GetChar() != '>') p_.Throw(kErrBadElementDecl);
  return true;
}

bool DtdReader::ReadContentSpec() {
  return p_.Match("EMPTY") || p_.Match("ANY") || ReadMixed() || ReadChildren();
}

// "(" S? "#PCDATA" (S? "|" S? Name)* S? ")*", or ")" when no name follows.
bool DtdReader::ReadMixed() {
  const unsigned char* from = p_.current;
  if (!p_.ExpectChar('(')) return false;
  p_.SkipWhitespace();
  if (!p_.Match("#PCDATA")) {
    p_.current = from;
    return false;
  }
  bool named = false;
  for (;;) {
    p_.SkipWhitespace();
    if (!p_.ExpectChar('|')) break;
    p_.SkipWhitespace();
    RequireName(kErrBadMixedContent);
    named = true;
  }
  if (p_.GetChar() != ')') p_.Throw(kErrBadMixedContent);
  if (!p_.ExpectChar('*') && named) {
    p_.GetChar();
    p_.Throw(kErrBadMixedContent);
  }
  return true;
}

// Element content: nested choices and sequences of names, read with a
// depth count instead of recursion. One group uses one kind of separator.
bool DtdReader::ReadChildren() {
  if (!p_.ExpectChar('(')) return false;
  char separators[kMaxNestingDepth] = {};
  int depth = 1;
  bool wantParticle = true;
  for (;;) {
    p_.SkipWhitespace();
    if (wantParticle) {
      if (p_.ExpectChar('(')) {
        if (depth == kMaxNestingDepth) p_.Throw(kErrNestingTooDeep);
        separators[depth++] = 0;
        continue;
      }
      RequireName(kErrBadContentParticle);
      SkipOccurrence();
      wantParticle = false;
      continue;
    }
    const char c = p_.GetChar();
    if (c == ')') {
      SkipOccurrence();
      if (--depth == 0) return true;
    } else if (c == '|' || c == ',') {
      char& separator = separators[depth - 1];
      if (separator != 0 && separator != c) p_.Throw(kErrElementContentNotClosed);
      separator = c;
      wantParticle = true;
    } else if (c == 0) {
      p_.Throw(kErrEndOfInput);
    } else {
      p_.Throw(kErrElementContentNotClosed);
    }
  }
}

bool DtdReader::ReadAttlistDecl() {
  if (!p_.Match("<!ATTLIST")) return false;
  RequireWhitespace(kErrBadAttlistDecl);
  RequireName(kErrBadAttlistDecl);
  while (ReadAttDef()) {
  }
  p_.SkipWhitespace();
  if (p_.GetChar() != '>') p_.Throw(kErrBadAttlistDecl);
  return true;
}

// S Name S AttType S DefaultDecl; false (nothing consumed) when no name
// follows the whitespace.
bool DtdReader::ReadAttDef() {
  const unsigned char* from = p_.current;
  if (!p_.SkipWhitespace() || !p_.ReadName(name_)) {
    p_.current = from;
    return false;
  }
  RequireWhitespace(kErrBadAttDef);
  if (!ReadAttType()) p_.Throw(kErrBadAttDef);
  RequireWhitespace(kErrBadAttDef);
  if (!ReadDefaultDecl()) p_.Throw(kErrBadDefaultDecl);
  return true;
}

bool DtdReader::ReadAttType() {
  // Longer keywords first, so that a keyword never matches as the prefix of
  // another.
  for (const char* keyword :
       {"CDATA", "IDREFS", "IDREF", "ID", "ENTITIES", "ENTITY", "NMTOKENS", "NMTOKEN"}) {
    if (p_.Match(keyword)) return true;
  }
  if (p_.Match("NOTATION")) {
    RequireWhitespace(kErrBadNotationType);
    if (!p_.ExpectChar('(')) {
      p_.GetChar();
      p_.Throw(kErrBadNotationType);
    }
    do {
      p_.SkipWhitespace();
      RequireName(kErrBadNotationType);
      p_.SkipWhitespace();
    } while (p_.ExpectChar('|'));
    if (p_.GetChar() != ')') p_.Throw(kErrBadNotationType);
    return true;
  }
  if (p_.ExpectChar('(')) {
    do {
      p_.SkipWhitespace();
      if (!p_.ReadNmtoken(name_)) p_.Throw(kErrBadEnumeration);
      p_.SkipWhitespace();
    } while (p_.ExpectChar('|'));
    if (p_.GetChar() != ')') p_.Throw(kErrBadEnumeration);
    return true;
  }
  return false;
}

bool DtdReader::ReadDefaultDecl() {
  if (p_.Match("#REQUIRED") || p_.Match("#IMPLIED")) return true;
  if (p_.Match("#FIXED")) RequireWhitespace(kErrBadDefaultDecl);
  if (!AtQuote()) return false;
  p_.ReadQuotedValue();  // checked, then dropped: no defaults are applied
  return true;
}

bool DtdReader::ReadEntityDecl() {
  if (!p_.Match("<!ENTITY")) return false;
  RequireWhitespace(kErrBadEntityDecl);
  if (p_.ExpectChar('%')) {
    RequireWhitespace(kErrBadEntityDecl);
    RequireName(kErrBadEntityDecl);
    RequireWhitespace(kErrBadEntityDecl);
    std::string ignored;
    if (!ReadEntityValue(ignored) && !ReadExternalId()) p_.Throw(kErrBadEntityDecl);
  } else {
    std::string entityName;
    if (!p_.ReadName(entityName)) p_.Throw(kErrBadEntityDecl);
    RequireWhitespace(kErrBadEntityDecl);
    std::string value;
    if (!ReadEntityValue(value)) {
      if (!ReadExternalId()) p_.Throw(kErrBadEntityDecl);
      const unsigned char* from = p_.current;
      if (p_.SkipWhitespace() && p_.Match("NDATA")) {
        RequireWhitespace(kErrBadEntityDecl);
        RequireName(kErrBadEntityDecl);
      } else {
        p_.current = from;
      }
    }
    document_.entities[entityName] = std::move(value);
  }
  p_.SkipWhitespace();
  if (p_.GetChar() != '>') p_.Throw(kErrEntityDeclNotClosed);
  return true;
}

// A quoted literal whose "%" and "&" must begin well-formed references;
// the references stay in the value as written, and line ends are stored as
// line feeds.
bool DtdReader::ReadEntityValue(std::string& value) {
  if (!AtQuote()) return false;
  const char quote = p_.GetChar();
  const unsigned char* from = p_.current;
  const unsigned char* to = nullptr;
  for (;;) {
    while (p_.current < p_.end && !Is(*p_.current, kValueStop) && *p_.current != '%' &&
           *p_.current != '&') {
      ++p_.current;
    }
    const unsigned char* at = p_.current;
    const char c = p_.GetChar();
    if (c == quote) {
      to = at;
      break;
    }
    if (c == 0) p_.Throw(kErrEndOfInput);
    if (c == '%') {
      p_.UngetChar();
      ReadParameterReference(kErrBadInternalSubset);
    } else if (c == '&') {
      if (p_.ExpectChar('#')) {
        p_.ReadCharRefBody();
      } else {
        RequireName(kErrBadReference);
        if (p_.GetChar() != ';') p_.Throw(kErrBadReference);
      }
    }
  }
  value.clear();
  value.reserve(static_cast<std::size_t>(to - from));
  for (const unsigned char* q = from; q < to; ++q) {
    if (*q == '\r') {
      if (q + 1 < to && q[1] == '\n') ++q;
      value.push_back('\n');
    } else {
      value.push_back(static_cast<char>(*q));
    }
  }
  return true;
}

bool DtdReader::ReadNotationDecl() {
  if (!p_.Match("<!NOTATION")) return false;
  RequireWhitespace(kErrBadNotationDecl);
  RequireName(kErrBadNotationDecl);
  RequireWhitespace(kErrBadNotationDecl);
  if (p_.Match("SYSTEM")) {
    RequireWhitespace(kErrBadExternalId);
    if (!ReadSystemLiteral()) p_.Throw(kErrBadExternalId);
  } else if (p_.Match("PUBLIC")) {
    // The system literal is optional after a public identifier here.
    RequireWhitespace(kErrBadExternalId);
    if (!ReadPubidLiteral()) p_.Throw(kErrBadExternalId);
    const unsigned char* from = p_.current;
    if (!p_.SkipWhitespace() || !ReadSystemLiteral()) p_.current = from;
  } else {
    p_.Throw(kErrBadNotationDecl);
  }
  p_.SkipWhitespace();
  if (p_.GetChar() != '>') p_.Throw(kErrNotationDeclNotClosed);
  return true;
}

bool DtdReader::ReadExternalId() {
  if (p_.Match("SYSTEM")) {
    RequireWhitespace(kErrBadExternalId);
    if (!ReadSystemLiteral()) p_.Throw(kErrBadExternalId);
    return true;
  }
  if (p_.Match("PUBLIC")) {
    RequireWhitespace(kErrBadExternalId);
    if (!ReadPubidLiteral()) p_.Throw(kErrBadExternalId);
    RequireWhitespace(kErrBadExternalId);
    if (!ReadSystemLiteral()) p_.Throw(kErrBadExternalId);
    return true;
  }
  return false;
}

bool DtdReader::ReadSystemLiteral() {
  if (!AtQuote()) return false;
  const char quote = p_.GetChar();
  for (;;) {
    const char c = p_.GetChar();
    if (c == quote) return true;
    if (c == 0) p_.Throw(kErrEndOfInput);
  }
}

bool DtdReader::ReadPubidLiteral() {
  if (!AtQuote()) return false;
  const char quote = p_.GetChar();
  for (;;) {
    const char c = p_.GetChar();
    if (c == quote) return true;
    if (c == 0) p_.Throw(kErrEndOfInput);
    if (!Is(static_cast<unsigned char>(c), kPubidChar)) p_.Throw(kErrBadPubidChar);
  }
}

}  // namespace

bool ReadDoctype(Parser& parser, Document& document) {
  return DtdReader(parser, document).ReadDoctype();
}

}  // namespace AdvXMLParser
