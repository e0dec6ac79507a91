#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Common/Parser/Reader.h"
#include "tests/Common/Parser/ParserTestSupport.h"

namespace {

using namespace AdvXMLParser;
using parsertest::DescribeChildren;
using parsertest::Parse;
using Doctype = parsertest::ParserTest;

using Entities = std::map<std::string, std::string>;

TEST_F(Doctype, KeepsOnlyInternalGeneralEntities) {
  const std::pair<const char*, Entities> cases[] = {
      {"<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"x.dtd\"><svg/>", {}},
      {"<!DOCTYPE svg [<!ENTITY a \"1\"><!ENTITY a '2'><!ENTITY e ''>]><svg/>",
       {{"a", "2"}, {"e", ""}}},
      {"<!DOCTYPE svg [<!ENTITY x SYSTEM \"f.png\" NDATA png><!ENTITY y PUBLIC '-//x' 'y.xml'>]>"
       "<svg/>",
       {{"x", ""}, {"y", ""}}},
      {"<!DOCTYPE svg [<!ENTITY % p \"v\"> %p; <!ENTITY % q SYSTEM 'q.ent'>]><svg/>", {}},
      {"<!DOCTYPE svg [<!ENTITY r \"a&amp;b&#65;&#x42;&q;%p;c<d>'\">]><svg/>",
       {{"r", "a&amp;b&#65;&#x42;&q;%p;c<d>'"}}},
      {"<!DOCTYPE svg [<!ENTITY n \"l1\r\nl2\rl3\nl4\">]><svg/>", {{"n", "l1\nl2\nl3\nl4"}}},
      // Every other kind of declaration is read and dropped.
      {"<!DOCTYPE a [<!ELEMENT e EMPTY><!ELEMENT e ANY ><!ELEMENT p (#PCDATA)>"
       "<!ELEMENT p (#PCDATA)*><!ELEMENT p (#PCDATA|b|i)*><!ELEMENT s (a,(b|c)*,d?)+>"
       "<!ELEMENT s ( a , ( b | c+ )? )>]><a/>", {}},
      {"<!DOCTYPE a [<!ATTLIST rect id ID #IMPLIED><!ATTLIST r>\n"
       "<!ATTLIST r a CDATA #REQUIRED b IDREFS #IMPLIED c IDREF #IMPLIED d ENTITIES #IMPLIED>"
       "<!ATTLIST r e ENTITY #IMPLIED f NMTOKENS #IMPLIED g NMTOKEN #IMPLIED>"
       "<!ATTLIST r c (x|y|1.5) \"x\" d NOTATION (png | gif) #FIXED 'png'>"
       "<!ATTLIST r v CDATA 'a&amp;b' >]><a/>", {}},
      {"<!DOCTYPE a [<!NOTATION png PUBLIC \"image/png\"><!NOTATION gif SYSTEM \"gif\">"
       "<!NOTATION j PUBLIC \"j\" \"j.exe\" > %pe;\n]>\n<a/>", {}},
  };
  for (const auto& [text, entities] : cases) {
    SCOPED_TRACE(text);
    auto document = Parse(text);
    EXPECT_EQ(document->entities, entities);
    EXPECT_EQ(document->root->parent, document.get());
  }
  // References in content stay unexpanded; comments may surround the
  // declaration.
  auto document = Parse("<!--c--><!DOCTYPE a [<!ENTITY e 'x'>]><?p?><a>&e;</a>");
  EXPECT_EQ(DescribeChildren(*document) + DescribeChildren(*document->root),
            "C\"c\" P(p)\"\" E(a)T\"\" R(e) T\"\"");
}

TEST_F(Doctype, ReportsCodeLineAndColumn) {
  auto model = [](std::size_t depth) {
    return "<!DOCTYPE a [<!ELEMENT a " + std::string(depth, '(') + 'b' + std::string(depth, ')') +
           ">]><a/>";
  };
  EXPECT_NE(Parse(model(kMaxNestingDepth)), nullptr);
  const std::string tooDeep = model(kMaxNestingDepth + 1);
  const parsertest::ExpectedFault cases[] = {
      {tooDeep, kErrNestingTooDeep, 1, 1 + 25 + kMaxNestingDepth + 1},
      {"<!DOCTYPE>", kErrBadDoctype, 1, 10},
      {"<!DOCTYPE a [<!-- c -->]><a/>", kErrBadInternalSubset, 1, 15},
      {"<!DOCTYPE a [", kErrEndOfInput, 1, 15},
      {"<!DOCTYPE a PUBLIC \"<\" \"x\"><a/>", kErrBadPubidChar, 1, 22},
      {"<!DOCTYPE a [<!ELEMENT e FOO>]>", kErrBadElementDecl, 1, 26},
      {"<!DOCTYPE a [<!ELEMENT p (#PCDATA|b)>]>", kErrBadMixedContent, 1, 38},
      {"<!DOCTYPE a [<!ELEMENT p (#PCDATA|)*>]>", kErrBadMixedContent, 1, 35},
      {"<!DOCTYPE a [<!ELEMENT s (a|)>]>", kErrBadContentParticle, 1, 29},
      {"<!DOCTYPE a [<!ELEMENT s (a,b|c)>]>", kErrElementContentNotClosed, 1, 31},
      {"<!DOCTYPE a [<!ATTLIST>]>", kErrBadAttlistDecl, 1, 23},
      {"<!DOCTYPE a [<!ATTLIST r x FOO #IMPLIED>]>", kErrBadAttDef, 1, 28},
      {"<!DOCTYPE a [<!ATTLIST r x NOTATION (p|) #IMPLIED>]>", kErrBadNotationType, 1, 40},
      {"<!DOCTYPE a [<!ATTLIST r x NOTATION p #IMPLIED>]>", kErrBadNotationType, 1, 38},
      {"<!DOCTYPE a [<!ATTLIST r x (a|) #IMPLIED>]>", kErrBadEnumeration, 1, 31},
      {"<!DOCTYPE a [<!ATTLIST r x CDATA #DEFAULT>]>", kErrBadDefaultDecl, 1, 34},
      {"<!DOCTYPE a [<!ATTLIST r x CDATA \"<\">]>", kErrLessThanInValue, 1, 36},
      {"<!DOCTYPE a [<!ENTITY e x>]>", kErrBadEntityDecl, 1, 25},
      {"<!DOCTYPE a [<!ENTITY %p 'v'>]>", kErrBadEntityDecl, 1, 24},
      {"<!DOCTYPE a [<!ENTITY e \"v\" x>]>", kErrEntityDeclNotClosed, 1, 30},
      {"<!DOCTYPE a [<!ENTITY e \"%;\">]>", kErrBadInternalSubset, 1, 27},
      {"<!DOCTYPE a [<!ENTITY e \"&;\">]>", kErrBadReference, 1, 27},
      {"<!DOCTYPE a [\n<!ENTITY e\n\"&#x;\">\n]>", kErrNoHexDigits, 3, 4},
      {"<!DOCTYPE a [<!ENTITY e \"&#;\">]>", kErrNoDecimalDigits, 1, 28},
      {"<!DOCTYPE a [<!ENTITY e \"&#65\">]>", kErrBadReference, 1, 31},
      {"<!DOCTYPE a [<!NOTATION n FOO>]>", kErrBadNotationDecl, 1, 27},
      {"<!DOCTYPE a [<!NOTATION n SYSTEM \"x\" y>]>", kErrNotationDeclNotClosed, 1, 39},
      {"<!DOCTYPE a SYSTEM x>", kErrBadExternalId, 1, 20},
      {"<!DOCTYPE a PUBLIC \"p\">", kErrBadExternalId, 1, 23},
      {"<!DOCTYPE a SYSTEM \"x", kErrEndOfInput, 1, 23},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", kErrMissingName, 1, 14},
  };
  for (const auto& c : cases) parsertest::ExpectFault(c);
}

}  // namespace
