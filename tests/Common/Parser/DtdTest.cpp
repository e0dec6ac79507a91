#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Common/Parser/Reader.h"
#include "tests/Common/Parser/ParserTestSupport.h"

namespace {

using namespace AdvXMLParser;
using parsertest::DescribeChildren;
using parsertest::ExpectFault;
using parsertest::Parse;
using DoctypeEntities = parsertest::ParserTest;
using DoctypeGrammar = parsertest::ParserTest;
using DoctypeFaults = parsertest::ParserTest;

using Entities = std::map<std::string, std::string>;

TEST_F(DoctypeEntities, KeepsInternalGeneralEntities) {
  struct Case {
    const char* text;
    Entities entities;
  };
  const Case cases[] = {
      {"<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"x.dtd\"><svg/>", {}},
      {"<!DOCTYPE svg [ <!ENTITY st0 \"fill:red;\"> ]><svg/>", {{"st0", "fill:red;"}}},
      {"<!DOCTYPE svg [<!ENTITY a \"1\"><!ENTITY a '2'>]><svg/>", {{"a", "2"}}},
      {"<!DOCTYPE svg [<!ENTITY x SYSTEM \"f.png\" NDATA png><!ENTITY y PUBLIC '-//x' 'y.xml'>]>"
       "<svg/>",
       {{"x", ""}, {"y", ""}}},
      {"<!DOCTYPE svg [<!ENTITY a \"1\"><!ENTITY a SYSTEM 'a.xml'>]><svg/>", {{"a", ""}}},
      {"<!DOCTYPE svg [<!ENTITY % p \"v\"> %p; <!ENTITY % q SYSTEM 'q.ent'>]><svg/>", {}},
      {"<!DOCTYPE svg [<!ENTITY r \"a&amp;b&#65;&#x42;&q;%p;c<d>'\">]><svg/>",
       {{"r", "a&amp;b&#65;&#x42;&q;%p;c<d>'"}}},
      {"<!DOCTYPE svg [<!ENTITY n \"l1\r\nl2\rl3\nl4\">]><svg/>", {{"n", "l1\nl2\nl3\nl4"}}},
      {"<!DOCTYPE svg [<!ENTITY e ''>]><svg/>", {{"e", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto document = Parse(c.text);
    EXPECT_EQ(document->entities, c.entities);
  }
}

TEST_F(DoctypeEntities, LeavesReferencesInContentUnexpanded) {
  auto document = Parse("<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>");
  EXPECT_EQ(DescribeChildren(*document->root), "T\"\" R(e) T\"\"");
  EXPECT_EQ(document->root->children[1]->GetValue(), std::string(1, '\0'));
}

TEST_F(DoctypeGrammar, AcceptsEveryKindOfDeclaration) {
  const char* const declarations[] = {
      "<!ELEMENT e EMPTY>",
      "<!ELEMENT e ANY >",
      "<!ELEMENT p (#PCDATA)>",
      "<!ELEMENT p (#PCDATA)*>",
      "<!ELEMENT p (#PCDATA|b|i)*>",
      "<!ELEMENT s (a,(b|c)*,d?)+>",
      "<!ELEMENT s ( a , ( b | c+ )? )>",
      "<!ATTLIST rect id ID #IMPLIED>",
      "<!ATTLIST r>",
      "<!ATTLIST r a CDATA #REQUIRED b IDREFS #IMPLIED c IDREF #IMPLIED d ENTITIES #IMPLIED>",
      "<!ATTLIST r e ENTITY #IMPLIED f NMTOKENS #IMPLIED g NMTOKEN #IMPLIED>",
      "<!ATTLIST r c (x|y|1.5) \"x\" d NOTATION (png | gif) #FIXED 'png'>",
      "<!ATTLIST r v CDATA 'a&amp;b' >",
      "<!NOTATION png PUBLIC \"image/png\">",
      "<!NOTATION gif SYSTEM \"gif\">",
      "<!NOTATION j PUBLIC \"j\" \"j.exe\" >",
      "%pe;",
  };
  for (const char* declaration : declarations) {
    SCOPED_TRACE(declaration);
    auto document = Parse(std::string("<!DOCTYPE a [\n") + declaration + "\n]>\n<a/>");
    EXPECT_TRUE(document->entities.empty());
    EXPECT_EQ(document->root->name, "a");
  }
}

TEST_F(DoctypeGrammar, ReadsCommentsAroundTheDeclaration) {
  auto document = Parse("<?xml version='1.0'?><!--c--><!DOCTYPE a><!--d--><?p?><a/>");
  EXPECT_EQ(DescribeChildren(*document), "C\"c\" C\"d\" P(p)\"\" E(a)");
}

TEST_F(DoctypeGrammar, AcceptsNestedContentModelsUpToTheLimit) {
  auto model = [](int depth) {
    return std::string("<!DOCTYPE a [<!ELEMENT a ") + std::string(static_cast<std::size_t>(depth), '(') +
           "b" + std::string(static_cast<std::size_t>(depth), ')') + ">]><a/>";
  };
  EXPECT_NE(Parse(model(kMaxNestingDepth)), nullptr);
  auto fault = parsertest::Fault(model(kMaxNestingDepth + 1));
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->code, kErrNestingTooDeep);
  EXPECT_EQ(fault->column, 1 + 25 + kMaxNestingDepth + 1);
}

TEST_F(DoctypeFaults, ReportsCodeLineAndColumn) {
  const parsertest::ExpectedFault cases[] = {
      {"<!DOCTYPE>", kErrBadDoctype, 1, 10},
      {"<!DOCTYPE 1>", kErrBadDoctype, 1, 11},
      {"<!DOCTYPE a x>", kErrBadDoctype, 1, 14},
      {"<!DOCTYPE a [<!-- c -->]><a/>", kErrBadInternalSubset, 1, 15},
      {"<!DOCTYPE a [<?p?>]><a/>", kErrBadInternalSubset, 1, 15},
      {"<!DOCTYPE a [%p]><a/>", kErrBadInternalSubset, 1, 17},
      {"<!DOCTYPE a [", kErrEndOfInput, 1, 15},
      {"<!DOCTYPE a PUBLIC \"<\" \"x\"><a/>", kErrBadPubidChar, 1, 22},
      {"<!DOCTYPE a PUBLIC \"p", kErrEndOfInput, 1, 23},
      {"<!DOCTYPE a [<!ELEMENT e FOO>]>", kErrBadElementDecl, 1, 26},
      {"<!DOCTYPE a [<!ELEMENT e EMPTY x>]>", kErrBadElementDecl, 1, 33},
      {"<!DOCTYPE a [<!ELEMENT>]>", kErrBadElementDecl, 1, 23},
      {"<!DOCTYPE a [<!ELEMENT p (#PCDATA|b)>]>", kErrBadMixedContent, 1, 38},
      {"<!DOCTYPE a [<!ELEMENT p (#PCDATA|)*>]>", kErrBadMixedContent, 1, 35},
      {"<!DOCTYPE a [<!ELEMENT s (a|)>]>", kErrBadContentParticle, 1, 29},
      {"<!DOCTYPE a [<!ELEMENT s ()>]>", kErrBadContentParticle, 1, 27},
      {"<!DOCTYPE a [<!ELEMENT s (a,b|c)>]>", kErrElementContentNotClosed, 1, 31},
      {"<!DOCTYPE a [<!ELEMENT s (a b)>]>", kErrElementContentNotClosed, 1, 30},
      {"<!DOCTYPE a [<!ELEMENT s (a", kErrEndOfInput, 1, 29},
      {"<!DOCTYPE a [<!ATTLIST>]>", kErrBadAttlistDecl, 1, 23},
      {"<!DOCTYPE a [<!ATTLIST r x>]>", kErrBadAttDef, 1, 27},
      {"<!DOCTYPE a [<!ATTLIST r x FOO #IMPLIED>]>", kErrBadAttDef, 1, 28},
      {"<!DOCTYPE a [<!ATTLIST r x CDATA>]>", kErrBadAttDef, 1, 33},
      {"<!DOCTYPE a [<!ATTLIST r x NOTATION (p|) #IMPLIED>]>", kErrBadNotationType, 1, 40},
      {"<!DOCTYPE a [<!ATTLIST r x NOTATION p #IMPLIED>]>", kErrBadNotationType, 1, 38},
      {"<!DOCTYPE a [<!ATTLIST r x (a|) #IMPLIED>]>", kErrBadEnumeration, 1, 31},
      {"<!DOCTYPE a [<!ATTLIST r x (a #IMPLIED>]>", kErrBadEnumeration, 1, 32},
      {"<!DOCTYPE a [<!ATTLIST r x CDATA #DEFAULT>]>", kErrBadDefaultDecl, 1, 34},
      {"<!DOCTYPE a [<!ATTLIST r x CDATA #FIXED>]>", kErrBadDefaultDecl, 1, 40},
      {"<!DOCTYPE a [<!ATTLIST r x CDATA \"<\">]>", kErrLessThanInValue, 1, 36},
      {"<!DOCTYPE a [<!ENTITY>]>", kErrBadEntityDecl, 1, 22},
      {"<!DOCTYPE a [<!ENTITY e>]>", kErrBadEntityDecl, 1, 24},
      {"<!DOCTYPE a [<!ENTITY e x>]>", kErrBadEntityDecl, 1, 25},
      {"<!DOCTYPE a [<!ENTITY %p 'v'>]>", kErrBadEntityDecl, 1, 24},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM \"f\" NDATA>]>", kErrBadEntityDecl, 1, 41},
      {"<!DOCTYPE a [<!ENTITY e \"v\" x>]>", kErrEntityDeclNotClosed, 1, 30},
      {"<!DOCTYPE a [<!ENTITY e \"%;\">]>", kErrBadInternalSubset, 1, 27},
      {"<!DOCTYPE a [<!ENTITY e \"%p\">]>", kErrBadInternalSubset, 1, 29},
      {"<!DOCTYPE a [<!ENTITY e \"&;\">]>", kErrBadReference, 1, 27},
      {"<!DOCTYPE a [<!ENTITY e \"&x\">]>", kErrBadReference, 1, 29},
      {"<!DOCTYPE a [<!ENTITY e \"&#x;\">]>", kErrNoHexDigits, 1, 29},
      {"<!DOCTYPE a [<!ENTITY e \"&#;\">]>", kErrNoDecimalDigits, 1, 28},
      {"<!DOCTYPE a [<!ENTITY e \"&#65\">]>", kErrBadReference, 1, 31},
      {"<!DOCTYPE a [<!ENTITY e \"v", kErrEndOfInput, 1, 28},
      {"<!DOCTYPE a [<!NOTATION n>]>", kErrBadNotationDecl, 1, 26},
      {"<!DOCTYPE a [<!NOTATION n FOO>]>", kErrBadNotationDecl, 1, 27},
      {"<!DOCTYPE a [<!NOTATION n SYSTEM \"x\" y>]>", kErrNotationDeclNotClosed, 1, 39},
      {"<!DOCTYPE a SYSTEM>", kErrBadExternalId, 1, 19},
      {"<!DOCTYPE a SYSTEM x>", kErrBadExternalId, 1, 20},
      {"<!DOCTYPE a PUBLIC \"p\">", kErrBadExternalId, 1, 23},
      {"<!DOCTYPE a SYSTEM \"x", kErrEndOfInput, 1, 23},
      {"<!DOCTYPE a [\n<!ENTITY e\n\"&#x;\">\n]>", kErrNoHexDigits, 3, 4},
      {"<a/><!DOCTYPE a>", kErrTrailingContent, 1, 6},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", kErrMissingName, 1, 14},
  };
  for (const auto& c : cases) ExpectFault(c);
}

}  // namespace
