// svgfilter dump: the JSON line of each kind of vector object, and the
// command's handling of its arguments.
#include "tools/CmdDump.h"

#include <gtest/gtest.h>

#include <string>

#include "Module/TempFiles.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

// A dashed rectangle, a path, a text with every character JSON escapes (the
// converter decodes its character references) and a linked picture.
constexpr char kDrawing[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
    "width=\"200\" height=\"100\">\n<rect width=\"20\" height=\"10\" fill=\"#336699\" "
    "stroke=\"#996633\" stroke-width=\"3\" stroke-dasharray=\"2 1\"/>\n"
    "<path d=\"M0 0 L5 0 L5 5 Z\" fill-rule=\"evenodd\"/>\n<text x=\"3\" y=\"4\" "
    "font-family='Deja\"Vu' font-size=\"12\" font-weight=\"bold\" font-style=\"italic\" "
    "text-anchor=\"middle\">say \"h&#233;\" \\ &#9;&#10;&#1;end</text>\n"
    "<a xlink:href='http://example.org/?b=\"2\"'><image width=\"4\" height=\"2\" "
    "xlink:href=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEklEQVR4"
    "nGP4zwAE/0Ho////AB/uBftt3M6tAAAAAElFTkSuQmCC\"/></a>\n</svg>\n";

TEST(DumpCommand, PrintsALinePerObject) {
  svgtest::TempFolder folder;
  const testing::CommandRun run =
      testing::RunCommand(CmdDump, {folder.Write("a.svg", svgtest::PadTo(kDrawing, 300))});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "{\"type\":3,\"name\":\"rect\",\"id\":1,\"layer\":1,\"group\":0,\"flags\":0,"
            "\"points\":[[0,0],[20,-10]],\"pen\":{\"style\":8705,\"width\":1,"
            "\"colour\":\"#996633\"},\"brush\":[224,0,0,10053171,0,0]}\n"
            "{\"type\":13,\"name\":\"path\",\"id\":2,\"layer\":1,\"group\":0,\"flags\":0,"
            "\"points\":[[0,0],[5,0],[5,-5],[0,0]],\"kinds\":[6,2,2,3],\"fillRule\":1,"
            "\"pen\":{\"style\":5,\"width\":1,\"colour\":\"#996633\"},\"brush\":[224,0,0,0,0,0]}\n"
            "{\"type\":14,\"name\":\"text\",\"id\":3,\"layer\":1,\"group\":0,\"flags\":0,"
            "\"points\":[[3,-4]],\"text\":\"say \\\"h\xC3\xA9\\\" \\\\ \\t\\n\\u0001end\","
            "\"face\":\"Deja\\\"Vu\",\"size\":12,\"weight\":700,\"italic\":true,"
            "\"underline\":false,\"escapement\":0,\"alignment\":10,\"pen\":{\"style\":5,"
            "\"width\":1,\"colour\":\"#996633\"},\"brush\":[224,0,0,0,0,0]}\n"
            "{\"type\":15,\"name\":\"raster\",\"id\":4,\"layer\":1,\"group\":0,\"flags\":0,"
            "\"points\":[[1,0],[3,-2]],\"width\":2,\"height\":2,\"bpp\":24,"
            "\"link\":\"http://example.org/?b=\\\"2\\\"\"}\n");

  VectorDocument document{};
  ASSERT_EQ(VectorInit(&document), svgflt::kOk);
  std::string line = "untouched";
  EXPECT_EQ(ObjectJson(&document, VectorObjectHandle{42, kVoRect}, &line), kVkErrNoObject);
  EXPECT_EQ(line, "untouched");
  EXPECT_EQ(VectorFree(&document), svgflt::kOk);
}

TEST(DumpCommand, AnswersUsageErrorsHelpAndAFileThatIsNotSvg) {
  testing::ExpectUsageErrorsAndHelp(
      CmdDump,
      {{}, {"a.svg", "b.svg"}, {"--width", "10", "a.svg"}, {"-o", "out.png", "a.svg"},
       {"--dpi", "0", "a.svg"}, {"--allow-any-file=yes", "a.svg"}},
      "usage: svgfilter dump", "usage: svgfilter dump");
  svgtest::TempFolder folder;
  const std::string path = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const testing::CommandRun run = testing::RunCommand(CmdDump, {"--allow-any-file", path});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, testing::ErrorLine(path, svgflt::kErrNotSvg));
}

}  // namespace
}  // namespace svgtool
