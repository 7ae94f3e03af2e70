#ifndef CAMVEY_FUZZ_PTP_FUZZED_DEVICE_LAYER_H_
#define CAMVEY_FUZZ_PTP_FUZZED_DEVICE_LAYER_H_

// A device layer whose every answer comes from the fuzz input: from the phone it
// describes (FuzzedPhone) for what a device holds, and straight from the input for
// the rest (creation failures, device list and texts, open, content and properties,
// key and id collections, deletion outcomes and statuses, and which objects of a
// deletion left where the device does not say). Which answers say that a device went
// away comes from device_answers.h. It records what discovery was handed, and what each
// opened device showed and was asked, for the checks, and checks itself what only it
// can see as it happens:
// - no call reaches a device after it answered that it is gone, or after its Close
//   (check 5);
// - a device is not asked more than what it listed can cost (check 5, bound below);
// - every open device is closed once, after everything obtained from it was released
//   (check 6).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz/ptp/fuzzed_phone.h"
#include "ptp/device/device_layer.h"

namespace camvey::fuzz {

// Each object a device hands out can cost the pass at most one Next that hands it out
// (they come in batches), one
// GetValues, two GetStringValue, one GetGuidValue, one GetUnsignedLargeIntegerValue,
// one GetBoolValue and one GetUnsignedIntegerValue, one listing of its own children
// (EnumObjects and the Next that ends it) and one status read of a deletion request: 11
// calls. A device costs besides its Content and Properties, the listing of its root
// (EnumObjects and the Next that ends it), one Delete and one GetCount: 6 calls. Close
// is not counted.
inline constexpr int kCallsPerListedObject = 11;
inline constexpr int kCallsPerDevice = 6;

// One listing a device served.
struct ServedListing {
  std::u16string parent_id;
  std::vector<std::u16string> ids;  // handed out, in order
  // True once the device answered kDeviceFalse before any other ending.
  bool ended_normally = false;
};

// One deletion request a device received.
struct ServedDeletion {
  std::vector<std::u16string> ids;
  DeviceResult result = ptp::kDeviceOk;
  // The statuses the pass read, by index: an element's error code, or empty for an
  // element that is not an error value.
  std::map<std::uint32_t, std::optional<std::int32_t>> statuses_read;
  // By index: whether the object really left the device, which later passes see.
  std::vector<bool> left;
};

// What one opened device object showed and was asked.
struct Connection {
  std::u16string device_id;
  FuzzedDevice* device = nullptr;
  std::vector<ServedListing> listings;
  // Each object read, as the pass saw it.
  std::map<std::u16string, SeenObject> seen;
  KeysAsked keys;  // of the last read
  std::vector<ServedDeletion> deletions;
  int calls = 0;
  int handed_out = 0;
  bool gone = false;  // the device answered that it is gone
  bool closed = false;
  int live_objects = 0;  // obtained from this device and not released

  // Counts one call and checks that it may be made; the answer the call must give
  // because the device is gone, or empty.
  std::optional<DeviceResult> Call();
  // Passes `result` through, noting that the device is gone when it says so.
  DeviceResult Answer(DeviceResult result);
};

// What the device managers handed to discovery: the device ids of the last list read
// that succeeded, and per device every text a read that succeeded left in the reader's
// buffer. A list may name a device twice and its reads may answer differently: each
// read is kept, since discovery may have judged the device on any of them.
struct DiscoveryRecord {
  std::vector<std::u16string> device_ids;
  std::map<std::u16string, std::vector<std::u16string>> friendly_names;
  std::map<std::u16string, std::vector<std::u16string>> manufacturers;
  // That list said it had no room for every device, claimed more ids than it had room
  // for, or held a null entry: an attached device may be missing from it.
  bool cut = false;
  // Devices for which a call reading one of their texts failed.
  std::set<std::u16string> unread;
};

class FuzzedDeviceLayer : public ptp::DeviceLayer {
 public:
  // Borrows `phone`, which must outlive the layer; the layer must outlive every object
  // it hands out.
  explicit FuzzedDeviceLayer(FuzzedPhone* phone);
  ~FuzzedDeviceLayer() override;

  FuzzedDeviceLayer(const FuzzedDeviceLayer&) = delete;
  FuzzedDeviceLayer& operator=(const FuzzedDeviceLayer&) = delete;

  DeviceResult CreateManager(std::unique_ptr<ptp::DeviceManager>* manager) override;
  DeviceResult CreateKeyCollection(std::unique_ptr<ptp::KeyCollection>* keys) override;
  DeviceResult CreateClientInformation(std::unique_ptr<ptp::ClientInformation>* info) override;
  DeviceResult CreateDevice(std::unique_ptr<ptp::PortableDevice>* device) override;
  DeviceResult CreateIdCollection(std::unique_ptr<ptp::IdCollection>* ids) override;

  // Every device object that opened, in order.
  const std::vector<std::unique_ptr<Connection>>& connections() const { return connections_; }
  // Objects handed out and not yet released.
  int live_objects() const { return live_objects_; }
  const DiscoveryRecord& discovery() const { return discovery_; }
  // The devices whose Open failed.
  const std::set<std::u16string>& open_failures() const { return open_failures_; }
  // The keys objects were last read with.
  const KeysAsked& keys() const { return keys_; }

  // For the objects the layer hands out.
  FuzzedPhone& phone() { return phone_; }
  Connection* AddConnection(const std::u16string& device_id);
  void Track(int change) { live_objects_ += change; }
  DiscoveryRecord& discovery() { return discovery_; }
  void NoteOpenFailure(const std::u16string& device_id) { open_failures_.insert(device_id); }
  void NoteKeys(const KeysAsked& keys) { keys_ = keys; }

 private:
  // Mostly kDeviceOk with a new `Made`; else a failure, or a success without an object.
  template <typename Made, typename Interface>
  DeviceResult Create(std::unique_ptr<Interface>* made);

  FuzzedPhone& phone_;
  std::vector<std::unique_ptr<Connection>> connections_;
  int live_objects_ = 0;
  DiscoveryRecord discovery_;
  std::set<std::u16string> open_failures_;
  KeysAsked keys_;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_FUZZED_DEVICE_LAYER_H_
