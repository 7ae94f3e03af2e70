#include "ptp/device/device_watch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/ptp/device/opened_phone.h"

namespace camvey::ptp {
namespace {

using DeviceWatchTest = OpenedPhoneTest;

INSTANTIATE_TEST_SUITE_P(Layers, DeviceWatchTest, ::testing::ValuesIn(LayerKinds()), LayerKindName);

// Once a device answers that it is gone (unplugged, hung, no longer open), every further
// call through its connection answers the same at once, without reaching it: each would
// wait for the system's device timeout. Any other failure leaves it asked as before.
TEST_P(DeviceWatchTest, AGoneDeviceIsAskedNothingMore) {
  struct Case {
    std::uint32_t code;
    bool gone;
  };
  const Case cases[] = {{0x802A0006, true},  {0x802A0002, true}, {0x8007048F, true},
                        {0x8007001F, true},  {0x80070079, true}, {0x80004005, false},
                        {0x80070005, false}, {0x800700AA, false}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.code);
    // The device answers Open, Content and Properties, then fails its next call.
    Open(R"({"devices": [{"id": "d", "gone_after": 3, "gone_code": )" +
         std::to_string(static_cast<std::int32_t>(test.code)) + R"(, "storages": [
      {"id": "s1", "children": [
        {"id": "f1", "name": "A", "children": [{"id": "a1", "name": "1"}]},
        {"id": "f2", "name": "B", "children": [{"id": "b1", "name": "2"}]}]}]}]})");
    EXPECT_FALSE(List(u"f1").complete);
    EXPECT_EQ(connection_->gone(), test.gone);
    const int calls = layer_->counts().device_calls();
    EXPECT_FALSE(List(u"f2").complete);
    if (test.gone) {
      EXPECT_EQ(connection_->gone_result(), static_cast<DeviceResult>(test.code));
      EXPECT_EQ(layer_->counts().device_calls(), calls);
    } else {
      EXPECT_GT(layer_->counts().device_calls(), calls);
    }
  }
}

}  // namespace
}  // namespace camvey::ptp
