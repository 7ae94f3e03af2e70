#ifndef CAMVEY_STANDINS_PHONE_SIMULATED_DEVICE_LAYER_H_
#define CAMVEY_STANDINS_PHONE_SIMULATED_DEVICE_LAYER_H_

// A device layer over a simulated Phone: it answers from the model, applies its fault
// switches, applies deletions to the model, and counts every operation and every
// object it hands out.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "ptp/device/device_layer.h"
#include "standins/phone/phone_model.h"

namespace camvey::phone {

// How often each operation was called, successful or not.
struct OperationCounts {
  int create_manager = 0;
  int refresh_device_list = 0;
  int get_devices = 0;
  int get_friendly_name = 0;
  int get_manufacturer = 0;
  int create_key_collection = 0;
  int add_key = 0;
  int create_client_information = 0;
  int set_client_value = 0;
  int create_device = 0;
  int open = 0;
  int content = 0;
  int properties = 0;
  int enum_objects = 0;
  int next = 0;
  int get_values = 0;
  int get_string_value = 0;
  int get_guid_value = 0;
  int get_unsigned_large_integer_value = 0;
  int get_unsigned_integer_value = 0;
  int get_bool_value = 0;
  int get_error_value = 0;
  int create_id_collection = 0;
  int add_id = 0;
  int delete_request = 0;
  int results_count = 0;
  int results_element = 0;
  int close = 0;
};

// One value of a client information, as set.
using ClientValue = std::pair<ptp::ClientKey, std::variant<std::u16string, std::uint32_t>>;

// A device that was opened, with the client information it was opened with.
struct OpenRecord {
  std::u16string device_id;
  std::vector<ClientValue> client_values;
};

class SimulatedDeviceLayer : public ptp::DeviceLayer {
 public:
  // Borrows `phone`, which must outlive the layer; the layer must outlive every object
  // it hands out. Single-threaded, like the objects it stands in for.
  explicit SimulatedDeviceLayer(Phone* phone);
  ~SimulatedDeviceLayer() override;

  SimulatedDeviceLayer(const SimulatedDeviceLayer&) = delete;
  SimulatedDeviceLayer& operator=(const SimulatedDeviceLayer&) = delete;

  ptp::DeviceResult CreateManager(std::unique_ptr<ptp::DeviceManager>* manager) override;
  ptp::DeviceResult CreateKeyCollection(std::unique_ptr<ptp::KeyCollection>* keys) override;
  ptp::DeviceResult CreateClientInformation(std::unique_ptr<ptp::ClientInformation>* info) override;
  ptp::DeviceResult CreateDevice(std::unique_ptr<ptp::PortableDevice>* device) override;
  ptp::DeviceResult CreateIdCollection(std::unique_ptr<ptp::IdCollection>* ids) override;

  const OperationCounts& counts() const;
  // How often the children of `parent_id` on device `device_id` were enumerated.
  int enumerations(const std::u16string& device_id, const std::u16string& parent_id) const;
  // Every enumeration, by (device id, parent id).
  const std::map<std::pair<std::u16string, std::u16string>, int>& all_enumerations() const;
  // Every GetValues of an object, by (device id, the object's parent id).
  const std::map<std::pair<std::u16string, std::u16string>, int>& reads_by_parent() const;
  // Objects handed out and not yet released.
  int live_objects() const;
  // Creation and release of managers, key and id collections, client information,
  // devices (with open and close), contents, properties and deletion results, in order,
  // e.g. "create manager", "open <device id>", "release device".
  const std::vector<std::string>& lifetime_log() const;
  const std::vector<OpenRecord>& opened() const;
  // Forgets every count and log entry (live objects stay counted).
  void ResetCounts();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace camvey::phone

#endif  // CAMVEY_STANDINS_PHONE_SIMULATED_DEVICE_LAYER_H_
