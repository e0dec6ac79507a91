#include "Options.h"

#include <algorithm>
#include <charconv>

#include "ImagingKernel/ImagingKernel.h"

namespace svgtool {
namespace {

bool ParseCount(std::string_view name, std::string_view text, int* out, std::string* error) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || stop != end || value < 1) {
    *error = std::string(name) + " needs a whole number of at least 1, not '" +
             std::string(text) + "'";
    return false;
  }
  *out = value;
  return true;
}

}  // namespace

bool Options::Has(std::string_view flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

bool ParseOptions(int argc, char** argv, const OptionSet& accepted, Options* out,
                  std::string* error) {
  *out = Options{};
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // A lone "-" is a file name by convention, as is anything after "--".
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      out->files.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }

    std::string_view name = arg;
    std::string_view inlineValue;
    bool hasInlineValue = false;
    if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
      hasInlineValue = true;
    }
    const auto takesValue = [&](std::string_view* value) {
      if (hasInlineValue) {
        *value = inlineValue;
        return true;
      }
      if (i + 1 >= argc) {
        *error = std::string(name) + " needs a value";
        return false;
      }
      *value = argv[++i];
      return true;
    };
    const auto isSwitch = [&] {
      if (!hasInlineValue) return true;
      *error = std::string(name) + " takes no value";
      return false;
    };

    std::string_view value;
    if (name == "--help" || name == "-h") {
      if (!isSwitch()) return false;
      out->help = true;
    } else if (name == "--module") {
      if (!takesValue(&value)) return false;
      out->module = value;
    } else if (name == "--dpi") {
      if (!takesValue(&value) || !ParseCount(name, value, &out->dpi, error)) return false;
    } else if (name == "--json" && accepted.json) {
      if (!isSwitch()) return false;
      out->json = true;
    } else if (name == "-o" && accepted.output) {
      if (!takesValue(&value)) return false;
      out->output = value;
    } else if (name == "--width" && accepted.size) {
      if (!takesValue(&value) || !ParseCount(name, value, &out->width, error)) return false;
    } else if (name == "--height" && accepted.size) {
      if (!takesValue(&value) || !ParseCount(name, value, &out->height, error)) return false;
    } else if (std::find(accepted.flags.begin(), accepted.flags.end(), name) !=
               accepted.flags.end()) {
      if (!isSwitch()) return false;
      if (!out->Has(name)) out->flags.emplace_back(name);
    } else {
      *error = "unknown option '" + std::string(name) + "'";
      return false;
    }
  }
  return true;
}

ResolutionRecord ScreenResolution(int dpi) {
  static constexpr char16_t kSourceTag[] = u"tools/Options";
  if (dpi > 0) KernelSetScreenResolution(dpi, dpi);
  ResolutionRecord resolution{};
  if (DrawingContext* screen = GetScreenDC(0, __LINE__, kSourceTag)) {
    resolution.horizontal = DrawingContextResolution(screen, 0);
    resolution.vertical = DrawingContextResolution(screen, 1);
    (void)ReleaseScreenDC(0, screen, __LINE__, kSourceTag);
  }
  return resolution;
}

}  // namespace svgtool
