#include "standins/phone/phone_json.h"

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <utility>

#include "standins/phone/json_document.h"
#include "text/wide_text.h"

namespace camvey::phone {
namespace {

using nlohmann::json;
// Written documents keep the key order of the format: id first, children last.
using OrderedJson = nlohmann::ordered_json;

// A problem in the document, already phrased as its one-line message.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw FormatError(where.empty() ? what : where + ": " + what);
}

template <typename Faults>
using FaultTable = std::initializer_list<std::pair<const char*, bool Faults::*>>;

const FaultTable<LayerFaults> kLayerFaults = {
    {"create_manager", &LayerFaults::create_manager},
    {"refresh", &LayerFaults::refresh},
    {"device_count", &LayerFaults::device_count},
    {"huge_device_count", &LayerFaults::huge_device_count},
    {"devices_added", &LayerFaults::devices_added},
    {"device_ids", &LayerFaults::device_ids},
    {"create_key_collection", &LayerFaults::create_key_collection},
    {"create_client_information", &LayerFaults::create_client_information},
    {"create_device", &LayerFaults::create_device},
    {"create_id_collection", &LayerFaults::create_id_collection},
};

const FaultTable<DeviceFaults> kDeviceFaults = {
    {"null_id", &DeviceFaults::null_id},
    {"friendly_name", &DeviceFaults::friendly_name},
    {"manufacturer", &DeviceFaults::manufacturer},
    {"open", &DeviceFaults::open},
    {"content", &DeviceFaults::content},
    {"properties", &DeviceFaults::properties},
    {"delete", &DeviceFaults::delete_request},
    {"no_results", &DeviceFaults::no_results},
    {"results_count", &DeviceFaults::results_count},
    {"close", &DeviceFaults::close},
    {"false_with_last_id", &DeviceFaults::false_with_last_id},
    {"ok_without_id", &DeviceFaults::ok_without_id},
};

const FaultTable<ObjectFaults> kObjectFaults = {
    {"enum_objects", &ObjectFaults::enum_objects},
    {"next", &ObjectFaults::next},
    {"next_null_id", &ObjectFaults::next_null_id},
    {"next_extra_id", &ObjectFaults::next_extra_id},
    {"get_values", &ObjectFaults::get_values},
    {"file_name", &ObjectFaults::file_name},
    {"name", &ObjectFaults::name},
    {"content_type", &ObjectFaults::content_type},
    {"size", &ObjectFaults::size},
    {"can_delete", &ObjectFaults::can_delete},
    {"access", &ObjectFaults::access},
    {"copy_id", &ObjectFaults::copy_id},
    {"refuse", &ObjectFaults::refuse},
    {"result_element", &ObjectFaults::result_element},
    {"status_not_error", &ObjectFaults::status_not_error},
};

const std::initializer_list<std::pair<const char*, ContentType>> kContentTypes = {
    {"folder", ContentType::kFolder}, {"functional", ContentType::kFunctionalObject},
    {"image", ContentType::kImage},   {"video", ContentType::kVideo},
    {"other", ContentType::kOther},
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void CheckObject(const json& value, const std::string& where,
                 std::initializer_list<const char*> allowed_keys) {
  if (!value.is_object()) Fail(where, "must be an object");
  for (const auto& item : value.items()) {
    bool known = false;
    for (const char* key : allowed_keys) known = known || item.key() == key;
    if (!known) Fail(where, "unknown key " + Quoted(item.key()));
  }
}

std::u16string RequiredString(const json& object, const char* key, const std::string& where) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) {
    Fail(where, Quoted(key) + " must be a string");
  }
  return text::Utf8ToWide(found->get<std::string>());
}

// Absent: `absent`. Null: no value. A string: that string.
std::optional<std::u16string> OptionalString(const json& object, const char* key,
                                             const std::string& where,
                                             std::optional<std::u16string> absent) {
  const auto found = object.find(key);
  if (found == object.end()) return absent;
  if (found->is_null()) return std::nullopt;
  if (!found->is_string()) Fail(where, Quoted(key) + " must be a string or null");
  return text::Utf8ToWide(found->get<std::string>());
}

const json* OptionalArray(const json& object, const char* key, const std::string& where) {
  const auto found = object.find(key);
  if (found == object.end()) return nullptr;
  if (!found->is_array()) Fail(where, Quoted(key) + " must be a list");
  return &*found;
}

template <typename Faults>
void ReadFaults(const json& object, const std::string& where, const FaultTable<Faults>& table,
                Faults* faults) {
  const json* list = OptionalArray(object, "faults", where);
  if (list == nullptr) return;
  for (const json& fault : *list) {
    bool known = false;
    if (fault.is_string()) {
      for (const auto& [name, member] : table) {
        if (fault.get<std::string>() == name) {
          faults->*member = true;
          known = true;
        }
      }
    }
    if (!known) Fail(where, "unknown fault " + fault.dump());
  }
}

template <typename Faults>
void WriteFaults(const Faults& faults, const FaultTable<Faults>& table, OrderedJson* object) {
  OrderedJson list = OrderedJson::array();
  for (const auto& [name, member] : table) {
    if (faults.*member) list.push_back(name);
  }
  if (!list.empty()) (*object)["faults"] = std::move(list);
}

// An error code under `key`. Codes are written either signed or as their unsigned
// 32-bit form. A failure must be an error code (negative): a phone that kept an object
// while reporting it deleted is not a phone this model describes.
std::int32_t ReadErrorCode(const json& value, const std::string& key, const std::string& where) {
  if (value.is_number_integer()) {
    const auto code = value.get<std::int64_t>();
    if (code >= std::numeric_limits<std::int32_t>::min() &&
        code <= std::numeric_limits<std::uint32_t>::max()) {
      const auto status = static_cast<std::int32_t>(static_cast<std::uint32_t>(code));
      if (status < 0) return status;
    }
  }
  Fail(where, Quoted(key) + " must be a negative 32-bit error code");
}

// An unsigned 32-bit count under `key`, if present.
std::optional<std::uint32_t> OptionalCount(const json& object, const char* key,
                                           const std::string& where) {
  const auto found = object.find(key);
  if (found == object.end()) return std::nullopt;
  if (!found->is_number_unsigned() ||
      found->get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
    Fail(where, Quoted(key) + " must be a count");
  }
  return found->get<std::uint32_t>();
}

// A byte count under "size", if present: any unsigned 64-bit number, as WPD gives it.
std::optional<std::uint64_t> OptionalSize(const json& object, const std::string& where) {
  const auto found = object.find("size");
  if (found == object.end()) return std::nullopt;
  if (!found->is_number_unsigned()) {
    Fail(where, "\"size\" must be a byte count from 0 to 18446744073709551615");
  }
  return found->get<std::uint64_t>();
}

// A deletion flag under "can_delete", if present.
std::optional<bool> OptionalCanDelete(const json& object, const std::string& where) {
  const auto found = object.find("can_delete");
  if (found == object.end()) return std::nullopt;
  if (!found->is_boolean()) Fail(where, "\"can_delete\" must be true or false");
  return found->get<bool>();
}

// A storage access capability under "access", if present: 0 read and write, 1 read-only
// without object deletion, 2 read-only with object deletion, the values WPD defines.
std::optional<std::uint32_t> OptionalAccess(const json& object, const std::string& where) {
  const auto found = object.find("access");
  if (found == object.end()) return std::nullopt;
  if (!found->is_number_unsigned() || found->get<std::uint64_t>() > 2) {
    Fail(where, "\"access\" must be 0, 1 or 2");
  }
  return found->get<std::uint32_t>();
}

// Enough for any storage a test needs, few enough that a typing slip cannot exhaust
// memory.
constexpr std::uint32_t kMaxFiller = 1000000;

std::uint32_t ReadFillerCount(const json& object, const std::string& where) {
  const auto found = object.find("filler");
  if (found == object.end()) return 0;
  if (!found->is_number_unsigned() || found->get<std::uint64_t>() > kMaxFiller) {
    Fail(where, "\"filler\" must be a count of at most " + std::to_string(kMaxFiller));
  }
  return found->get<std::uint32_t>();
}

void ReadObject(const json& value, const std::u16string& parent_id, bool is_storage,
                const std::string& where, SimDevice* device) {
  CheckObject(value, where,
              {"id", "name", "file_name", "type", "size", "can_delete", "access", "children",
               "filler", "faults", "refuse_code"});
  SimObject object;
  object.id = RequiredString(value, "id", where);
  if (object.id.empty()) Fail(where, "\"id\" must not be empty");
  object.parent_id = parent_id;
  object.name = OptionalString(value, "name", where, std::nullopt);
  object.file_name = OptionalString(value, "file_name", where, object.name);
  object.size = OptionalSize(value, where);
  object.can_delete = OptionalCanDelete(value, where);
  object.access = OptionalAccess(value, where);
  const json* children = OptionalArray(value, "children", where);
  const std::uint32_t filler = ReadFillerCount(value, where);

  const auto type = value.find("type");
  if (type == value.end()) {
    object.type = is_storage                          ? ContentType::kFunctionalObject
                  : children != nullptr || filler > 0 ? ContentType::kFolder
                                                      : ContentType::kImage;
  } else if (type->is_null()) {
    object.type = ContentType::kNone;
  } else {
    bool known = false;
    for (const auto& [name, content_type] : kContentTypes) {
      if (type->is_string() && type->get<std::string>() == name) {
        object.type = content_type;
        known = true;
      }
    }
    if (!known) Fail(where, "unknown type " + type->dump());
  }
  ReadFaults(value, where, kObjectFaults, &object.faults);
  const auto refuse_code = value.find("refuse_code");
  if (refuse_code != value.end()) {
    object.refuse_code = ReadErrorCode(*refuse_code, "refuse_code", where);
  }

  const std::u16string id = object.id;
  if (!device->Add(std::move(object))) {
    Fail(where, "id " + Quoted(text::WideToUtf8(id)) + " is used twice on this device");
  }
  if (children != nullptr) {
    for (std::size_t i = 0; i < children->size(); ++i) {
      ReadObject((*children)[i], id, false, where + ".children[" + std::to_string(i) + "]", device);
    }
  }
  for (std::uint32_t i = 1; i <= filler; ++i) {
    SimObject image;
    image.id = id + u"#" + text::Utf8ToWide(std::to_string(i));
    image.parent_id = id;
    image.name = u"FILLER_" + text::Utf8ToWide(std::to_string(i)) + u".JPG";
    image.file_name = image.name;
    const std::string image_id = text::WideToUtf8(image.id);
    if (!device->Add(std::move(image))) {
      Fail(where, "filler id " + Quoted(image_id) + " is used twice on this device");
    }
  }
}

void ReadDevice(const json& value, const std::string& where, Phone* phone) {
  CheckObject(value, where,
              {"id", "friendly_name", "manufacturer", "faults", "fault_codes", "short_results",
               "length_excludes_nul", "delete_fails_after", "gone_after", "gone_code",
               "gone_delay_ms", "storages"});
  SimDevice device;
  device.id = RequiredString(value, "id", where);
  if (phone->FindDevice(device.id) != nullptr) Fail(where, "the device id is used twice");
  device.friendly_name = OptionalString(value, "friendly_name", where, u"").value_or(u"");
  device.manufacturer = OptionalString(value, "manufacturer", where, u"").value_or(u"");
  ReadFaults(value, where, kDeviceFaults, &device.faults);
  const auto fault_codes = value.find("fault_codes");
  if (fault_codes != value.end()) {
    if (!fault_codes->is_object()) Fail(where, "\"fault_codes\" must be an object");
    for (const auto& [fault, code] : fault_codes->items()) {
      bool known = false;
      for (const auto& entry : kDeviceFaults) known = known || fault == entry.first;
      if (!known) Fail(where, "\"fault_codes\" names an unknown fault " + Quoted(fault));
      device.faults.fault_codes[fault] = ReadErrorCode(code, fault, where);
    }
  }
  device.faults.short_results = OptionalCount(value, "short_results", where);
  device.faults.delete_fails_after = OptionalCount(value, "delete_fails_after", where);
  device.faults.gone_after = OptionalCount(value, "gone_after", where);
  const auto gone_code = value.find("gone_code");
  if (gone_code != value.end()) {
    device.faults.gone_code = ReadErrorCode(*gone_code, "gone_code", where);
  }
  device.faults.gone_delay_ms = OptionalCount(value, "gone_delay_ms", where).value_or(0);
  const auto length_excludes_nul = value.find("length_excludes_nul");
  if (length_excludes_nul != value.end()) {
    if (!length_excludes_nul->is_boolean())
      Fail(where, "\"length_excludes_nul\" must be true or false");
    device.faults.length_excludes_nul = length_excludes_nul->get<bool>();
  }
  if (const json* storages = OptionalArray(value, "storages", where)) {
    for (std::size_t i = 0; i < storages->size(); ++i) {
      ReadObject((*storages)[i], kRootId, true, where + ".storages[" + std::to_string(i) + "]",
                 &device);
    }
  }
  phone->devices.push_back(std::move(device));
}

OrderedJson WriteObject(const SimDevice& device, const SimObject& object, bool is_storage) {
  OrderedJson value = OrderedJson::object();
  value["id"] = text::WideToUtf8(object.id);
  if (object.name.has_value()) value["name"] = text::WideToUtf8(*object.name);
  if (object.file_name != object.name) {
    value["file_name"] = object.file_name.has_value()
                             ? OrderedJson(text::WideToUtf8(*object.file_name))
                             : OrderedJson(nullptr);
  }
  const ContentType implied = is_storage                 ? ContentType::kFunctionalObject
                              : !object.children.empty() ? ContentType::kFolder
                                                         : ContentType::kImage;
  if (object.type == ContentType::kNone) {
    value["type"] = nullptr;
  } else if (object.type != implied) {
    for (const auto& [name, content_type] : kContentTypes) {
      if (content_type == object.type) value["type"] = name;
    }
  }
  if (object.size.has_value()) value["size"] = *object.size;
  if (object.can_delete.has_value()) value["can_delete"] = *object.can_delete;
  if (object.access.has_value()) value["access"] = *object.access;
  WriteFaults(object.faults, kObjectFaults, &value);
  if (object.refuse_code != kAccessDenied) value["refuse_code"] = object.refuse_code;
  if (!object.children.empty()) {
    OrderedJson children = OrderedJson::array();
    for (const std::u16string& child : object.children) {
      children.push_back(WriteObject(device, *device.Find(child), false));
    }
    value["children"] = std::move(children);
  }
  return value;
}

}  // namespace

bool ReadPhoneJson(const std::string& text, Phone* phone, std::string* problem) {
  json document;
  if (!ParseJsonDocument(text, &document, problem)) return false;
  try {
    Phone read;
    CheckObject(document, "", {"faults", "devices"});
    ReadFaults(document, "", kLayerFaults, &read.faults);
    const json* devices = OptionalArray(document, "devices", "");
    if (devices == nullptr) Fail("", "\"devices\" must be a list");
    for (std::size_t i = 0; i < devices->size(); ++i) {
      ReadDevice((*devices)[i], "devices[" + std::to_string(i) + "]", &read);
    }
    *phone = std::move(read);
    return true;
  } catch (const FormatError& error) {
    *problem = error.what();
  }
  return false;
}

std::string WritePhoneJson(const Phone& phone) {
  OrderedJson document = OrderedJson::object();
  WriteFaults(phone.faults, kLayerFaults, &document);
  OrderedJson devices = OrderedJson::array();
  for (const SimDevice& device : phone.devices) {
    OrderedJson value = OrderedJson::object();
    value["id"] = text::WideToUtf8(device.id);
    if (!device.friendly_name.empty())
      value["friendly_name"] = text::WideToUtf8(device.friendly_name);
    if (!device.manufacturer.empty()) value["manufacturer"] = text::WideToUtf8(device.manufacturer);
    const DeviceFaults& faults = device.faults;
    WriteFaults(faults, kDeviceFaults, &value);
    if (!faults.fault_codes.empty()) {
      OrderedJson codes = OrderedJson::object();
      for (const auto& [fault, code] : faults.fault_codes) codes[fault] = code;
      value["fault_codes"] = std::move(codes);
    }
    if (faults.short_results.has_value()) value["short_results"] = *faults.short_results;
    if (faults.length_excludes_nul) value["length_excludes_nul"] = true;
    if (faults.delete_fails_after.has_value()) {
      value["delete_fails_after"] = *faults.delete_fails_after;
    }
    if (faults.gone_after.has_value()) value["gone_after"] = *faults.gone_after;
    if (faults.gone_code != kNotConnected) value["gone_code"] = faults.gone_code;
    if (faults.gone_delay_ms != 0) value["gone_delay_ms"] = faults.gone_delay_ms;
    OrderedJson storages = OrderedJson::array();
    for (const std::u16string& storage : device.Find(kRootId)->children) {
      storages.push_back(WriteObject(device, *device.Find(storage), true));
    }
    value["storages"] = std::move(storages);
    devices.push_back(std::move(value));
  }
  document["devices"] = std::move(devices);
  return document.dump(2) + "\n";
}

}  // namespace camvey::phone
