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

}  // namespace
}  // namespace camvey::ptp
