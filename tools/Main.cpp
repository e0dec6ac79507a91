// svgfilter: command-line host of the SVG filter module.
#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

constexpr Command kCommands[] = {
    {"info", svgtool::CmdInfo, "report format, size and bounds of SVG files"},
    {"render", svgtool::CmdRender, "render SVG files to PNG"},
    {"dump", svgtool::CmdDump, "list the vector objects a file loads into, as JSON lines"},
    {"convert", svgtool::CmdConvert, "load SVG files and save them again as SVG 1.0"},
};

void Usage(std::FILE* out) {
  std::fprintf(out, "usage: svgfilter COMMAND [OPTIONS] FILE...\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'svgfilter COMMAND --help' describes a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    Usage(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "svgfilter: unknown command '%s'\n", argv[1]);
  Usage(stderr);
  return 2;
}
