#include "ptp/device/camera_roll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ptp/device/opened_phone.h"

namespace camvey::ptp {
namespace {

using CameraRollTest = OpenedPhoneTest;

INSTANTIATE_TEST_SUITE_P(Layers, CameraRollTest, ::testing::ValuesIn(LayerKinds()), LayerKindName);

std::string Storage(const std::string& children) {
  return R"({"devices": [{"id": "d", "storages": [{"id": "s", "name": "Internal Storage",
    "children": [)" +
         children + "]}]}]}";
}

// The camera-roll folders are the storage's top-level folders and, right after each
// top-level DCIM, the folders inside it; nothing deeper, and no file.
TEST_P(CameraRollTest, FindsTheFoldersInsideDcimAfterDcim) {
  Open(Storage(R"({"id": "top", "name": "A.JPG"},
    {"id": "d", "name": "dcim", "children": [{"id": "m1", "name": "202401__", "children": []},
      {"id": "loose", "name": "B.JPG"},
      {"id": "inner", "name": "DCIM", "children": [{"id": "deep", "name": "202402__",
        "children": []}]}]},
    {"id": "x", "name": "Screenshots", "children": [{"id": "sub", "name": "Sub", "children": []}]})"));
  CameraRoll roll(*connection_, *keys_, List(kDeviceObjectId).objects.front());
  std::vector<std::u16string> folders;
  for (const PhoneObject* folder : roll.folders()) folders.push_back(folder->id);
  EXPECT_EQ(folders, (std::vector<std::u16string>{u"d", u"m1", u"inner", u"x"}));
  EXPECT_TRUE(roll.HoldsCameraRollFolders(*roll.folders()[0]));
  EXPECT_FALSE(roll.HoldsCameraRollFolders(*roll.folders()[2]));
  EXPECT_FALSE(roll.HoldsCameraRollFolders(*roll.folders()[3]));
  EXPECT_EQ(roll.parents().size(), 2u);
  EXPECT_TRUE(roll.shows_anything());
  EXPECT_FALSE(roll.MayHideAnyFolder());
  EXPECT_EQ(Enumerations(u"d", u"inner"), 0);
  EXPECT_EQ(Enumerations(u"d", u"x"), 0);
}

// What the camera roll knows it has not seen: a folder may hide in a listing that ended
// early, behind a folder whose file name could not be read, or behind an object of
// unknown kind (named DCIM, it may hold every month). A locked phone shows only empty
// DCIM folders or nothing at all.
TEST_P(CameraRollTest, SaysWhatItMayHide) {
  struct Case {
    const char* label;
    std::string children;
    bool shows_anything;
    bool may_hide_any_folder;
    std::vector<std::u16string> unknown_kinds;
  };
  const Case cases[] = {
      {"nothing", "", false, false, {}},
      {"an empty DCIM", R"({"id": "d", "name": "DCIM", "type": "folder"})", false, false, {}},
      {"an empty album", R"({"id": "a", "name": "Album", "type": "folder"})", true, false, {}},
      {"a storage listing cut short",
       R"({"id": "d", "name": "DCIM", "type": "folder", "faults": ["next"]})",
       true,
       true,
       {}},
      {"a DCIM listing cut short",
       R"({"id": "d", "name": "DCIM", "children": [{"id": "m", "name": "202401__",
         "faults": ["next"], "type": "folder"}]})",
       true,
       true,
       {}},
      {"a folder without a file name",
       R"({"id": "d", "name": "Trip", "file_name": null, "type": "folder"})",
       true,
       true,
       {}},
      {"DCIM of unknown kind",
       R"({"id": "d", "name": "DCIM", "type": null})",
       true,
       true,
       {u"DCIM"}},
      {"a month folder of unknown kind",
       R"({"id": "d", "name": "DCIM", "children": [{"id": "m", "name": "202402__", "type": null}]})",
       true,
       false,
       {u"202402__"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.label);
    Open(Storage(test.children));
    const PhoneObject storage = List(kDeviceObjectId).objects.front();
    CameraRoll roll(*connection_, *keys_, storage);
    EXPECT_EQ(roll.shows_anything(), test.shows_anything);
    EXPECT_EQ(roll.MayHideAnyFolder(), test.may_hide_any_folder);
    EXPECT_EQ(roll.NamesOfUnknownKind(), test.unknown_kinds);
  }
}

}  // namespace
}  // namespace camvey::ptp
