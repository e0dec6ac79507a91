// Hosts run under any locale. Files loaded and saved while the process runs
// under a German locale, whose decimal separator is a comma, give the same
// objects and the same saved bytes as under the "C" locale.
//
// The German locale must be installed (scripts/setup.sh generates it); its
// absence fails the test, since a skipped run would prove nothing. Where it
// cannot be had, SVGFLT_LOCALE_OPTIONAL=1 in the environment turns the
// failure into a skip.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"

namespace {

using namespace svgflt;
namespace fs = std::filesystem;

constexpr char kGerman[] = "de_DE.UTF-8";

// Fractions everywhere a number is read or written: lengths, path data,
// point lists, transforms, opacities, dashes, font sizes, a rotated text
// and a gradient's offsets.
constexpr char kFractions[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"120.5\" height=\"80.25\" "
    "viewBox=\"0.5 0.25 120.5 80.25\">\n"
    "<defs><linearGradient id=\"g\"><stop offset=\"0.25\" stop-color=\"#102030\"/>"
    "<stop offset=\"0.75\" stop-color=\"#a0b0c0\"/></linearGradient></defs>\n"
    "<rect x=\"1.5\" y=\"2.25\" width=\"30.125\" height=\"20.5\" fill=\"url(#g)\" "
    "stroke=\"#000\" stroke-width=\"1.75\" stroke-dasharray=\"2.5, 1.25\"/>\n"
    "<path d=\"M10.5,60.25 L40.75,70.5 C45.5,50.25 55.125,50.5 60.5,65.75 Z\" "
    "fill=\"#3366cc\" fill-opacity=\"0.5\"/>\n"
    "<polyline points=\"70.5,10.25 80.75,30.5 90.125,12.5\" stroke=\"red\" fill=\"none\"/>\n"
    "<ellipse cx=\"100.5\" cy=\"60.25\" rx=\"10.5\" ry=\"5.25\" "
    "transform=\"rotate(12.5 100.5 60.25) scale(0.95)\" opacity=\"0.8\"/>\n"
    "<text x=\"12.5\" y=\"40.5\" font-size=\"9.5\" transform=\"rotate(30 12.5 40.5)\">"
    "Komma 1,5</text>\n"
    "</svg>\n";

// Files with the writer's every number format in them, beside the examples.
constexpr const char* kCorpusFiles[] = {
    "shapes/path/A.svg",
    "structure/transform/rotate-at-position.svg",
    "painting/stroke-dasharray/comma-ws-separator.svg",
    "text/text/rotate.svg",
};

TEST(Locale, GermanLocaleLoadsAndSavesAsTheCLocale) {
  svgtest::TempFolder temp;
  std::vector<std::string> files = {temp.Write("fractions.svg", kFractions)};
  for (const auto& entry : fs::directory_iterator(fs::path(SVGFLT_SOURCE_DIR) / "examples"))
    if (entry.path().extension() == ".svg") files.push_back(entry.path().string());
  const fs::path corpus = fs::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  for (const char* name : kCorpusFiles)
    if (fs::exists(corpus / name)) files.push_back((corpus / name).string());

  std::vector<svgtest::VectorRun> plain;
  for (const std::string& file : files) {
    plain.push_back(svgtest::LoadAndSave(file, temp.Path("c.svg")));
    ASSERT_EQ(plain.back().saveStatus, kOk) << file;
    ASSERT_NE(plain.back().saved, "") << file;
  }
  // The saved fractions file holds numbers with a fraction, so a comma
  // would show in it.
  ASSERT_NE(plain.front().saved.find("0.5"), std::string::npos) << plain.front().saved;

  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, kGerman) == nullptr) {
    const char* optional = std::getenv("SVGFLT_LOCALE_OPTIONAL");
    if (optional != nullptr && std::string(optional) == "1") GTEST_SKIP() << kGerman << " absent";
    FAIL() << "the " << kGerman << " locale is not installed (scripts/setup.sh generates it; "
           << "SVGFLT_LOCALE_OPTIONAL=1 skips this test)";
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%g", 0.5);
  EXPECT_STREQ(probe, "0,5") << "the locale in force has no decimal comma";
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(svgtest::LoadAndSave(files[i], temp.Path("de.svg")), plain[i]) << files[i];
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
