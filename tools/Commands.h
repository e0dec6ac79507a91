// Subcommands of the command-line host. Each takes the arguments after its
// name and returns the process exit status: 0 success, 1 a file failed,
// 2 a usage error.
#pragma once

namespace svgtool {

int CmdInfo(int argc, char** argv);
int CmdRender(int argc, char** argv);
int CmdDump(int argc, char** argv);
int CmdConvert(int argc, char** argv);

}  // namespace svgtool
