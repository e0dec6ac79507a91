// svgfilter dump: fltLoad in vector mode into a document of the host's own,
// then every object of it as one JSON line.
#include "CmdDump.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "Commands.h"
#include "DocumentFolder.h"
#include "HostCallbacks.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module.h"
#include "Options.h"

namespace svgtool {
namespace {

using svgflt::kOk;

constexpr char kAllowAnyFile[] = "--allow-any-file";

void DumpUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: svgfilter dump [--module PATH] [--dpi N] [--allow-any-file] FILE\n"
               "\n"
               "Loads FILE through the filter module into a vector document and prints\n"
               "every object of it as one JSON object per line, in document order.\n"
               "\n"
               "  --allow-any-file  let linked pictures come from anywhere, not only from\n"
               "                    the SVG file's folder and below\n"
               "  --module PATH     the filter module (default: libsvgfilter.so beside svgfilter)\n"
               "  --dpi N           screen resolution in dots per inch (default 96)\n");
}

const char* TypeName(std::int32_t type) {
  switch (type) {
    case kVoPoint: return "point";
    case kVoLine: return "line";
    case kVoRect: return "rect";
    case kVoPolyline: return "polyline";
    case kVoBezier: return "bezier";
    case kVoPolygon: return "polygon";
    case kVoEllipse: return "ellipse";
    case kVoCircle: return "circle";
    case kVoPolyBezier: return "polybezier";
    case kVoArc: return "arc";
    case kVoClosedBezier: return "closedbezier";
    case kVoPie: return "pie";
    case kVoPath: return "path";
    case kVoText: return "text";
    case kVoRaster: return "raster";
    case kVoClip: return "clip";
    case kVoGroupObject: return "group";
    case kVoSpline: return "spline";
    case kVoClosedSpline: return "closedspline";
    default: return "unknown";
  }
}

// Shortest text that reads back as the same double; JSON has no NaN or
// infinity, so those are null.
std::string Number(double value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// UTF-16 text of at most `capacity` units, up to its NUL.
std::string Utf8Of(const char16_t* text, std::size_t capacity) {
  if (text == nullptr) return {};
  std::size_t length = 0;
  while (length < capacity && text[length] != 0) ++length;
  return ToUtf8(std::u16string(text, length));
}

std::string ColourText(std::uint32_t colour) {  // 0x00BBGGRR
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF);
  return text;
}

// Builds one JSON object, member by member, in the order given.
class JsonLine {
 public:
  void Raw(const char* key, const std::string& json) {
    text_ += text_.empty() ? "{\"" : ",\"";
    text_ += key;
    text_ += "\":";
    text_ += json;
  }
  void Int(const char* key, std::int64_t value) { Raw(key, std::to_string(value)); }
  void Real(const char* key, double value) { Raw(key, Number(value)); }
  void Text(const char* key, const std::string& utf8) { Raw(key, JsonString(utf8)); }
  void Points(const KernelPoint* points, std::int32_t count) {
    std::string list = "[";
    for (std::int32_t i = 0; points != nullptr && i < count; ++i) {
      if (i > 0) list += ',';
      list += "[" + Number(points[i].x) + "," + Number(points[i].y) + "]";
    }
    Raw("points", list + "]");
  }
  void Kinds(const std::uint8_t* kinds, std::int32_t count) {
    std::string list = "[";
    for (std::int32_t i = 0; kinds != nullptr && i < count; ++i) {
      if (i > 0) list += ',';
      list += std::to_string(kinds[i]);
    }
    Raw("kinds", list + "]");
  }
  void Pen(const VectorPen& pen) {
    VectorPenValues values{};
    if (VectorGetPen(&pen, &values) != kVkOk) return;
    Raw("pen", "{\"style\":" + std::to_string(values.style) +
                   ",\"width\":" + std::to_string(values.width) + ",\"colour\":" +
                   JsonString(ColourText(values.colour)) + "}");
  }
  void Brush(const VectorBrush& brush) {
    std::string list = "[";
    for (int i = 0; i < 6; ++i) {
      if (i > 0) list += ',';
      list += std::to_string(brush.w[i]);
    }
    Raw("brush", list + "]");
  }
  std::string Finish() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

// The members that depend on the object's type.
void DescribeShape(const VectorObjectDesc& desc, JsonLine* json) {
  switch (desc.h.type) {
    case kVoPoint:
      json->Points(&desc.point.point, 1);
      json->Pen(desc.point.pen);
      break;
    case kVoLine: {
      const KernelPoint ends[2] = {desc.line.from, desc.line.to};
      json->Points(ends, 2);
      json->Pen(desc.line.pen);
      break;
    }
    case kVoRect: {
      const KernelPoint corners[2] = {desc.rect.corner1, desc.rect.corner2};
      json->Points(corners, 2);
      json->Pen(desc.rect.pen);
      json->Brush(desc.rect.brush);
      break;
    }
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline:
      json->Points(desc.polyline.points, desc.polyline.count);
      json->Pen(desc.polyline.pen);
      break;
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline:
      json->Points(desc.polygon.points, desc.polygon.count);
      json->Int("fillMode", desc.polygon.fillMode);
      json->Pen(desc.polygon.pen);
      json->Brush(desc.polygon.brush);
      break;
    case kVoEllipse:
      json->Points(&desc.ellipse.centre, 1);
      json->Real("rx", desc.ellipse.rx);
      json->Real("ry", desc.ellipse.ry);
      json->Pen(desc.ellipse.pen);
      json->Brush(desc.ellipse.brush);
      break;
    case kVoCircle:
      json->Points(&desc.circle.centre, 1);
      json->Real("r", desc.circle.r);
      json->Pen(desc.circle.pen);
      json->Brush(desc.circle.brush);
      break;
    case kVoArc:
      json->Points(&desc.arc.centre, 1);
      json->Real("rx", desc.arc.rx);
      json->Real("ry", desc.arc.ry);
      json->Real("start", desc.arc.start);
      json->Real("extent", desc.arc.extent);
      json->Real("rotation", desc.arc.rotation);
      json->Pen(desc.arc.pen);
      break;
    case kVoPie:
      json->Points(&desc.pie.centre, 1);
      json->Real("rx", desc.pie.rx);
      json->Real("ry", desc.pie.ry);
      json->Real("start", desc.pie.start);
      json->Real("extent", desc.pie.extent);
      json->Real("rotation", desc.pie.rotation);
      json->Pen(desc.pie.pen);
      json->Brush(desc.pie.brush);
      break;
    case kVoPath:
      json->Points(desc.path.points, desc.path.count);
      json->Kinds(desc.path.kinds, desc.path.count);
      json->Int("fillRule", desc.h.fillRule);
      json->Pen(desc.path.pen);
      json->Brush(desc.path.brush);
      break;
    case kVoText: {
      const VectorTextObject& text = desc.text;
      json->Points(&text.position, 1);
      json->Text("text", Utf8Of(text.text, SIZE_MAX));
      json->Text("face", Utf8Of(text.font.faceName, std::size(text.font.faceName)));
      json->Real("size", text.fontSize);
      json->Int("weight", text.font.weight);
      json->Raw("italic", text.font.italic != 0 ? "true" : "false");
      json->Raw("underline", text.font.underline != 0 ? "true" : "false");
      json->Int("escapement", text.escapement);
      json->Int("alignment", text.alignment);
      json->Pen(text.pen);
      json->Brush(text.brush);
      break;
    }
    case kVoRaster: {
      const KernelPoint corners[2] = {desc.raster.corner1, desc.raster.corner2};
      json->Points(corners, 2);
      json->Int("width", desc.raster.bitmap.width);
      json->Int("height", desc.raster.bitmap.height);
      json->Int("bpp", desc.raster.bitmap.bitsPerPixel);
      break;
    }
    case kVoClip:
      json->Points(desc.clip.points, desc.clip.count);
      json->Kinds(desc.clip.kinds, desc.clip.count);
      break;
    case kVoGroupObject:
      json->Int("groupRef", desc.groupObject.group);
      break;
    default:
      break;
  }
}

struct EnumState {
  std::FILE* out;
  svgflt::Status status;
};

std::int32_t PrintObject(VectorDocument* document, const VectorObjectHandle* object,
                         void* userData) {
  auto* state = static_cast<EnumState*>(userData);
  std::string line;
  const svgflt::Status status = ObjectJson(document, *object, &line);
  if (status != kOk) {
    if (state->status == kOk) state->status = status;
    return kVkOk;  // the other objects are still listed
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), state->out);
  return kVkOk;
}

}  // namespace

svgflt::Status ObjectJson(VectorDocument* document, const VectorObjectHandle& object,
                          std::string* line) {
  // The description is large (the text record holds a whole font record).
  auto desc = std::make_unique<VectorObjectDesc>();
  const svgflt::Status status = VectorGetObject(document, &object, object.type, desc.get());
  if (status != kOk) return status;
  JsonLine json;
  json.Int("type", object.type);
  json.Text("name", TypeName(object.type));
  json.Int("id", desc->h.id);
  json.Int("layer", desc->h.layer);
  json.Int("group", desc->h.group);
  json.Int("flags", desc->h.flags);
  DescribeShape(*desc, &json);
  VectorLinkRecord link{};
  link.size = static_cast<std::int32_t>(sizeof link);
  if (VectorGetLink(document, object.id, &link) == kVkOk && link.text[0] != 0)
    json.Text("link", Utf8Of(link.text, std::size(link.text)));
  (void)VectorFreeObjectData(object.type, desc.get());
  *line = json.Finish();
  return kOk;
}

svgflt::Status WriteObjectLines(VectorDocument* document, std::FILE* out) {
  EnumState state{out, kOk};
  const svgflt::Status status = VectorEnumObjects(document, PrintObject, &state, 0);
  return status != kOk ? status : state.status;
}

int CmdDump(int argc, char** argv) {
  OptionSet accepted;
  accepted.flags = {kAllowAnyFile};
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, accepted, &options, &error)) {
    std::fprintf(stderr, "svgfilter dump: %s\n", error.c_str());
    DumpUsage(stderr);
    return 2;
  }
  if (options.help) {
    DumpUsage(stdout);
    return 0;
  }
  if (options.files.size() != 1) {
    std::fprintf(stderr, "svgfilter dump: %s\n",
                 options.files.empty() ? "no file given" : "one file at a time");
    DumpUsage(stderr);
    return 2;
  }

  FilterModule module;
  if (!module.Open(options.module, &error)) {
    std::fprintf(stderr, "svgfilter: %s\n", error.c_str());
    return 1;
  }
  ResolutionRecord resolution = ScreenResolution(options.dpi);

  const std::string& path = options.files.front();
  std::string input;
  svgflt::Status status = svgflt::kErrRead;
  auto document = std::make_unique<VectorDocument>();
  if (AbsolutePath(path, &input)) status = VectorInit(document.get());
  if (status == kOk) {
    const std::u16string name = ToUtf16(input);
    auto request = std::make_unique<LoadRequest>();
    request->fileName = name.c_str();
    request->document = document.get();
    request->mode = 1;
    request->loadFromMemory = LoadRasterFromMemory;
    request->loadFromFile = LoadRasterFromFile;
    request->resolution = &resolution;
    {
      DocumentFolder folder(input, options.Has(kAllowAnyFile));
      status = module.load(request.get());
    }
    // Objects are listed only from a complete load.
    if (status == kOk) status = WriteObjectLines(document.get(), stdout);
    std::fflush(stdout);
    (void)VectorFree(document.get());
  }
  if (status != kOk) {
    std::fprintf(stderr, "svgfilter: %s: error %d: %s\n", path.c_str(), status,
                 HostStatusName(status));
    return 1;
  }
  return 0;
}

}  // namespace svgtool
