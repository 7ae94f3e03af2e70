#include "ptp/device/deletion_memory.h"

#include <gtest/gtest.h>

namespace camvey::ptp {
namespace {

SentPhoto Sent(const char16_t* name, const char16_t* month, std::optional<std::uint64_t> size,
               const char16_t* object_id, SentOutcome outcome) {
  return {name, month, size, u"usb#iphone", object_id, name, outcome};
}

// The memory keeps photos: a later entry is the same photo only when name and month
// agree and sizes agree where both are known; a stem touched by a deletion, or by one
// whose outcome is unknown, stays touched; a later outcome of the same object clears up
// an unknown one.
TEST(DeletionMemoryTest, KeepsPhotosNotNames) {
  DeletionMemory memory;
  memory.Remember(Sent(u"IMG_0001.HEIC", u"202401", 2048, u"o1", SentOutcome::kDeleted));
  memory.Remember(Sent(u"IMG_0002.HEIC", u"202401", std::nullopt, u"o2", SentOutcome::kRefused));
  memory.Remember(Sent(u"IMG_0003.MOV", u"202402", std::nullopt, u"o3", SentOutcome::kUnknown));

  EXPECT_TRUE(memory.DeletedEarlier(u"IMG_0001.HEIC", u"202401", 2048).has_value());
  EXPECT_TRUE(memory.DeletedEarlier(u"IMG_0001.HEIC", u"202401", std::nullopt).has_value());
  EXPECT_FALSE(memory.DeletedEarlier(u"IMG_0001.HEIC", u"202401", 4096).has_value());
  EXPECT_FALSE(memory.DeletedEarlier(u"IMG_0001.HEIC", u"202402", 2048).has_value());
  EXPECT_FALSE(memory.DeletedEarlier(u"IMG_0002.HEIC", u"202401", std::nullopt).has_value());

  EXPECT_TRUE(memory.StemSent(u"IMG_0001"));
  EXPECT_FALSE(memory.StemSent(u"IMG_0002"));  // refused: the photo is still whole
  EXPECT_TRUE(memory.StemSent(u"IMG_0003"));
  EXPECT_FALSE(memory.StemSent(u"IMG_0004"));

  ASSERT_EQ(memory.Unresolved(u"IMG_0003.MOV").size(), 1u);
  EXPECT_TRUE(memory.Unresolved(u"IMG_0001.HEIC").empty());
  memory.Remember(Sent(u"IMG_0003.MOV", u"202402", std::nullopt, u"o3", SentOutcome::kDeleted));
  EXPECT_TRUE(memory.Unresolved(u"IMG_0003.MOV").empty());
  EXPECT_TRUE(memory.DeletedEarlier(u"IMG_0003.MOV", u"202402", std::nullopt).has_value());
}

// What is given back is what was sent: the device, the id and the phone's spelling of
// each photo, however many photos share its name or stem, and a later outcome replaces
// only the record of its own object, wherever that lies among its name's records.
TEST(DeletionMemoryTest, GivesBackEachPhotoAsSent) {
  DeletionMemory memory;
  memory.Remember({u"IMG_0005.HEIC", u"202401", 10, u"usb#iphone", u"a", u"IMG_0005.HEIC",
                   SentOutcome::kUnknown});
  memory.Remember({u"IMG_0005.HEIC", u"202402", 20, u"usb#ipad", u"b", u"img_0005.heic",
                   SentOutcome::kUnknown});
  memory.Remember({u"IMG_0005.HEIC", u"202403", 30, u"usb#iphone", u"c", u"IMG_0005.HEIC",
                   SentOutcome::kUnknown});
  memory.Remember(
      {u"IMG_0006.MOV", u"202401", 40, u"usb#ipad", u"d", u"IMG_0006.MOV", SentOutcome::kRefused});
  memory.Remember({u"IMG_0006.HEIC", u"202401", 50, u"usb#ipad", u"e", u"IMG_0006.HEIC",
                   SentOutcome::kRefused});
  memory.Remember({u"IMG_0005.HEIC", u"202402", 20, u"usb#ipad", u"b", u"img_0005.heic",
                   SentOutcome::kDeleted});

  const std::optional<SentPhoto> deleted =
      memory.DeletedEarlier(u"IMG_0005.HEIC", u"202402", std::nullopt);
  ASSERT_TRUE(deleted.has_value());
  EXPECT_EQ(deleted->device_id, u"usb#ipad");
  EXPECT_EQ(deleted->object_id, u"b");
  EXPECT_EQ(deleted->spelled, u"img_0005.heic");
  EXPECT_EQ(deleted->size, 20u);
  const std::vector<SentPhoto> unresolved = memory.Unresolved(u"IMG_0005.HEIC");
  ASSERT_EQ(unresolved.size(), 2u);
  EXPECT_EQ(unresolved[0].object_id, u"a");
  EXPECT_EQ(unresolved[0].spelled, u"IMG_0005.HEIC");
  EXPECT_EQ(unresolved[1].object_id, u"c");
  EXPECT_EQ(unresolved[1].device_id, u"usb#iphone");

  EXPECT_FALSE(memory.StemSent(u"IMG_0006"));  // both names refused
  memory.Remember({u"IMG_0006.HEIC", u"202401", 50, u"usb#ipad", u"e", u"IMG_0006.HEIC",
                   SentOutcome::kUnknown});
  EXPECT_TRUE(memory.StemSent(u"IMG_0006"));  // found through the stem's second name
}

}  // namespace
}  // namespace camvey::ptp
