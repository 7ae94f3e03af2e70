#include "ptp/device/folder_listing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/ptp/device/opened_phone.h"

namespace camvey::ptp {

bool operator==(const PhoneObject& lhs, const PhoneObject& rhs) {
  return lhs.id == rhs.id && lhs.name == rhs.name && lhs.is_folder == rhs.is_folder &&
         lhs.kind_known == rhs.kind_known && lhs.name_is_file_name == rhs.name_is_file_name &&
         lhs.size == rhs.size && lhs.can_delete == rhs.can_delete &&
         lhs.access_capability == rhs.access_capability;
}

void PrintTo(const PhoneObject& object, std::ostream* out) {
  *out << "{" << text::WideToUtf8(object.id) << ", " << text::WideToUtf8(object.name)
       << (object.name_is_file_name ? " (file name), " : ", ")
       << (!object.kind_known ? "unknown"
           : object.is_folder ? "folder"
                              : "file");
  if (object.size.has_value()) *out << ", " << *object.size << " bytes";
  *out << "}";
}

namespace {

using ListingTest = OpenedPhoneTest;

INSTANTIATE_TEST_SUITE_P(Layers, ListingTest, ::testing::ValuesIn(LayerKinds()), LayerKindName);

constexpr char kObjects[] = R"({"devices": [{"id": "d", "storages": [
  {"id": "s1", "name": "Internal Storage", "access": 1, "children": [
    {"id": "f1", "name": "202401__", "children": []},
    {"id": "o1", "name": "IMG_1.JPG", "size": 2483120, "can_delete": true},
    {"id": "o2", "name": "Holiday", "file_name": "IMG_2.JPG", "size": 0, "can_delete": false},
    {"id": "o3", "name": "IMG_3.JPG", "file_name": null},
    {"id": "o4", "name": "IMG_4.JPG", "size": 1187, "can_delete": false,
     "faults": ["file_name", "size", "can_delete"]},
    {"id": "o5", "file_name": null},
    {"id": "o6", "name": "IMG_6.JPG", "faults": ["get_values"]},
    {"id": "o7", "name": "CLIP.MOV", "type": "video", "size": 18446744073709551615},
    {"id": "o8", "name": "odd", "type": null},
    {"id": "o9", "name": "Album", "type": "folder", "faults": ["content_type"]},
    {"id": "o10", "name": "Nested", "type": "functional"}
  ]},
  {"id": "s2", "name": "Card", "access": 2, "faults": ["access"], "children": []}
]}]})";

TEST_P(ListingTest, ReadsNamesAndKinds) {
  Open(kObjects);
  // An object whose content type cannot be read is no folder, but of unknown kind; one
  // named by its object name is not named by its file name. A size that cannot be read
  // is none; every 64-bit size comes through whole; so do the deletion flag and the
  // access capability, where they can be read.
  const std::vector<PhoneObject> expected = {
      {u"f1", u"202401__", true, true, true},
      {u"o1", u"IMG_1.JPG", false, true, true, 2483120u, true},
      {u"o2", u"IMG_2.JPG", false, true, true, 0u, false},
      {u"o3", u"IMG_3.JPG", false, true, false},
      {u"o4", u"IMG_4.JPG", false, true, false},
      {u"o5", u"", false, true, false},
      {u"o6", u"", false, false, false},
      {u"o7", u"CLIP.MOV", false, true, true, 18446744073709551615u},
      {u"o8", u"odd", false, false, true},
      {u"o9", u"Album", false, false, true},
      {u"o10", u"Nested", true, true, true},
  };
  EXPECT_EQ(List(u"s1").objects, expected);
  EXPECT_EQ(List(kDeviceObjectId).objects,
            (std::vector<PhoneObject>{
                {u"s1", u"Internal Storage", true, true, true, std::nullopt, std::nullopt, 1u},
                {u"s2", u"Card", true, true, true}}));
}

// A phone hands a folder's ids over in one transaction: they are asked for 256 at a
// time, and each object read costs one GetValues.
TEST_P(ListingTest, IdsComeInBatchesAndEachObjectCostsOneGetValues) {
  Open(kObjects);
  EXPECT_EQ(List(u"s1").objects.size(), 11u);
  EXPECT_EQ(layer_->counts().enum_objects, 1);
  EXPECT_EQ(layer_->counts().next, 1);  // the 11 ids with "no more objects"
  EXPECT_EQ(layer_->counts().get_values, 11);
  EXPECT_EQ(layer_->live_objects(), 4);  // only what the fixture holds is still out

  Open(R"({"devices": [{"id": "d", "storages": [{"id": "s1", "children": [
    {"id": "big", "name": "B", "filler": 600}]}]}]})");
  const IdListing ids = ListChildIds(connection_->content(), u"big", 0);
  EXPECT_EQ(ids.ids.size(), 600u);
  EXPECT_TRUE(ids.complete);
  EXPECT_EQ(layer_->counts().next, 3);  // 256, 256, and the last 88 with "no more objects"
  EXPECT_EQ(layer_->counts().get_values, 0);
}

// Only the enumeration's normal end (or the limit) makes a listing complete: a failure
// may hide children after those listed. Drivers end listings in their own ways: the
// last child may come with "no more objects", the end may come as full success without
// an id, and a driver may claim ids it did not hand over.
TEST_P(ListingTest, TellsAListingThatEndedEarlyFromACompleteOne) {
  const std::string cut = R"({"id": "cut", "name": "c", "children": [
      {"id": "c1", "name": "A"}, {"id": "c2", "name": "B", "faults": ["next"]},
      {"id": "c3", "name": "C"}]})";
  const std::string children = R"(
    {"id": "empty", "name": "a", "type": "folder"},
    {"id": "unlistable", "name": "b", "children": [{"id": "x", "name": "x"}],
     "faults": ["enum_objects"]},
    {"id": "null", "name": "n", "children": [
      {"id": "n1", "name": "A"}, {"id": "n2", "name": "B", "faults": ["next_null_id"]}]},
    {"id": "extra", "name": "e", "children": [
      {"id": "e1", "name": "A", "faults": ["next_extra_id"]}, {"id": "e2", "name": "B"}]},
    {"id": "pair", "name": "p", "children": [{"id": "p1", "name": "A"}, {"id": "p2"}]},
    {"id": "full", "name": "f", "filler": 256},
    )" + cut;
  struct Case {
    const char* device_faults;
    const char16_t* parent;
    std::size_t limit;
    std::size_t objects;
    bool complete;
  };
  // A failure applies to the batch that holds the id it names: none of that batch
  // counts.
  const Case cases[] = {
      {"", u"s1", 0, 7, true},
      {"", u"empty", 0, 0, true},
      {"", u"unlistable", 0, 0, false},
      {"", u"missing", 0, 0, false},
      {"", u"cut", 0, 0, false},
      {"", u"cut", 1, 1, true},  // the limit comes before the failing Next
      {"", u"null", 0, 0, false},
      {"", u"extra", 0, 0, false},
      {"", u"full", 0, 256, true},  // a full batch, then "no more objects" alone
      {R"("ok_without_id")", u"full", 0, 256, false},
      {R"("ok_without_id")", u"s1", 0, 7, true},
      {R"("false_with_last_id")", u"empty", 0, 0, true},
      {R"("false_with_last_id")", u"full", 0, 256, true},
      {R"("false_with_last_id")", u"s1", 0, 7, true},
  };
  for (const Case& test : cases) {
    Open(std::string(R"({"devices": [{"id": "d", "faults": [)") + test.device_faults +
         R"(], "storages": [{"id": "s1", "children": [)" + children + "]}]}]}");
    const Listing listing = List(test.parent, test.limit);
    SCOPED_TRACE(std::string(test.device_faults) + " " + text::WideToUtf8(test.parent) + " limit " +
                 std::to_string(test.limit));
    EXPECT_EQ(listing.objects.size(), test.objects);
    EXPECT_EQ(listing.complete, test.complete);
  }

  // "No more objects" with the last ids is final: the driver is not asked again.
  EXPECT_EQ(layer_->counts().next, 1);
  std::unique_ptr<ObjectIdEnumerator> enumerator;
  ASSERT_EQ(connection_->content().EnumObjects(u"pair", &enumerator), kDeviceOk);
  ASSERT_NE(enumerator, nullptr);
  std::vector<std::u16string> ids;
  EXPECT_EQ(enumerator->Next(1, &ids), kDeviceOk);
  EXPECT_EQ(ids, std::vector<std::u16string>{u"p1"});
  EXPECT_EQ(enumerator->Next(2, &ids), kDeviceFalse);
  EXPECT_EQ(ids, std::vector<std::u16string>{u"p2"});
  EXPECT_EQ(enumerator->Next(2, &ids), kDeviceFalse);
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ(layer_->counts().next, 3);
}

TEST_P(ListingTest, LimitCutsTheStorageList) {
  std::string json = R"({"devices": [{"id": "d", "storages": [)";
  for (int i = 1; i <= 25; ++i) {
    json += (i > 1 ? "," : "") + std::string(R"({"id": "s)") + std::to_string(i) + R"("})";
  }
  Open(json + "]}]}");
  const Listing storages = List(kDeviceObjectId, 20);
  ASSERT_EQ(storages.objects.size(), 20u);
  EXPECT_EQ(storages.objects.back().id, u"s20");
  EXPECT_EQ(layer_->counts().next, 1);
  EXPECT_EQ(List(kDeviceObjectId).objects.size(), 25u);
}

}  // namespace
}  // namespace camvey::ptp
