// Command-line options shared by the subcommands: every command takes
// `--module PATH`, `--dpi N`, `--help` and positional files; each declares
// which of the others it accepts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "svgfilter/HostRecords.h"

namespace svgtool {

// What a command accepts besides the common options.
struct OptionSet {
  bool json = false;    // --json
  bool output = false;  // -o PATH
  bool size = false;    // --width N, --height N
  std::vector<std::string> flags;  // further switches, e.g. "--vector"
};

struct Options {
  bool help = false;
  bool json = false;
  std::string module;  // empty: the module beside the executable
  std::string output;
  int dpi = 0;         // 0: the imaging kernel's screen resolution
  int width = 0;       // 0: not given
  int height = 0;
  std::vector<std::string> flags;  // the further switches given
  std::vector<std::string> files;

  bool Has(std::string_view flag) const;
};

// Parses the arguments after the command name. Values follow their option
// as the next argument or after '='; "--" ends the options. Numbers must be
// whole and at least 1. False with a one-line `error` on an unknown option,
// a missing or malformed value.
bool ParseOptions(int argc, char** argv, const OptionSet& accepted, Options* out,
                  std::string* error);

// Applies `--dpi` (when given) to the imaging kernel's screen, then returns
// the screen resolution as a host hands it to the filter.
ResolutionRecord ScreenResolution(int dpi);

}  // namespace svgtool
