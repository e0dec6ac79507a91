// Shared helpers of the XML parser tests: parse a snippet, catch its fault,
// and describe a child list compactly. The leak guard linked into the test
// program checks after every test that nothing tracked is left live.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"
#include "ImagingKernel/ImagingKernel.h"

namespace parsertest {

struct NodeDeleter {
  void operator()(AdvXMLParser::Node* node) const { AdvXMLParser::DeleteNode(node); }
};
using DocumentPtr = std::unique_ptr<AdvXMLParser::Document, NodeDeleter>;

inline DocumentPtr Parse(std::string_view text) {
  AdvXMLParser::Parser parser;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  return DocumentPtr(parser.Parse(bytes, text.size()));
}

// The fault of `text`, or nothing when it parses.
inline std::optional<AdvXMLParser::ParsingException> Fault(std::string_view text) {
  try {
    Parse(text);
  } catch (const AdvXMLParser::ParsingException& e) {
    return e;
  }
  return std::nullopt;
}

struct ExpectedFault {
  std::string_view text;
  int code;
  int line;
  int column;
};

inline void ExpectFault(const ExpectedFault& expected) {
  SCOPED_TRACE(::testing::PrintToString(std::string(expected.text)));
  auto fault = Fault(expected.text);
  ASSERT_TRUE(fault.has_value()) << "parsed without a fault";
  EXPECT_EQ((std::tuple{fault->code, fault->line, fault->column}),
            (std::tuple{expected.code, expected.line, expected.column}));
}

// One token per node: T"text", E(name), R(name), C"comment", P(target)"data",
// D"cdata", separated by spaces.
inline std::string Describe(const AdvXMLParser::Node& node) {
  using namespace AdvXMLParser;
  const std::string value = node.IsType(kElementNode) || node.IsType(kReferenceNode)
                                ? "(" + node.name + ")"
                                : "\"" + node.GetValue() + "\"";
  if (node.IsType(kPiNode)) return "P(" + node.name + ")" + value;
  const char kinds[] = "?EATDR?PCN";
  return kinds[node.TypeCode()] + value;
}

inline std::string DescribeChildren(const AdvXMLParser::NodeContainer& container) {
  std::string out;
  for (const AdvXMLParser::Node* child : container.children) {
    if (!out.empty()) out += ' ';
    out += Describe(*child);
  }
  return out;
}

// Tracked objects are only counted while one lives: for the reader's batch
// count.
class TrackingDetailOff {
 public:
  TrackingDetailOff() : wasOn_(KernelTrackingDetail()) { KernelSetTrackingDetail(0); }
  TrackingDetailOff(const TrackingDetailOff&) = delete;
  TrackingDetailOff& operator=(const TrackingDetailOff&) = delete;
  ~TrackingDetailOff() { KernelSetTrackingDetail(wasOn_); }

 private:
  int32_t wasOn_;
};

// Starts and ends every test with an empty per-thread text state.
class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    AdvXMLParser::ResetTextState();
    AdvXMLParser::TextState().defaultPreserve = 0;
    AdvXMLParser::TextState().preserveAll = 0;
    AdvXMLParser::FailNodeAllocation(0);
  }
};

}  // namespace parsertest
