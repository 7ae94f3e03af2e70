#include "standins/phone/simulated_device_layer.h"

#include <algorithm>
#include <optional>

#include "text/wide_text.h"

namespace camvey::phone {

using ptp::ClientKey;
using ptp::DeviceResult;
using ptp::kDeviceFalse;
using ptp::kDeviceOk;
using ptp::ObjectKey;

struct SimulatedDeviceLayer::State {
  Phone* phone = nullptr;
  OperationCounts counts;
  std::map<std::pair<std::u16string, std::u16string>, int> enumerations;
  std::map<std::pair<std::u16string, std::u16string>, int> reads_by_parent;
  int live_objects = 0;
  std::vector<std::string> lifetime_log;
  std::vector<OpenRecord> opened;
};

namespace {

using State = SimulatedDeviceLayer::State;

constexpr DeviceResult kInsufficientBuffer = static_cast<DeviceResult>(0x8007007A);
constexpr DeviceResult kOutOfMemory = static_cast<DeviceResult>(0x8007000E);
constexpr DeviceResult kInvalidArgument = static_cast<DeviceResult>(0x80070057);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): a device that is not attached.
constexpr DeviceResult kNoSuchDevice = static_cast<DeviceResult>(0x80070002);
constexpr DeviceResult kTypeMismatch = static_cast<DeviceResult>(0x80020005);

// Counts itself among the live objects and, when it has a logged kind, logs its
// creation and release.
class Tracked {
 public:
  Tracked(State* state, const char* logged_kind) : state_(state), logged_kind_(logged_kind) {
    ++state_->live_objects;
    if (logged_kind_ != nullptr)
      state_->lifetime_log.push_back(std::string("create ") + logged_kind_);
  }
  virtual ~Tracked() {
    --state_->live_objects;
    if (logged_kind_ != nullptr)
      state_->lifetime_log.push_back(std::string("release ") + logged_kind_);
  }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;

 protected:
  State& state() const { return *state_; }

 private:
  State* state_;
  const char* logged_kind_;
};

class SimKeyCollection : public ptp::KeyCollection, public Tracked {
 public:
  explicit SimKeyCollection(State* state) : Tracked(state, "key collection") {}

  DeviceResult Add(ObjectKey key) override {
    ++state().counts.add_key;
    keys_.push_back(key);
    return kDeviceOk;
  }

  const std::vector<ObjectKey>& keys() const { return keys_; }

 private:
  std::vector<ObjectKey> keys_;
};

class SimClientInformation : public ptp::ClientInformation, public Tracked {
 public:
  explicit SimClientInformation(State* state) : Tracked(state, "client information") {}

  DeviceResult SetStringValue(ClientKey key, const std::u16string& value) override {
    ++state().counts.set_client_value;
    values_.emplace_back(key, value);
    return kDeviceOk;
  }
  DeviceResult SetUnsignedIntegerValue(ClientKey key, std::uint32_t value) override {
    ++state().counts.set_client_value;
    values_.emplace_back(key, value);
    return kDeviceOk;
  }

  const std::vector<ClientValue>& values() const { return values_; }

 private:
  std::vector<ClientValue> values_;
};

class SimManager : public ptp::DeviceManager, public Tracked {
 public:
  explicit SimManager(State* state) : Tracked(state, "manager") { TakeSnapshot(); }

  DeviceResult RefreshDeviceList() override {
    ++state().counts.refresh_device_list;
    if (state().phone->faults.refresh) return kFailed;
    TakeSnapshot();
    return kDeviceOk;
  }

  DeviceResult GetDevices(std::vector<std::optional<std::u16string>>* ids,
                          std::uint32_t* count) override {
    ++state().counts.get_devices;
    const LayerFaults& faults = state().phone->faults;
    if (ids == nullptr) {
      if (faults.device_count) return kFailed;
      const std::size_t seen = snapshot_.size() - (faults.devices_added && !snapshot_.empty());
      *count = faults.huge_device_count ? 0xFFFFFFFFu : static_cast<std::uint32_t>(seen);
      return kDeviceOk;
    }
    if (state().phone->faults.device_ids) return kFailed;
    const std::size_t written = std::min({std::size_t{*count}, ids->size(), snapshot_.size()});
    for (std::size_t i = 0; i < written; ++i) {
      const SimDevice* device = state().phone->FindDevice(snapshot_[i]);
      if (device != nullptr && device->faults.null_id) {
        (*ids)[i].reset();
      } else {
        (*ids)[i] = snapshot_[i];
      }
    }
    *count = static_cast<std::uint32_t>(written);
    return written < snapshot_.size() ? kDeviceFalse : kDeviceOk;
  }

  DeviceResult GetDeviceFriendlyName(const std::u16string& device_id, char16_t* buffer,
                                     std::uint32_t* length) override {
    ++state().counts.get_friendly_name;
    return ReadText(device_id, &SimDevice::friendly_name, &DeviceFaults::friendly_name,
                    "friendly_name", buffer, length);
  }

  DeviceResult GetDeviceManufacturer(const std::u16string& device_id, char16_t* buffer,
                                     std::uint32_t* length) override {
    ++state().counts.get_manufacturer;
    return ReadText(device_id, &SimDevice::manufacturer, &DeviceFaults::manufacturer,
                    "manufacturer", buffer, length);
  }

 private:
  void TakeSnapshot() {
    snapshot_.clear();
    for (const SimDevice& device : state().phone->devices) snapshot_.push_back(device.id);
  }

  DeviceResult ReadText(const std::u16string& device_id, std::u16string SimDevice::*text,
                        bool DeviceFaults::*fault, const char* fault_name, char16_t* buffer,
                        std::uint32_t* length) {
    const SimDevice* device = state().phone->FindDevice(device_id);
    if (device == nullptr) return kNoSuchDevice;
    if (device->faults.*fault) return device->faults.CodeOf(fault_name, kFailed);
    const std::u16string& value = device->*text;
    const auto needed = static_cast<std::uint32_t>(value.size() + 1);
    const std::uint32_t reported = device->faults.length_excludes_nul ? needed - 1 : needed;
    if (buffer == nullptr) {
      *length = reported;
      return kDeviceOk;
    }
    if (*length < needed) return kInsufficientBuffer;
    std::copy(value.begin(), value.end(), buffer);
    buffer[value.size()] = u'\0';
    *length = reported;
    return kDeviceOk;
  }

  std::vector<std::u16string> snapshot_;
};

// Answers as the service's WPD layer does over a driver that answers AnswerNext: an id
// count that disagrees with the ids handed over is a failure, and "no more objects"
// is final.
class SimEnumerator : public ptp::ObjectIdEnumerator, public Tracked {
 public:
  SimEnumerator(State* state, std::shared_ptr<DeviceSession> session,
                std::vector<std::u16string> children)
      : Tracked(state, nullptr), session_(std::move(session)), children_(std::move(children)) {}

  // Counts only the calls that reach the device.
  DeviceResult Next(std::uint32_t count, std::vector<std::u16string>* ids) override {
    ids->clear();
    if (ended_) return kDeviceFalse;
    ++state().counts.next;
    if (const DeviceResult refused = session_->Refusal(); refused != kDeviceOk) return refused;
    const NextAnswer answer = session_->device->AnswerNext(children_, position_, count);
    if (ptp::DeviceFailed(answer.result)) return answer.result;
    ended_ = answer.result == kDeviceFalse;
    const std::size_t from = position_;
    position_ += answer.handed_out;
    if (answer.null_id || answer.claimed != answer.handed_out ||
        (answer.result == kDeviceOk && answer.handed_out < count)) {
      return kUnexpected;
    }
    ids->assign(children_.begin() + static_cast<std::ptrdiff_t>(from),
                children_.begin() + static_cast<std::ptrdiff_t>(position_));
    return answer.result;
  }

 private:
  std::shared_ptr<DeviceSession> session_;
  std::vector<std::u16string> children_;  // as they were when the enumeration began
  std::size_t position_ = 0;
  bool ended_ = false;
};

class SimPropertyValues : public ptp::PropertyValues, public Tracked {
 public:
  SimPropertyValues(State* state, const SimObject& object, std::vector<ObjectKey> keys)
      : Tracked(state, nullptr),
        name_(object.name),
        file_name_(object.file_name),
        type_(object.type),
        size_(object.size),
        can_delete_(object.can_delete),
        access_(object.access),
        faults_(object.faults),
        keys_(std::move(keys)) {}

  DeviceResult GetStringValue(ObjectKey key, std::optional<std::u16string>* value) override {
    ++state().counts.get_string_value;
    if (!Holds(key)) return kNotFound;
    if (key == ObjectKey::kContentType) return kTypeMismatch;
    const bool file_name = key == ObjectKey::kOriginalFileName;
    const std::optional<std::u16string>& text = file_name ? file_name_ : name_;
    // A value the device could not read is an error value, which is no string.
    if ((file_name ? faults_.file_name : faults_.name) || !text.has_value()) return kTypeMismatch;
    *value = text;
    return kDeviceOk;
  }

  DeviceResult GetGuidValue(ObjectKey key, ptp::Guid* value) override {
    ++state().counts.get_guid_value;
    if (!Holds(key)) return kNotFound;
    if (key != ObjectKey::kContentType) return kTypeMismatch;
    if (faults_.content_type) return kTypeMismatch;
    switch (type_) {
      case ContentType::kFolder:
        *value = ptp::kContentTypeFolder;
        return kDeviceOk;
      case ContentType::kFunctionalObject:
        *value = ptp::kContentTypeFunctionalObject;
        return kDeviceOk;
      case ContentType::kImage:
        *value = ptp::kContentTypeImage;
        return kDeviceOk;
      case ContentType::kVideo:
        *value = ptp::kContentTypeVideo;
        return kDeviceOk;
      case ContentType::kOther:
        *value = kContentTypeOther;
        return kDeviceOk;
      case ContentType::kNone:
        break;
    }
    return kTypeMismatch;
  }

  DeviceResult GetUnsignedLargeIntegerValue(ObjectKey key, std::uint64_t* value) override {
    ++state().counts.get_unsigned_large_integer_value;
    if (!Holds(key)) return kNotFound;
    if (key != ObjectKey::kSize || faults_.size || !size_.has_value()) return kTypeMismatch;
    *value = *size_;
    return kDeviceOk;
  }

  DeviceResult GetUnsignedIntegerValue(ObjectKey key, std::uint32_t* value) override {
    ++state().counts.get_unsigned_integer_value;
    if (!Holds(key)) return kNotFound;
    if (key != ObjectKey::kStorageAccessCapability || faults_.access || !access_.has_value()) {
      return kTypeMismatch;
    }
    *value = *access_;
    return kDeviceOk;
  }

  DeviceResult GetBoolValue(ObjectKey key, bool* value) override {
    ++state().counts.get_bool_value;
    if (!Holds(key)) return kNotFound;
    if (key != ObjectKey::kCanDelete || faults_.can_delete || !can_delete_.has_value()) {
      return kTypeMismatch;
    }
    *value = *can_delete_;
    return kDeviceOk;
  }

  // A value the object does not have is an error value "not supported", one that could
  // not be read an error value "failed", as a driver answers them.
  DeviceResult GetErrorValue(ObjectKey key, DeviceResult* reason) override {
    ++state().counts.get_error_value;
    if (!Holds(key)) return kNotFound;
    bool has = false;
    bool fault = false;
    switch (key) {
      case ObjectKey::kOriginalFileName:
        has = file_name_.has_value();
        fault = faults_.file_name;
        break;
      case ObjectKey::kName:
        has = name_.has_value();
        fault = faults_.name;
        break;
      case ObjectKey::kContentType:
        has = type_ != ContentType::kNone;
        fault = faults_.content_type;
        break;
      case ObjectKey::kSize:
        has = size_.has_value();
        fault = faults_.size;
        break;
      case ObjectKey::kCanDelete:
        has = can_delete_.has_value();
        fault = faults_.can_delete;
        break;
      case ObjectKey::kStorageAccessCapability:
        has = access_.has_value();
        fault = faults_.access;
        break;
    }
    if (has && !fault) return kTypeMismatch;
    *reason = fault ? kFailed : kNotSupported;
    return kDeviceOk;
  }

 private:
  bool Holds(ObjectKey key) const {
    return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
  }

  // The properties as they were when read.
  std::optional<std::u16string> name_;
  std::optional<std::u16string> file_name_;
  ContentType type_;
  std::optional<std::uint64_t> size_;
  std::optional<bool> can_delete_;
  std::optional<std::uint32_t> access_;
  ObjectFaults faults_;
  std::vector<ObjectKey> keys_;
};

class SimProperties : public ptp::DeviceProperties, public Tracked {
 public:
  SimProperties(State* state, std::shared_ptr<DeviceSession> session)
      : Tracked(state, "properties"), session_(std::move(session)) {}

  DeviceResult GetValues(const std::u16string& object_id, ptp::KeyCollection& keys,
                         std::unique_ptr<ptp::PropertyValues>* values) override {
    ++state().counts.get_values;
    if (const DeviceResult refused = session_->Refusal(); refused != kDeviceOk) return refused;
    const SimObject* object = session_->device->Find(object_id);
    if (object == nullptr) return kNotFound;
    ++state().reads_by_parent[{session_->device->id, object->parent_id}];
    if (object->faults.get_values) return kFailed;
    *values = std::make_unique<SimPropertyValues>(&state(), *object,
                                                  static_cast<SimKeyCollection&>(keys).keys());
    const bool all_read = !object->faults.file_name && !object->faults.name &&
                          !object->faults.content_type && object->file_name.has_value() &&
                          object->name.has_value() && object->type != ContentType::kNone;
    return all_read ? kDeviceOk : kDeviceFalse;
  }

 private:
  std::shared_ptr<DeviceSession> session_;
};

class SimIdCollection : public ptp::IdCollection, public Tracked {
 public:
  explicit SimIdCollection(State* state) : Tracked(state, "id collection") {}

  DeviceResult Add(const std::u16string& object_id) override {
    ++state().counts.add_id;
    for (const SimDevice& device : state().phone->devices) {
      const SimObject* object = device.Find(object_id);
      if (object != nullptr && object->faults.copy_id) return kOutOfMemory;
    }
    ids_.push_back(object_id);
    return kDeviceOk;
  }

  const std::vector<std::u16string>& ids() const { return ids_; }

 private:
  std::vector<std::u16string> ids_;
};

class SimDeleteResults : public ptp::DeleteResults, public Tracked {
 public:
  // `statuses` as the device gave them; an empty one is no error value.
  SimDeleteResults(State* state, std::vector<std::optional<std::int32_t>> statuses,
                   std::vector<bool> element_faults, bool count_fault)
      : Tracked(state, "delete results"),
        statuses_(std::move(statuses)),
        element_faults_(std::move(element_faults)),
        count_fault_(count_fault) {}

  DeviceResult GetCount(std::uint32_t* count) override {
    ++state().counts.results_count;
    if (count_fault_) return kFailed;
    *count = static_cast<std::uint32_t>(statuses_.size());
    return kDeviceOk;
  }

  DeviceResult GetAt(std::uint32_t index, std::optional<std::int32_t>* error_code) override {
    ++state().counts.results_element;
    if (index >= statuses_.size()) return kInvalidArgument;
    if (element_faults_[index]) return kFailed;
    *error_code = statuses_[index];
    return kDeviceOk;
  }

 private:
  std::vector<std::optional<std::int32_t>> statuses_;
  std::vector<bool> element_faults_;
  bool count_fault_;
};

class SimContent : public ptp::DeviceContent, public Tracked {
 public:
  SimContent(State* state, std::shared_ptr<DeviceSession> session)
      : Tracked(state, "content"), session_(std::move(session)) {}

  DeviceResult Properties(std::unique_ptr<ptp::DeviceProperties>* properties) override {
    ++state().counts.properties;
    if (const DeviceResult refused = session_->Refusal(); refused != kDeviceOk) return refused;
    if (device().faults.properties) return device().faults.CodeOf("properties", kFailed);
    *properties = std::make_unique<SimProperties>(&state(), session_);
    return kDeviceOk;
  }

  DeviceResult EnumObjects(const std::u16string& parent_id,
                           std::unique_ptr<ptp::ObjectIdEnumerator>* enumerator) override {
    ++state().counts.enum_objects;
    ++state().enumerations[{device().id, parent_id}];
    if (const DeviceResult refused = session_->Refusal(); refused != kDeviceOk) return refused;
    const SimObject* parent = device().Find(parent_id);
    if (parent == nullptr) return kNotFound;
    if (parent->faults.enum_objects) return kFailed;
    *enumerator = std::make_unique<SimEnumerator>(&state(), session_, parent->children);
    return kDeviceOk;
  }

  DeviceResult Delete(ptp::IdCollection& ids,
                      std::unique_ptr<ptp::DeleteResults>* results) override {
    ++state().counts.delete_request;
    if (const DeviceResult refused = session_->Refusal(); refused != kDeviceOk) return refused;
    const DeviceFaults& faults = device().faults;
    if (faults.delete_request) return faults.CodeOf("delete", kFailed);
    const std::vector<std::u16string>& object_ids = static_cast<SimIdCollection&>(ids).ids();
    if (faults.delete_fails_after.has_value() && object_ids.size() > *faults.delete_fails_after) {
      const std::vector<std::u16string> deleted_first(
          object_ids.begin(),
          object_ids.begin() + static_cast<std::ptrdiff_t>(*faults.delete_fails_after));
      device().Delete(deleted_first, &state().phone->deleted);
      return kFailed;
    }
    std::vector<ObjectFaults> object_faults;
    object_faults.reserve(object_ids.size());
    const std::vector<std::int32_t> deleted =
        device().Delete(object_ids, &state().phone->deleted, &object_faults);
    std::vector<bool> element_faults;
    std::vector<bool> not_errors;
    for (const ObjectFaults& object : object_faults) {
      element_faults.push_back(object.result_element);
      not_errors.push_back(object.status_not_error);
    }
    const bool all_deleted = std::all_of(deleted.begin(), deleted.end(),
                                         [](std::int32_t status) { return status == 0; });
    if (!faults.no_results) {
      std::vector<std::optional<std::int32_t>> statuses;
      for (std::size_t i = 0; i < deleted.size(); ++i) {
        statuses.push_back(not_errors[i] ? std::nullopt : std::optional(deleted[i]));
      }
      if (faults.short_results.has_value() && statuses.size() > *faults.short_results) {
        statuses.resize(*faults.short_results);
        element_faults.resize(*faults.short_results);
      }
      *results = std::make_unique<SimDeleteResults>(
          &state(), std::move(statuses), std::move(element_faults), faults.results_count);
    }
    return all_deleted ? kDeviceOk : kDeviceFalse;
  }

 private:
  SimDevice& device() const { return *session_->device; }

  std::shared_ptr<DeviceSession> session_;
};

class SimPortableDevice : public ptp::PortableDevice, public Tracked {
 public:
  explicit SimPortableDevice(State* state) : Tracked(state, "device") {}
  // Releasing the device object closes it too.
  ~SimPortableDevice() override {
    if (session_ != nullptr) session_->open = false;
  }

  DeviceResult Open(const std::u16string& device_id,
                    ptp::ClientInformation& client_information) override {
    ++state().counts.open;
    state().lifetime_log.push_back("open " + text::WideToUtf8(device_id));
    SimDevice* device = state().phone->FindDevice(device_id);
    if (device == nullptr) return kNoSuchDevice;
    if (const DeviceResult gone = device->AnswerCall(); gone != kDeviceOk) return gone;
    if (device->faults.open) return device->faults.CodeOf("open", kBusy);
    state().opened.push_back(
        {device_id, static_cast<SimClientInformation&>(client_information).values()});
    session_ = std::make_shared<DeviceSession>();
    session_->device = device;
    return kDeviceOk;
  }

  DeviceResult Content(std::unique_ptr<ptp::DeviceContent>* content) override {
    ++state().counts.content;
    if (session_ == nullptr) return kWpdDeviceNotOpen;
    if (const DeviceResult refused = session_->Refusal(); refused != kDeviceOk) return refused;
    if (session_->device->faults.content) {
      return session_->device->faults.CodeOf("content", kFailed);
    }
    *content = std::make_unique<SimContent>(&state(), session_);
    return kDeviceOk;
  }

  // Closes the device all the same when it fails.
  DeviceResult Close() override {
    ++state().counts.close;
    state().lifetime_log.push_back("close device");
    if (session_ == nullptr) return kWpdDeviceNotOpen;
    const DeviceResult result = session_->Close();
    session_.reset();
    return result;
  }

 private:
  std::shared_ptr<DeviceSession> session_;  // while open
};

}  // namespace

SimulatedDeviceLayer::SimulatedDeviceLayer(Phone* phone) : state_(std::make_unique<State>()) {
  state_->phone = phone;
}

SimulatedDeviceLayer::~SimulatedDeviceLayer() = default;

DeviceResult SimulatedDeviceLayer::CreateManager(std::unique_ptr<ptp::DeviceManager>* manager) {
  ++state_->counts.create_manager;
  if (state_->phone->faults.create_manager) return kFailed;
  *manager = std::make_unique<SimManager>(state_.get());
  return kDeviceOk;
}

DeviceResult SimulatedDeviceLayer::CreateKeyCollection(std::unique_ptr<ptp::KeyCollection>* keys) {
  ++state_->counts.create_key_collection;
  if (state_->phone->faults.create_key_collection) return kFailed;
  *keys = std::make_unique<SimKeyCollection>(state_.get());
  return kDeviceOk;
}

DeviceResult SimulatedDeviceLayer::CreateClientInformation(
    std::unique_ptr<ptp::ClientInformation>* info) {
  ++state_->counts.create_client_information;
  if (state_->phone->faults.create_client_information) return kFailed;
  *info = std::make_unique<SimClientInformation>(state_.get());
  return kDeviceOk;
}

DeviceResult SimulatedDeviceLayer::CreateDevice(std::unique_ptr<ptp::PortableDevice>* device) {
  ++state_->counts.create_device;
  if (state_->phone->faults.create_device) return kFailed;
  *device = std::make_unique<SimPortableDevice>(state_.get());
  return kDeviceOk;
}

DeviceResult SimulatedDeviceLayer::CreateIdCollection(std::unique_ptr<ptp::IdCollection>* ids) {
  ++state_->counts.create_id_collection;
  if (state_->phone->faults.create_id_collection) return kFailed;
  *ids = std::make_unique<SimIdCollection>(state_.get());
  return kDeviceOk;
}

const OperationCounts& SimulatedDeviceLayer::counts() const { return state_->counts; }

int SimulatedDeviceLayer::enumerations(const std::u16string& device_id,
                                       const std::u16string& parent_id) const {
  const auto found = state_->enumerations.find({device_id, parent_id});
  return found == state_->enumerations.end() ? 0 : found->second;
}

const std::map<std::pair<std::u16string, std::u16string>, int>&
SimulatedDeviceLayer::all_enumerations() const {
  return state_->enumerations;
}

const std::map<std::pair<std::u16string, std::u16string>, int>&
SimulatedDeviceLayer::reads_by_parent() const {
  return state_->reads_by_parent;
}

int SimulatedDeviceLayer::live_objects() const { return state_->live_objects; }

const std::vector<std::string>& SimulatedDeviceLayer::lifetime_log() const {
  return state_->lifetime_log;
}

const std::vector<OpenRecord>& SimulatedDeviceLayer::opened() const { return state_->opened; }

void SimulatedDeviceLayer::ResetCounts() {
  state_->counts = OperationCounts();
  state_->enumerations.clear();
  state_->reads_by_parent.clear();
  state_->lifetime_log.clear();
  state_->opened.clear();
}

}  // namespace camvey::phone
