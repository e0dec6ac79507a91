// What the command-line tests share: a subcommand run in-process with its
// output captured, the error line it prints, and bitmaps read back from the
// pictures the commands write.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace svgtool::testing {

struct CommandRun {
  int exitStatus;
  std::string out;
  std::string err;
};

inline CommandRun RunCommand(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  CommandRun run;
  run.exitStatus = command(static_cast<int>(argv.size()), argv.data());
  run.out = ::testing::internal::GetCapturedStdout();
  run.err = ::testing::internal::GetCapturedStderr();
  return run;
}

// Each of `cases` is a usage error: status 2, `errorPart` on stderr, nothing
// on stdout; --help prints the usage starting with `usage` and exits with 0.
inline void ExpectUsageErrorsAndHelp(int (*command)(int, char**),
                                     const std::vector<std::vector<std::string>>& cases,
                                     const std::string& errorPart, const std::string& usage) {
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CommandRun run = RunCommand(command, args);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find(errorPart), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const CommandRun help = RunCommand(command, {"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.rfind(usage, 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
}

// The line a command prints on stderr for a file that failed.
inline std::string ErrorLine(const std::string& file, svgflt::Status status) {
  return "svgfilter: " + file + ": error " + std::to_string(status) + ": " +
         svgflt::StatusName(status) + "\n";
}

// A bitmap whose memory goes back to the kernel at the end of scope.
struct OwnedBitmap {
  BitmapRecord record{};
  OwnedBitmap() = default;
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  ~OwnedBitmap() {
    if (record.bits != nullptr || record.palette != nullptr) (void)FreeBitmap(&record);
  }
  std::uint8_t* Pixel(int x, int y) {
    return record.bits + static_cast<std::size_t>(y) * record.bytesPerRow +
           static_cast<std::size_t>(x) * (record.bitsPerPixel / 8);
  }
  // Red, green and blue of a pixel of 24 or 32 bits.
  std::vector<int> Rgb(int x, int y) {
    const std::uint8_t* p = Pixel(x, y);
    return {p[2], p[1], p[0]};
  }
};

// Reads the picture file at `path` (from any folder) through the host's
// loader; the loader's status.
inline std::int32_t ReadPicture(const std::string& path, OwnedBitmap* bitmap) {
  SetLinkedFileBase("", true);
  const std::u16string name = ToUtf16(path);
  const std::int32_t status = LoadRasterFromFile(
      name.c_str(), &bitmap->record, static_cast<std::int32_t>(sizeof(BitmapRecord)), 0, 1, 0, 0);
  SetLinkedFileBase("", false);
  return status;
}

}  // namespace svgtool::testing
