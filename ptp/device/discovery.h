#ifndef CAMVEY_PTP_DEVICE_DISCOVERY_H_
#define CAMVEY_PTP_DEVICE_DISCOVERY_H_

// Finding the attached Apple phones and opening one with the service's client
// information.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"
#include "ptp/device/device_watch.h"

namespace camvey::ptp {

enum class DeviceText { kFriendlyName, kManufacturer };

// No more devices than this are read from a manager, whatever count it reports.
inline constexpr std::uint32_t kMaxDeviceCount = 4096;

// The attached Apple devices, and whether the list may lack one: when the devices could
// not be listed, when the manager had more devices than it gave room for, or when a
// device's id, or a text of a device that the other does not show to be an Apple device,
// could not be read. Such a device may be the iPad that holds the copy.
struct AppleDevices {
  std::vector<std::u16string> ids;  // in the manager's order
  bool may_lack_one = false;
};

// The attached Apple devices among the first kMaxDeviceCount devices. Never fails as
// such: every failure inside gives a shorter or an empty list, and says it may lack one.
AppleDevices FindAppleDevices(DeviceManager& manager);

// The ids of FindAppleDevices alone, for callers that only ask whether one is attached.
std::vector<std::u16string> ListAppleDevices(DeviceManager& manager);

// The friendly name or the manufacturer of a device; empty on any failure.
std::u16string ReadDeviceString(DeviceManager& manager, const std::u16string& device_id,
                                DeviceText which);

// True when "<friendly name> <manufacturer>", upper-cased a to z only, contains
// "APPLE", "IPHONE" or "IPAD".
bool IsAppleDevice(const std::u16string& friendly_name, const std::u16string& manufacturer);

// What a client asks the driver to let it do with a device it opens.
enum class DeviceAccess {
  kReadAndWrite,  // the service, which deletes
  kReadOnly,      // a reader that must not be able to change the phone
};

// A device object opened on `device_id` with the client information "Camvey" 1.0.0
// asking for `access`; null when the client information or the device object cannot be
// made or the device does not open. `*failure`, when given, then receives the answer of
// the step that ended the opening (a success when it gave no object).
std::unique_ptr<PortableDevice> OpenPhone(DeviceLayer& layer, const std::u16string& device_id,
                                          DeviceAccess access = DeviceAccess::kReadAndWrite,
                                          DeviceResult* failure = nullptr);

// An open device with its content and properties. Destruction releases the properties,
// then the content, then closes and releases the device.
//
// Every call through the connection is watched: once the device answers that it is
// gone, nothing more reaches it but the Close of the destruction, and every call
// answers that gone result at once.
class PhoneConnection {
 public:
  // Takes an open device and asks it for its content, then the content for its
  // properties.
  explicit PhoneConnection(std::unique_ptr<PortableDevice> device);
  ~PhoneConnection();

  PhoneConnection(const PhoneConnection&) = delete;
  PhoneConnection& operator=(const PhoneConnection&) = delete;

  // False when the content or the properties could not be obtained.
  bool usable() const { return content_ != nullptr && properties_ != nullptr; }
  // Valid only while usable().
  DeviceContent& content() const { return *content_; }
  DeviceProperties& properties() const { return *properties_; }

  // True once the device answered that it is gone (see DeviceGone).
  bool gone() const { return watch_.gone(); }
  DeviceResult gone_result() const { return watch_.gone_result(); }

 private:
  DeviceWatch watch_;
  std::unique_ptr<PortableDevice> device_;
  std::unique_ptr<DeviceContent> content_;
  std::unique_ptr<DeviceProperties> properties_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DISCOVERY_H_
