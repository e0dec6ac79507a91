// Documents: lifetime, state, output sizes, layers, groups and links.
#include <string>

#include "VkTestDocument.h"

namespace vktest {
namespace {

using Documents = VkDocumentFixture;

TEST(VectorInit, RejectsNullReusedAndUninitialisedRecordsAndFreeLeavesTheRecordReusable) {
  EXPECT_EQ(VectorInit(nullptr), kVkErrArgument);
  VectorDocument doc{};
  KernelPoint lo{}, hi{};
  auto line = Made<VectorLineObject>(kVoLine);
  for (int32_t status : {VectorFree(&doc), VectorGetExtent(&doc, &lo, &hi), VectorAddObject(&doc, 0, kVoLine, &line, nullptr)}) {
    EXPECT_EQ(status, kVkErrArgument);
  }
  ASSERT_EQ(VectorInit(&doc), kVkOk);
  void* impl = doc.impl;
  EXPECT_EQ(VectorInit(&doc), kVkErrArgument);
  EXPECT_EQ(doc.impl, impl);
  ASSERT_EQ(VectorAddObject(&doc, 0, kVoLine, &line, nullptr), kVkOk);
  EXPECT_EQ(VectorFree(&doc), kVkOk);  // with its objects: the leak guard would notice
  EXPECT_EQ(doc.impl, nullptr);
  EXPECT_EQ(VectorFree(&doc), kVkErrArgument);
  ASSERT_EQ(VectorInit(&doc), kVkOk);
  EXPECT_EQ(VectorObjectCount(&doc), 0);
  EXPECT_EQ(VectorFree(&doc), kVkOk);
}

TEST_F(Documents, ComputeSizeFollowsTheAspectRatioOrKeepsTheBox) {
  struct Case { int32_t mode, w, h, wantW, wantH, status; };
  const Case flat[] = {{0, 640, 480, 640, 480, kVkOk}, {1, 640, 480, 640, 480, kVkErrArgument}, {4, 640, 480, 640, 480, kVkErrArgument}};
  const Case wide[] = {  // a 200 x 100 drawing
      {0, 640, 480, 640, 320, kVkOk}, {0, 1000, 60, 120, 60, kVkOk}, {2, 400, 7, 400, 200, kVkOk},
      {3, 9, 50, 100, 50, kVkOk},     {2, 1, 1, 1, 1, kVkOk}};       // never below one pixel
  for (int round = 0; round < 3; ++round) {
    if (round == 1) AddLine(0, 5, 100, 5);  // no height: the box stays too
    if (round == 2) AddRect(Pt(0, 0), Pt(200, 100));
    for (const Case& c : round < 2 ? std::vector<Case>(flat, flat + 3) : std::vector<Case>(wide, wide + 5)) {
      SCOPED_TRACE(testing::Message() << "round " << round << " mode " << c.mode << " " << c.w << "x" << c.h);
      int32_t w = c.w, h = c.h;
      EXPECT_EQ(VectorComputeSize(&doc_, c.mode, &w, &h), c.status);
      EXPECT_EQ(w, c.wantW);
      EXPECT_EQ(h, c.wantH);
    }
  }
  int32_t w = 640;
  EXPECT_EQ(VectorComputeSize(&doc_, 0, &w, nullptr), kVkErrArgument);
}

// A group made first creates the default layer.
TEST_F(Documents, ObjectsGoToTheActiveLayerOrAKnownGroup) {
  VectorGroupDesc group{};
  VectorGroupRef ref{};
  group.size = sizeof(group);
  ASSERT_EQ(VectorAddGroup(&doc_, &group, &ref, 4), kVkOk);
  EXPECT_EQ(ref.group, 1);
  EXPECT_EQ(ref.layer, 1);
  VectorLayerDesc desc{};
  VectorLayerRef second = 0;
  EXPECT_EQ(VectorSetActiveLayer(&doc_, 2), kVkErrArgument);
  desc.size = sizeof(desc);
  ASSERT_EQ(VectorAddLayer(&doc_, &desc, &second, 4), kVkOk);
  EXPECT_EQ(second, 2);
  ASSERT_EQ(VectorSetActiveLayer(&doc_, second), kVkOk);
  EXPECT_EQ(Described(&doc_, AddLine(0, 0, 1, 1), kVoLine)->h.layer, second);
  auto line = Made<VectorLineObject>(kVoLine);
  EXPECT_EQ(VectorAddObjectToGroup(&doc_, VectorGroupRef{3, 1}, kVoLine, &line, nullptr), kVkErrArgument);
  VectorObjectRef inGroup = 0;
  ASSERT_EQ(VectorAddObjectToGroup(&doc_, ref, kVoLine, &line, &inGroup), kVkOk);
  Described grouped(&doc_, inGroup, kVoLine);
  EXPECT_EQ(grouped->h.group, 1);
  EXPECT_EQ(grouped->h.layer, 1);
  EXPECT_EQ(VectorObjectCount(&doc_), 2);
}

}  // namespace
}  // namespace vktest
