// A fixture that writes an inline SVG snippet to a temporary file, loads it
// through LoadSvgFile and frees the document after the test, checking that
// nothing of the imaging kernel stays live.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "Common/Parser/Reader.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "support/KernelLeakGuard.h"

namespace svgflt::testing {

class SvgSnippetLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    KernelFailAllocation(0);
    AdvXMLParser::ResetTextState();
    AdvXMLParser::TextState().defaultPreserve = 0;
    static std::atomic<int> serial{0};
    path_ = ::testing::TempDir() + "svgsnippet_" + std::to_string(::getpid()) + "_" + std::to_string(serial++) + ".svg";
    before_ = KernelSnapshot();
  }
  void TearDown() override {
    FreeSvgDocument(document_);
    KernelFailAllocation(0);
    ExpectNothingLiveSince(before_);
    std::remove(path_.c_str());
  }

  void Write(std::string_view text) { std::ofstream(path_, std::ios::binary | std::ios::trunc) << text; }
  // Opens the written file, reads `skip` bytes (as format detection may) and
  // loads the rest into `document`.
  Status LoadWritten(SvgDocument& document, int32_t skip = 0) {
    const std::u16string wide(path_.begin(), path_.end());
    const int32_t file = KernelOpenFile(wide.c_str(), kOpenBinary, kPermRead);
    if (file < 0) return kErrRead;
    if (skip > 0) KernelSeekFile(file, skip, 0);
    const Status status = LoadSvgFile(file, document);
    KernelCloseFile(file);
    return status;
  }
  // Loads `text` into a fresh document (the previous one is freed).
  Status Load(std::string_view text, int32_t skip = 0) {
    FreeSvgDocument(document_);
    document_ = nullptr;
    Write(text);
    const Status status = CreateSvgDocument(&document_);
    return status == kOk ? LoadWritten(*document_, skip) : status;
  }
  // Loads a snippet that must succeed.
  SvgDocument& Loaded(std::string_view text) {
    EXPECT_EQ(Load(text), kOk) << text;
    return *document_;
  }
  ElementRecord& Record(int32_t index) const { return document_->records[index]; }
  // The first record of `type`; fails the test when there is none.
  ElementRecord& First(int32_t type) const {
    for (int32_t i = 0; i < document_->recordCount; ++i) if (Record(i).elementType == type) return Record(i);
    ADD_FAILURE() << "no record of type " << type;
    return Record(0);
  }

  std::string path_;
  SvgDocument* document_ = nullptr;
  KernelAccounting before_{};
};

}  // namespace svgflt::testing
