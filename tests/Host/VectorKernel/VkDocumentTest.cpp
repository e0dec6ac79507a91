// Documents: lifetime, state, output sizes, layers, groups and links.
#include <string>

#include "VkTestDocument.h"

namespace vktest {
namespace {

using DocumentLifetime = VkDocumentFixture;
using ComputeSize = VkDocumentFixture;
using Layers = VkDocumentFixture;
using Groups = VkDocumentFixture;
using Links = VkDocumentFixture;
using DocumentState = VkDocumentFixture;

TEST(VectorInit, RejectsNullReusedAndUninitialisedRecords) {
  EXPECT_EQ(VectorInit(nullptr), kVkErrArgument);
  VectorDocument doc{};
  KernelPoint lo{}, hi{};
  VectorUnits units{};
  VectorState state{};
  int32_t w = 10, h = 10;
  EXPECT_EQ(VectorFree(&doc), kVkErrArgument);
  EXPECT_EQ(VectorGetExtent(&doc, &lo, &hi), kVkErrArgument);
  EXPECT_EQ(VectorGetUnits(&doc, &units), kVkErrArgument);
  EXPECT_EQ(VectorGetState(&doc, &state), kVkErrArgument);
  EXPECT_EQ(VectorComputeSize(&doc, 0, &w, &h), kVkErrArgument);
  EXPECT_EQ(VectorObjectCount(&doc), kVkErrArgument);
  auto line = Made<VectorLineObject>(kVoLine);
  EXPECT_EQ(VectorAddObject(&doc, 0, kVoLine, &line, nullptr), kVkErrArgument);

  ASSERT_EQ(VectorInit(&doc), kVkOk);
  void* impl = doc.impl;
  EXPECT_NE(impl, nullptr);
  EXPECT_EQ(VectorInit(&doc), kVkErrArgument);
  EXPECT_EQ(doc.impl, impl);
  EXPECT_EQ(VectorFree(&doc), kVkOk);
  EXPECT_EQ(doc.impl, nullptr);
}

TEST_F(DocumentLifetime, FreeReleasesObjectsAndKeepsTheRecord) {
  AddLine(0, 0, 10, 10);
  AddText(u"abc", Pt(0, 0), 12);
  EXPECT_EQ(VectorObjectCount(&doc_), 2);
  EXPECT_EQ(VectorFree(&doc_), kVkOk);
  EXPECT_EQ(doc_.impl, nullptr);
  EXPECT_EQ(VectorFree(&doc_), kVkErrArgument);
  // The record can start a new document.
  ASSERT_EQ(VectorInit(&doc_), kVkOk);
  EXPECT_EQ(VectorObjectCount(&doc_), 0);
}

TEST_F(DocumentState, KeepsTheStateAndUnitsWrittenBack) {
  VectorState state{};
  ASSERT_EQ(VectorGetState(&doc_, &state), kVkOk);
  EXPECT_EQ(state.size, static_cast<int32_t>(sizeof(VectorState)));
  EXPECT_EQ(state.clipMode, 0);
  state.clipMode = 5;
  ASSERT_EQ(VectorSetState(&doc_, &state), kVkOk);
  VectorState back{};
  ASSERT_EQ(VectorGetState(&doc_, &back), kVkOk);
  EXPECT_EQ(back.clipMode, 5);
  EXPECT_EQ(VectorSetState(&doc_, nullptr), kVkErrArgument);

  VectorUnits units{};
  ASSERT_EQ(VectorGetUnits(&doc_, &units), kVkOk);
  EXPECT_EQ(units.unit, 10) << "pixels";
  ASSERT_EQ(VectorSetUnits(&doc_, 5), kVkOk);
  ASSERT_EQ(VectorGetUnits(&doc_, &units), kVkOk);
  EXPECT_EQ(units.unit, 5);
  EXPECT_EQ(VectorGetUnits(&doc_, nullptr), kVkErrArgument);
}

TEST_F(ComputeSize, FollowsTheAspectRatioOfA200By100Drawing) {
  AddRect(Pt(0, 0), Pt(200, 100));
  struct Case {
    int32_t mode, w, h, wantW, wantH;
  };
  const Case cases[] = {
      {0, 640, 480, 640, 320},  // width limits
      {0, 100, 400, 100, 50},   // width limits, tall box
      {0, 1000, 60, 120, 60},   // height limits
      {2, 400, 7, 400, 200},    // width given
      {3, 9, 50, 100, 50},      // height given
      {2, 1, 1, 1, 1},          // never below one pixel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.w << "x" << c.h);
    int32_t w = c.w, h = c.h;
    ASSERT_EQ(VectorComputeSize(&doc_, c.mode, &w, &h), kVkOk);
    EXPECT_EQ(w, c.wantW);
    EXPECT_EQ(h, c.wantH);
  }
}

TEST_F(ComputeSize, KeepsTheBoxForBadModesAndEmptyOrFlatDrawings) {
  struct Case {
    int32_t mode;
    bool flatLine;
    int32_t status;
  };
  for (Case c : {Case{0, false, kVkOk}, Case{2, false, kVkOk}, Case{3, false, kVkOk},
                 Case{0, true, kVkOk}, Case{1, true, kVkErrArgument}, Case{4, true, kVkErrArgument},
                 Case{-1, true, kVkErrArgument}}) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.flatLine ? " flat" : " empty"));
    if (c.flatLine && VectorObjectCount(&doc_) == 0) AddLine(0, 5, 100, 5);  // no height
    int32_t w = 640, h = 480;
    EXPECT_EQ(VectorComputeSize(&doc_, c.mode, &w, &h), c.status);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
  }
  int32_t w = 640;
  EXPECT_EQ(VectorComputeSize(&doc_, 0, &w, nullptr), kVkErrArgument);
}

TEST_F(Layers, ObjectsGoToTheActiveLayer) {
  VectorLayerDesc desc{};
  VectorLayerRef first = 0, second = 0;
  desc.size = 100;
  EXPECT_EQ(VectorAddLayer(&doc_, &desc, &first, 4), kVkErrArgument);
  EXPECT_EQ(VectorAddLayer(&doc_, nullptr, &first, 4), kVkErrArgument);
  for (VectorLayerRef layer : {0, 1, -1}) {
    EXPECT_EQ(VectorSetActiveLayer(&doc_, layer), kVkErrArgument) << layer;
  }
  desc.size = sizeof(desc);
  desc.name[0] = u'0';
  desc.visible = 1;
  ASSERT_EQ(VectorAddLayer(&doc_, &desc, &first, 4), kVkOk);
  ASSERT_EQ(VectorAddLayer(&doc_, &desc, &second, 4), kVkOk);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  const VectorObjectRef onFirst = AddLine(0, 0, 1, 1);
  ASSERT_EQ(VectorSetActiveLayer(&doc_, second), kVkOk);
  const VectorObjectRef onSecond = AddLine(0, 0, 1, 1);
  EXPECT_EQ(Described(&doc_, onFirst, kVoLine)->h.layer, first);
  EXPECT_EQ(Described(&doc_, onSecond, kVoLine)->h.layer, second);
}

TEST_F(Groups, GroupMadeFirstCreatesTheDefaultLayerAndUnknownGroupsAreRefused) {
  VectorGroupDesc desc{};
  desc.size = 20;
  VectorGroupRef group{};
  EXPECT_EQ(VectorAddGroup(&doc_, &desc, &group, 4), kVkErrArgument);
  desc.size = sizeof(desc);
  std::u16string(u"My Group").copy(desc.name, 8);
  ASSERT_EQ(VectorAddGroup(&doc_, &desc, &group, 4), kVkOk);
  EXPECT_EQ(group.group, 1);
  EXPECT_EQ(group.layer, 1);
  VectorGroupRef second{};
  ASSERT_EQ(VectorAddGroup(&doc_, &desc, &second, 4), kVkOk);
  EXPECT_EQ(second.group, 2);

  auto line = Made<VectorLineObject>(kVoLine);
  for (const VectorGroupRef& ref : {VectorGroupRef{0, 1}, VectorGroupRef{3, 1},
                                     VectorGroupRef{1, 5}, VectorGroupRef{-1, 1}}) {
    SCOPED_TRACE(testing::Message() << ref.group << "/" << ref.layer);
    EXPECT_EQ(VectorAddObjectToGroup(&doc_, ref, kVoLine, &line, nullptr), kVkErrArgument);
  }
  EXPECT_EQ(VectorObjectCount(&doc_), 0);
  VectorObjectRef inGroup = 0;
  ASSERT_EQ(VectorAddObjectToGroup(&doc_, second, kVoLine, &line, &inGroup), kVkOk);
  const VectorObjectRef onLayer = AddLine(0, 0, 1, 1);
  Described grouped(&doc_, inGroup, kVoLine);
  EXPECT_EQ(grouped->h.group, 2);
  EXPECT_EQ(grouped->h.layer, 1);
  EXPECT_EQ(Described(&doc_, onLayer, kVoLine)->h.group, 0);
}

TEST_F(Links, StoresCutsAndReturnsLinkText) {
  const VectorObjectRef plain = AddLine(0, 0, 1, 1);
  const VectorObjectRef linked = AddLine(0, 0, 2, 2);
  VectorLinkRecord link{};
  const std::u16string href = u"http://example.org/a";
  href.copy(link.text, href.size());
  ASSERT_EQ(VectorSetLink(&doc_, linked, &link), kVkOk);

  VectorLinkRecord out{};
  ASSERT_EQ(VectorGetLink(&doc_, linked, &out), kVkOk);
  EXPECT_EQ(std::u16string(out.text), href);
  ASSERT_EQ(VectorGetLink(&doc_, plain, &out), kVkOk);
  EXPECT_EQ(out.text[0], u'\0');

  // A text filling the whole field without its NUL is cut to 259 units.
  for (char16_t& unit : link.text) unit = u'x';
  ASSERT_EQ(VectorSetLink(&doc_, plain, &link), kVkOk);
  ASSERT_EQ(VectorGetLink(&doc_, plain, &out), kVkOk);
  EXPECT_EQ(std::u16string(out.text).size(), 259u);

  EXPECT_EQ(VectorSetLink(&doc_, 99, &link), kVkErrNoObject);
  EXPECT_EQ(VectorGetLink(&doc_, 99, &out), kVkErrNoObject);
  EXPECT_EQ(VectorSetLink(&doc_, plain, nullptr), kVkErrArgument);
}

}  // namespace
}  // namespace vktest
