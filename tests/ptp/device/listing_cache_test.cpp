#include "ptp/device/listing_cache.h"

#include <gtest/gtest.h>

#include "tests/ptp/device/opened_phone.h"

namespace camvey::ptp {
namespace {

using ListingCacheTest = OpenedPhoneTest;

INSTANTIATE_TEST_SUITE_P(Layers, ListingCacheTest, ::testing::ValuesIn(LayerKinds()),
                         LayerKindName);

TEST_P(ListingCacheTest, ListsEachFolderOnceAndCountsItOnce) {
  Open(R"({"devices": [{"id": "d", "storages": [{"id": "s1", "children": [
    {"id": "f1", "name": "A", "children": [{"id": "a1", "name": "1"}, {"id": "a2", "name": "2"}]},
    {"id": "f2", "name": "B", "children": [{"id": "b1", "name": "3"},
                                            {"id": "b2", "name": "4", "faults": ["next"]}]},
    {"id": "f3", "name": "C", "filler": 300}
  ]}]}]})");
  ListingCache cache(connection_->content(), connection_->properties(), *keys_);
  const Listing& first = cache.Lookup(u"f1");
  EXPECT_EQ(cache.listed_count(), 2u);
  EXPECT_EQ(&cache.Lookup(u"f1"), &first);
  // A listing that ended early is kept as it is, not made again.
  EXPECT_FALSE(cache.Lookup(u"f2").complete);
  EXPECT_TRUE(cache.Lookup(u"f2").objects.empty());
  EXPECT_EQ(cache.Lookup(u"f1").objects.size(), 2u);
  EXPECT_EQ(cache.listed_count(), 2u);
  EXPECT_EQ(Enumerations(u"d", u"f1"), 1);
  EXPECT_EQ(Enumerations(u"d", u"f2"), 1);
  // How many objects a folder holds costs its ids alone; reading them comes later, once.
  const int reads = layer_->counts().get_values;
  EXPECT_EQ(cache.Ids(u"f3").ids.size(), 300u);
  EXPECT_FALSE(cache.Read(u"f3"));
  EXPECT_EQ(layer_->counts().get_values, reads);
  EXPECT_EQ(cache.Lookup(u"f3").objects.size(), 300u);
  EXPECT_EQ(layer_->counts().get_values, reads + 300);
  EXPECT_EQ(Enumerations(u"d", u"f3"), 1);
}

}  // namespace
}  // namespace camvey::ptp
