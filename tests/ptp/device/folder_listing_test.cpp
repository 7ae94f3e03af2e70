#include "ptp/device/folder_listing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ptp/device/discovery.h"
#include "ptp/device/listing_cache.h"
#include "standins/phone/simulated_device_layer.h"
#include "tests/ptp/device/sim_phone.h"

namespace camvey::ptp {

bool operator==(const PhoneObject& lhs, const PhoneObject& rhs) {
  return lhs.id == rhs.id && lhs.name == rhs.name && lhs.is_folder == rhs.is_folder;
}

void PrintTo(const PhoneObject& object, std::ostream* out) {
  *out << "{" << WideToUtf8(object.id) << ", " << WideToUtf8(object.name) << ", "
       << (object.is_folder ? "folder" : "file") << "}";
}

namespace {

using phone::SimulatedDeviceLayer;

// Opens the phone's first device for listing.
class ListingTest : public ::testing::Test {
 protected:
  void Open(const std::string& json) {
    phone_ = PhoneFromJson(json);
    layer_ = std::make_unique<SimulatedDeviceLayer>(&phone_);
    keys_ = CreateKeySet(*layer_);
    ASSERT_NE(keys_, nullptr);
    connection_ = std::make_unique<PhoneConnection>(OpenPhone(*layer_, phone_.devices[0].id));
    ASSERT_TRUE(connection_->usable());
    layer_->ResetCounts();
  }

  Listing List(const std::u16string& parent_id, std::size_t limit = 0) {
    return ListChildren(connection_->content(), connection_->properties(), *keys_, parent_id,
                        limit);
  }

  phone::Phone phone_;
  std::unique_ptr<SimulatedDeviceLayer> layer_;
  std::unique_ptr<KeyCollection> keys_;
  std::unique_ptr<PhoneConnection> connection_;
};

constexpr char kObjects[] = R"({"devices": [{"id": "d", "storages": [
  {"id": "s1", "name": "Internal Storage", "children": [
    {"id": "f1", "name": "202401__", "children": []},
    {"id": "o1", "name": "IMG_1.JPG"},
    {"id": "o2", "name": "Holiday", "file_name": "IMG_2.JPG"},
    {"id": "o3", "name": "IMG_3.JPG", "file_name": null},
    {"id": "o4", "name": "IMG_4.JPG", "faults": ["file_name"]},
    {"id": "o5", "file_name": null},
    {"id": "o6", "name": "IMG_6.JPG", "faults": ["get_values"]},
    {"id": "o7", "name": "CLIP.MOV", "type": "video"},
    {"id": "o8", "name": "odd", "type": null},
    {"id": "o9", "name": "Album", "type": "folder", "faults": ["content_type"]},
    {"id": "o10", "name": "Nested", "type": "functional"}
  ]},
  {"id": "s2", "name": "Card", "children": []}
]}]})";

TEST_F(ListingTest, ReadsNamesAndKinds) {
  Open(kObjects);
  const Listing expected = {
      {u"f1", u"202401__", true},   {u"o1", u"IMG_1.JPG", false}, {u"o2", u"IMG_2.JPG", false},
      {u"o3", u"IMG_3.JPG", false}, {u"o4", u"IMG_4.JPG", false}, {u"o5", u"", false},
      {u"o6", u"", false},          {u"o7", u"CLIP.MOV", false},  {u"o8", u"odd", false},
      {u"o9", u"Album", false},     {u"o10", u"Nested", true},
  };
  EXPECT_EQ(List(u"s1"), expected);
  EXPECT_EQ(List(kDeviceObjectId),
            (Listing{{u"s1", u"Internal Storage", true}, {u"s2", u"Card", true}}));
}

TEST_F(ListingTest, EachObjectCostsOneNextAndOneGetValues) {
  Open(kObjects);
  EXPECT_EQ(List(u"s1").size(), 11u);
  EXPECT_EQ(layer_->counts().enum_objects, 1);
  EXPECT_EQ(layer_->counts().next, 12);  // the last one ends the enumeration
  EXPECT_EQ(layer_->counts().get_values, 11);
  EXPECT_EQ(layer_->live_objects(), 4);  // only what the fixture holds is still out
}

TEST_F(ListingTest, EmptyOrUnlistableParentGivesAnEmptyListing) {
  Open(R"({"devices": [{"id": "d", "storages": [
    {"id": "s1", "children": [{"id": "f1", "name": "a", "type": "folder"},
                               {"id": "f2", "name": "b", "children": [{"id": "x", "name": "x"}],
                                "faults": ["enum_objects"]}]}]}]})");
  EXPECT_TRUE(List(u"f1").empty());
  EXPECT_TRUE(List(u"f2").empty());
  EXPECT_TRUE(List(u"missing").empty());
}

TEST_F(ListingTest, AFailedNextEndsTheListing) {
  Open(R"({"devices": [{"id": "d", "storages": [{"id": "s1", "children": [
    {"id": "a", "name": "A"}, {"id": "b", "name": "B", "faults": ["next"]}, {"id": "c", "name": "C"}
  ]}]}]})");
  EXPECT_EQ(List(u"s1"), (Listing{{u"a", u"A", false}}));
}

TEST_F(ListingTest, LimitCutsTheStorageList) {
  std::string json = R"({"devices": [{"id": "d", "storages": [)";
  for (int i = 1; i <= 25; ++i) {
    json += (i > 1 ? "," : "") + std::string(R"({"id": "s)") + std::to_string(i) + R"("})";
  }
  Open(json + "]}]}");
  const Listing storages = List(kDeviceObjectId, 20);
  ASSERT_EQ(storages.size(), 20u);
  EXPECT_EQ(storages.back().id, u"s20");
  EXPECT_EQ(layer_->counts().next, 20);
  EXPECT_EQ(List(kDeviceObjectId).size(), 25u);
}

TEST_F(ListingTest, CacheListsEachFolderOnceAndCountsItOnce) {
  Open(R"({"devices": [{"id": "d", "storages": [{"id": "s1", "children": [
    {"id": "f1", "name": "A", "children": [{"id": "a1", "name": "1"}, {"id": "a2", "name": "2"}]},
    {"id": "f2", "name": "B", "children": [{"id": "b1", "name": "3"}]}
  ]}]}]})");
  ListingCache cache(connection_->content(), connection_->properties(), *keys_);
  const Listing& first = cache.Lookup(u"f1");
  EXPECT_EQ(cache.listed_count(), 2u);
  EXPECT_EQ(&cache.Lookup(u"f1"), &first);
  EXPECT_EQ(cache.Lookup(u"f2").size(), 1u);
  EXPECT_EQ(cache.Lookup(u"f1").size(), 2u);
  EXPECT_EQ(cache.listed_count(), 3u);
  EXPECT_EQ(layer_->enumerations(u"d", u"f1"), 1);
  EXPECT_EQ(layer_->enumerations(u"d", u"f2"), 1);
}

}  // namespace
}  // namespace camvey::ptp
