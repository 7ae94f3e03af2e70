#include "ptp/device/discovery.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "standins/phone/simulated_device_layer.h"
#include "tests/ptp/device/layer_under_test.h"
#include "tests/ptp/device/sim_phone.h"

namespace camvey::ptp {
namespace {

using phone::SimulatedDeviceLayer;

TEST(DiscoveryTest, RecognisesAppleDevicesByNameOrMaker) {
  struct Case {
    const char16_t* friendly_name;
    const char16_t* manufacturer;
    bool apple;
  };
  const Case cases[] = {
      {u"iPhone", u"", true},
      {u"Camera", u"Apple Inc.", true},
      {u"My iPad", u"", true},
      {u"Pineapple Cam", u"Contoso", true},
      {u"", u"", false},
      {u"Galaxy S24", u"Samsung", false},
      // Only a to z fold: these letters are not the ones of the marks.
      {u"IPH\u00D3NE", u"", false},
      {u"appl\u00E9", u"", false},
      {u"\u0130PAD", u"", false},
      // The space between the two texts breaks a mark.
      {u"iPh", u"one", false},
      {u"App", u"le", false},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(IsAppleDevice(test.friendly_name, test.manufacturer), test.apple)
        << text::WideToUtf8(test.friendly_name) << " / " << text::WideToUtf8(test.manufacturer);
  }
}

constexpr char kThreeDevices[] = R"({"devices": [
  {"id": "usb#apple", "friendly_name": "Anna's iPhone", "manufacturer": "Apple Inc."},
  {"id": "usb#camera", "friendly_name": "Camera", "manufacturer": "Contoso"},
  {"id": "usb#ipad", "friendly_name": "", "manufacturer": "", "faults": []},
  {"id": "usb#pad", "friendly_name": "Study iPad"}
]})";

// The probes that any device layer must pass alike run over every layer of the build.
class DiscoveryOverLayerTest : public ::testing::TestWithParam<LayerKind> {
 protected:
  AppleDevices ListWith(phone::Phone* phone) {
    AppleDevices listed;
    {
      std::unique_ptr<DeviceManager> manager;
      EXPECT_EQ(layer_->Serve(phone).CreateManager(&manager), kDeviceOk);
      if (manager != nullptr) listed = FindAppleDevices(*manager);
    }
    layer_->Finish();
    return listed;
  }

  std::unique_ptr<LayerUnderTest> layer_ = GetParam().make();
};

INSTANTIATE_TEST_SUITE_P(Layers, DiscoveryOverLayerTest, ::testing::ValuesIn(LayerKinds()),
                         LayerKindName);

TEST_P(DiscoveryOverLayerTest, ListsAppleDevicesInManagerOrder) {
  phone::Phone phone = PhoneFromJson(kThreeDevices);
  const AppleDevices listed = ListWith(&phone);
  EXPECT_EQ(listed.ids, (std::vector<std::u16string>{u"usb#apple", u"usb#pad"}));
  EXPECT_FALSE(listed.may_lack_one);
}

// Failures shorten the list, and say that it may lack an Apple device wherever the
// device left out could be one.
TEST_P(DiscoveryOverLayerTest, FailuresShortenTheList) {
  struct Case {
    const char* label;
    void (*fault)(phone::Phone*);
    std::vector<std::u16string> expected;
    bool may_lack_one;
  };
  const Case cases[] = {
      {"count unreadable", [](phone::Phone* p) { p->faults.device_count = true; }, {}, true},
      {"ids unreadable", [](phone::Phone* p) { p->faults.device_ids = true; }, {}, true},
      {"a count of 4,294,967,295 is not believed",
       [](phone::Phone* p) { p->faults.huge_device_count = true; },
       {u"usb#apple", u"usb#pad"},
       false},
      {"refresh fails",
       [](phone::Phone* p) { p->faults.refresh = true; },
       {u"usb#apple", u"usb#pad"},
       false},
      {"null id", [](phone::Phone* p) { p->devices[0].faults.null_id = true; }, {u"usb#pad"}, true},
      {"friendly name unreadable, maker still Apple",
       [](phone::Phone* p) { p->devices[0].faults.friendly_name = true; },
       {u"usb#apple", u"usb#pad"},
       false},
      {"the maker of a camera unreadable",
       [](phone::Phone* p) { p->devices[1].faults.manufacturer = true; },
       {u"usb#apple", u"usb#pad"},
       true},
      {"a device attached since the count: more devices than room",
       [](phone::Phone* p) { p->faults.devices_added = true; },
       {u"usb#apple"},
       true},
      {"a driver that always wants a larger buffer",
       [](phone::Phone* p) {
         p->devices[3].faults.friendly_name = true;
         p->devices[3].faults.fault_codes["friendly_name"] = static_cast<std::int32_t>(0x8007007A);
       },
       {u"usb#apple"},
       true},
      {"both texts unreadable",
       [](phone::Phone* p) {
         p->devices[0].faults.friendly_name = true;
         p->devices[0].faults.manufacturer = true;
       },
       {u"usb#pad"},
       true},
  };
  for (const Case& test : cases) {
    phone::Phone phone = PhoneFromJson(kThreeDevices);
    test.fault(&phone);
    const AppleDevices listed = ListWith(&phone);
    EXPECT_EQ(listed.ids, test.expected) << test.label;
    EXPECT_EQ(listed.may_lack_one, test.may_lack_one) << test.label;
  }
}

TEST_P(DiscoveryOverLayerTest, ReadsTextWhicheverWayTheDriverCountsTheNul) {
  for (const bool excludes_nul : {false, true}) {
    phone::Phone phone = PhoneFromJson(kThreeDevices);
    phone.devices[0].faults.length_excludes_nul = excludes_nul;
    {
      std::unique_ptr<DeviceManager> manager;
      ASSERT_EQ(layer_->Serve(&phone).CreateManager(&manager), kDeviceOk);
      EXPECT_EQ(ReadDeviceString(*manager, u"usb#apple", DeviceText::kFriendlyName),
                u"Anna's iPhone");
      EXPECT_EQ(ReadDeviceString(*manager, u"usb#apple", DeviceText::kManufacturer), u"Apple Inc.");
      EXPECT_EQ(ReadDeviceString(*manager, u"usb#camera", DeviceText::kManufacturer), u"Contoso");
      EXPECT_EQ(ReadDeviceString(*manager, u"usb#nothing", DeviceText::kFriendlyName), u"");
    }
    layer_->Finish();
  }
}

TEST(DiscoveryTest, OpensWithTheServicesClientInformation) {
  phone::Phone phone = PhoneFromJson(kThreeDevices);
  SimulatedDeviceLayer layer(&phone);
  std::unique_ptr<PortableDevice> device = OpenPhone(layer, u"usb#apple");
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(layer.opened().size(), 1u);
  const std::vector<phone::ClientValue> expected = {
      {ClientKey::kName, std::u16string(u"Camvey")},
      {ClientKey::kMajorVersion, 1u},
      {ClientKey::kMinorVersion, 0u},
      {ClientKey::kRevision, 0u},
      {ClientKey::kDesiredAccess, 0xC0000000u},
  };
  EXPECT_EQ(layer.opened()[0].client_values, expected);
  // The client information is released once the device is open.
  EXPECT_EQ(layer.live_objects(), 1);
}

TEST_P(DiscoveryOverLayerTest, NoDeviceWhenAnyOpeningStepFails) {
  struct Case {
    const char* label;
    void (*fault)(phone::Phone*);
  };
  const Case cases[] = {
      {"client information", [](phone::Phone* p) { p->faults.create_client_information = true; }},
      {"device object", [](phone::Phone* p) { p->faults.create_device = true; }},
      {"busy", [](phone::Phone* p) { p->devices[0].faults.open = true; }},
  };
  for (const Case& test : cases) {
    phone::Phone phone = PhoneFromJson(kThreeDevices);
    test.fault(&phone);
    EXPECT_EQ(OpenPhone(layer_->Serve(&phone), u"usb#apple"), nullptr) << test.label;
    layer_->Finish();
  }
  phone::Phone phone = PhoneFromJson(kThreeDevices);
  EXPECT_EQ(OpenPhone(layer_->Serve(&phone), u"usb#unplugged"), nullptr);
  layer_->Finish();
}

TEST(DiscoveryTest, ConnectionClosesInReverseOrder) {
  phone::Phone phone = PhoneFromJson(kThreeDevices);
  SimulatedDeviceLayer layer(&phone);
  {
    PhoneConnection connection(OpenPhone(layer, u"usb#apple"));
    EXPECT_TRUE(connection.usable());
  }
  const std::vector<std::string> expected = {"create client information",
                                             "create device",
                                             "open usb#apple",
                                             "release client information",
                                             "create content",
                                             "create properties",
                                             "release properties",
                                             "release content",
                                             "close device",
                                             "release device"};
  EXPECT_EQ(layer.lifetime_log(), expected);
  EXPECT_EQ(layer.live_objects(), 0);
}

TEST_P(DiscoveryOverLayerTest, ConnectionWithoutContentOrPropertiesIsClosedToo) {
  for (const bool content_fails : {true, false}) {
    phone::Phone phone = PhoneFromJson(kThreeDevices);
    phone.devices[0].faults.content = content_fails;
    phone.devices[0].faults.properties = !content_fails;
    {
      PhoneConnection connection(OpenPhone(layer_->Serve(&phone), u"usb#apple"));
      EXPECT_FALSE(connection.usable());
    }
    layer_->Finish();
    EXPECT_EQ(layer_->counts().close, 1);
    EXPECT_EQ(layer_->counts().properties, content_fails ? 0 : 1);
  }
}

}  // namespace
}  // namespace camvey::ptp
