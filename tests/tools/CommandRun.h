// Runs a subcommand in-process with standard output and error captured, as
// the command-line tests need it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svgfilter/FilterStatus.h"

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

// The line a command prints on stderr for a file that failed.
inline std::string ErrorLine(const std::string& file, svgflt::Status status) {
  return "svgfilter: " + file + ": error " + std::to_string(status) + ": " +
         svgflt::StatusName(status) + "\n";
}

}  // namespace svgtool::testing
