// A fixture that loads an inline SVG snippet, converts it into a fresh
// vector document and reads the stored objects back through the kernel's
// enumeration, so tests check what a host would see.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Common/SvgSnippetLoad.h"
#include "Common/Vector.h"
#include "VectorKernel/VectorKernel.h"

namespace svgflt::testing {

// One stored object, described by the kernel; frees its arrays.
class StoredObject {
 public:
  StoredObject(VectorDocument* document, const VectorObjectHandle& handle) : handle_(handle) {
    std::memset(static_cast<void*>(&desc_), 0, sizeof(desc_));
    status_ = VectorGetObject(document, &handle, handle.type, &desc_);
  }
  ~StoredObject() { (void)VectorFreeObjectData(handle_.type, &desc_); }
  StoredObject(const StoredObject&) = delete;
  StoredObject& operator=(const StoredObject&) = delete;

  int32_t status() const { return status_; }
  int32_t type() const { return handle_.type; }
  const VectorObjectDesc* operator->() const { return &desc_; }

 private:
  VectorObjectHandle handle_;
  VectorObjectDesc desc_;
  int32_t status_ = 0;
};

class VectorConvert : public SvgSnippetLoad {
 protected:
  void SetUp() override {
    SvgSnippetLoad::SetUp();
    KernelSetScreenResolution(96, 96);
  }
  void TearDown() override {
    FreeVector();
    SvgSnippetLoad::TearDown();
  }
  void FreeVector() {
    EXPECT_TRUE(!vectorReady_ || VectorFree(&vector_) == kVkOk);
    vectorReady_ = false;
    objects_.clear();
  }
  // A fresh, empty vector document.
  void NewVector() {
    FreeVector();
    std::memset(static_cast<void*>(&vector_), 0, sizeof(vector_));
    ASSERT_EQ(VectorInit(&vector_), kVkOk);
    vectorReady_ = true;
  }
  // Loads and converts `text`; the objects are then in objects_.
  Status Convert(std::string_view text) {
    const Status loaded = Load(text);
    EXPECT_EQ(loaded, kOk) << StatusName(loaded);
    if (loaded != kOk) return loaded;
    NewVector();
    const Status status = ConvertDocument(&vector_, *document_, nullptr, nullptr);
    Enumerate();
    return status;
  }
  void Enumerate() {
    objects_.clear();
    (void)VectorEnumObjects(
        &vector_,
        [](VectorDocument*, const VectorObjectHandle* handle, void* user) -> int32_t {
          static_cast<std::vector<VectorObjectHandle>*>(user)->push_back(*handle);
          return kVkOk;
        },
        &objects_, 0);
  }
  // Handles of the objects of one type, in insertion order.
  std::vector<VectorObjectHandle> OfType(int32_t type) const {
    std::vector<VectorObjectHandle> out;
    for (const auto& h : objects_) if (h.type == type) out.push_back(h);
    return out;
  }
  // Objects that a painter draws: shapes, leaving out clips, clip ends and
  // group objects.
  std::vector<VectorObjectHandle> Drawn() const {
    std::vector<VectorObjectHandle> out;
    for (const auto& h : objects_) {
      const bool clipEnd = h.type == kVoPath && (StoredObject(const_cast<VectorDocument*>(&vector_),
                                                              h)->h.flags & kVoFlagClipEnd) != 0;
      if (h.type != kVoClip && h.type != kVoGroupObject && !clipEnd) out.push_back(h);
    }
    return out;
  }
  std::u16string LinkOf(VectorObjectRef id) {
    VectorLinkRecord link{};
    if (VectorGetLink(&vector_, id, &link) != kVkOk) return u"<none>";
    return std::u16string(link.text);
  }

  VectorDocument vector_{};
  bool vectorReady_ = false;
  std::vector<VectorObjectHandle> objects_;
};

}  // namespace svgflt::testing
