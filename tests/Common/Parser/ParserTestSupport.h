// Shared helpers of the XML parser tests: parse a snippet, catch its fault,
// and describe a child list compactly.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
  return DocumentPtr(parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
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
  SCOPED_TRACE(expected.code);
  auto fault = Fault(expected.text);
  ASSERT_TRUE(fault.has_value()) << "parsed without a fault";
  EXPECT_EQ(fault->code, expected.code);
  EXPECT_EQ(fault->line, expected.line);
  EXPECT_EQ(fault->column, expected.column);
}

// One token per node: T"text", E(name), R(name), C"comment", P(target)"data",
// D"cdata", A(name), separated by spaces.
inline std::string Describe(const AdvXMLParser::Node& node) {
  using namespace AdvXMLParser;
  if (node.IsType(kElementNode)) return "E(" + node.name + ")";
  if (node.IsType(kAttributeNode)) return "A(" + node.name + ")";
  if (node.IsType(kTextNode)) return "T\"" + static_cast<const Text&>(node).value + "\"";
  if (node.IsType(kCDataNode)) return "D\"" + static_cast<const CData&>(node).value + "\"";
  if (node.IsType(kCommentNode)) return "C\"" + static_cast<const Comment&>(node).value + "\"";
  if (node.IsType(kPiNode)) {
    return "P(" + node.name + ")\"" + static_cast<const Pi&>(node).value + "\"";
  }
  if (node.IsType(kReferenceNode)) return "R(" + node.name + ")";
  return "?";
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
// count. Nothing tracked outside its life may be untracked within it, nor
// the other way round.
class TrackingDetailOff {
 public:
  TrackingDetailOff() : wasOn_(KernelTrackingDetail()) { KernelSetTrackingDetail(0); }
  TrackingDetailOff(const TrackingDetailOff&) = delete;
  TrackingDetailOff& operator=(const TrackingDetailOff&) = delete;
  ~TrackingDetailOff() { KernelSetTrackingDetail(wasOn_); }

 private:
  int32_t wasOn_;
};

// Starts every test with an empty per-thread text state.
class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAll(); }
  void TearDown() override {
    ResetAll();
    AdvXMLParser::FailNodeAllocation(0);
  }
  static void ResetAll() {
    AdvXMLParser::ResetTextState();
    AdvXMLParser::TextState().defaultPreserve = 0;
    AdvXMLParser::TextState().preserveAll = 0;
  }
};

}  // namespace parsertest
