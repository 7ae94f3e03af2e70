#ifndef CAMVEY_TESTS_PTP_DEVICE_OPENED_PHONE_H_
#define CAMVEY_TESTS_PTP_DEVICE_OPENED_PHONE_H_

// A suite that opens a phone's first device, as a pass does, over every device layer of
// the build, for tests of what is built on a connection: listings, the listing cache,
// the camera roll, the device watch.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "tests/ptp/device/layer_under_test.h"
#include "tests/ptp/device/sim_phone.h"

namespace camvey::ptp {

class OpenedPhoneTest : public ::testing::TestWithParam<LayerKind> {
 protected:
  void TearDown() override { Close(); }

  // Opens the first device of the phone `json` with the pass's key set; the counts
  // start after the opening.
  void Open(const std::string& json) {
    Close();
    phone_ = PhoneFromJson(json);
    DeviceLayer& layer = layer_->Serve(&phone_);
    opened_ = true;
    keys_ = CreateKeySet(layer);
    ASSERT_NE(keys_, nullptr);
    connection_ = std::make_unique<PhoneConnection>(OpenPhone(layer, phone_.devices[0].id));
    ASSERT_TRUE(connection_->usable());
    layer_->ResetCounts();
  }

  // Releases what Open made and checks that nothing leaked.
  void Close() {
    connection_.reset();
    keys_.reset();
    if (opened_) layer_->Finish();
    opened_ = false;
  }

  Listing List(const std::u16string& parent_id, std::size_t limit = 0) {
    return ListChildren(connection_->content(), connection_->properties(), *keys_, parent_id,
                        limit);
  }

  int Enumerations(const std::u16string& device_id, const std::u16string& parent_id) const {
    const auto all = layer_->enumerations();
    const auto found = all.find({device_id, parent_id});
    return found == all.end() ? 0 : found->second;
  }

  phone::Phone phone_;
  std::unique_ptr<LayerUnderTest> layer_ = GetParam().make();
  bool opened_ = false;
  std::unique_ptr<KeyCollection> keys_;
  std::unique_ptr<PhoneConnection> connection_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_TESTS_PTP_DEVICE_OPENED_PHONE_H_
