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
                                            {"id": "b2", "name": "4", "faults": ["next"]}]}
  ]}]}]})");
  ListingCache cache(connection_->content(), connection_->properties(), *keys_);
  const Listing& first = cache.Lookup(u"f1");
  EXPECT_EQ(cache.listed_count(), 2u);
  EXPECT_EQ(&cache.Lookup(u"f1"), &first);
  // A listing that ended early is kept as it is, not made again.
  EXPECT_FALSE(cache.Lookup(u"f2").complete);
  EXPECT_EQ(cache.Lookup(u"f2").objects.size(), 1u);
  EXPECT_EQ(cache.Lookup(u"f1").objects.size(), 2u);
  EXPECT_EQ(cache.listed_count(), 3u);
  EXPECT_EQ(Enumerations(u"d", u"f1"), 1);
  EXPECT_EQ(Enumerations(u"d", u"f2"), 1);
}

}  // namespace
}  // namespace camvey::ptp
