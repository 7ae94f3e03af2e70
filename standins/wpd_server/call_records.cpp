#include "standins/wpd_server/call_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "ptp/device/com_holders_win.h"
#include "text/wide_text.h"

namespace camvey::phone::wpd {
namespace {

std::string Utf8(const std::u16string& text) { return text::WideToUtf8(text); }

std::string Utf8(const wchar_t* text) {
  if (text == nullptr) return {};
  return text::WideToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text)));
}

bool SameKey(const PROPERTYKEY& lhs, const PROPERTYKEY& rhs) {
  return lhs.fmtid == rhs.fmtid && lhs.pid == rhs.pid;
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

// The value of a client-information entry: text for strings, a number for unsigned
// 32-bit values, nothing for other types.
std::optional<nlohmann::json> ValueJson(const PROPVARIANT& value) {
  switch (value.vt) {
    case VT_LPWSTR:
      if (value.pwszVal == nullptr) return nlohmann::json(nullptr);
      return nlohmann::json(Utf8(value.pwszVal));
    case VT_UI4:
      return nlohmann::json(value.ulVal);
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string PropertyKeyName(const PROPERTYKEY& key) {
  static const std::pair<const PROPERTYKEY*, const char*> kNames[] = {
      {&WPD_OBJECT_ID, "WPD_OBJECT_ID"},
      {&WPD_OBJECT_PARENT_ID, "WPD_OBJECT_PARENT_ID"},
      {&WPD_OBJECT_NAME, "WPD_OBJECT_NAME"},
      {&WPD_OBJECT_CONTENT_TYPE, "WPD_OBJECT_CONTENT_TYPE"},
      {&WPD_OBJECT_ORIGINAL_FILE_NAME, "WPD_OBJECT_ORIGINAL_FILE_NAME"},
      {&WPD_OBJECT_SIZE, "WPD_OBJECT_SIZE"},
      {&WPD_OBJECT_CAN_DELETE, "WPD_OBJECT_CAN_DELETE"},
      {&WPD_STORAGE_ACCESS_CAPABILITY, "WPD_STORAGE_ACCESS_CAPABILITY"},
      {&WPD_CLIENT_NAME, "WPD_CLIENT_NAME"},
      {&WPD_CLIENT_MAJOR_VERSION, "WPD_CLIENT_MAJOR_VERSION"},
      {&WPD_CLIENT_MINOR_VERSION, "WPD_CLIENT_MINOR_VERSION"},
      {&WPD_CLIENT_REVISION, "WPD_CLIENT_REVISION"},
      {&WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE, "WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE"},
      {&WPD_CLIENT_DESIRED_ACCESS, "WPD_CLIENT_DESIRED_ACCESS"},
  };
  for (const auto& [known, name] : kNames) {
    if (SameKey(*known, key)) return name;
  }
  return GuidText(key.fmtid) + " " + std::to_string(key.pid);
}

std::string VarTypeName(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
      return "VT_EMPTY";
    case VT_LPWSTR:
      return "VT_LPWSTR";
    case VT_BSTR:
      return "VT_BSTR";
    case VT_UI4:
      return "VT_UI4";
    case VT_CLSID:
      return "VT_CLSID";
    case VT_ERROR:
      return "VT_ERROR";
    default:
      return std::to_string(type);
  }
}

void CallRecords::CountCall(std::string_view method) {
  const auto found = calls_.find(method);
  if (found != calls_.end()) {
    ++found->second;
  } else {
    calls_.emplace(std::string(method), 1);
  }
}

void CallRecords::RecordOpen(const std::u16string& device_id,
                             IPortableDeviceValues* client_information) {
  nlohmann::json values = nlohmann::json::array();
  DWORD count = 0;
  if (client_information != nullptr && SUCCEEDED(client_information->GetCount(&count))) {
    for (DWORD index = 0; index < count; ++index) {
      PROPERTYKEY key = {};
      ptp::PropVariantHolder value;
      const HRESULT read = client_information->GetAt(index, &key, value.Receive());
      if (FAILED(read)) continue;
      nlohmann::json entry = {{"key", PropertyKeyName(key)}, {"type", VarTypeName(value.get().vt)}};
      if (const auto text = ValueJson(value.get())) entry["value"] = *text;
      values.push_back(std::move(entry));
    }
  }
  opens_.push_back({{"device", Utf8(device_id)}, {"client_information", std::move(values)}});
}

void CallRecords::RecordEnumeration(const std::u16string& device_id,
                                    const std::u16string& parent_id, DWORD flags, bool filter) {
  ++enumerations_[Utf8(device_id)][Utf8(parent_id)];
  ++enumeration_flags_[std::to_string(flags)];
  if (filter) ++enumerations_with_filter_;
}

void CallRecords::RecordNext(ULONG count) { ++next_counts_[count]; }

void CallRecords::RecordKeySet(const std::vector<PROPERTYKEY>& keys) {
  for (auto& [known, calls] : key_sets_) {
    if (known.size() == keys.size() &&
        std::equal(known.begin(), known.end(), keys.begin(), SameKey)) {
      ++calls;
      return;
    }
  }
  key_sets_.emplace_back(keys, 1);
}

void CallRecords::RecordDelete(const std::u16string& device_id, DWORD options,
                               const std::vector<VARTYPE>& types,
                               const std::vector<std::u16string>& ids) {
  nlohmann::json type_names = nlohmann::json::array();
  for (const VARTYPE type : types) type_names.push_back(VarTypeName(type));
  nlohmann::json id_texts = nlohmann::json::array();
  for (const std::u16string& id : ids) id_texts.push_back(Utf8(id));
  const std::string device = Utf8(device_id);
  ++delete_calls_[device];
  deletes_.push_back(
      {{"device", device}, {"options", options}, {"id_types", type_names}, {"ids", id_texts}});
}

void CallRecords::RecordDeviceRelease(const std::u16string& device_id, bool open) {
  released_devices_.push_back({{"device", Utf8(device_id)}, {"open", open}});
}

nlohmann::json CallRecords::ToJson() const {
  nlohmann::json next_counts = nlohmann::json::object();
  for (const auto& [count, calls] : next_counts_) next_counts[std::to_string(count)] = calls;
  nlohmann::json key_sets = nlohmann::json::array();
  for (const auto& [keys, calls] : key_sets_) {
    nlohmann::json names = nlohmann::json::array();
    for (const PROPERTYKEY& key : keys) names.push_back(PropertyKeyName(key));
    key_sets.push_back({{"keys", names}, {"calls", calls}});
  }
  return {
      {"calls", calls_},
      {"opens", opens_},
      {"enumerations", enumerations_},
      {"enumeration_flags", enumeration_flags_},
      {"enumerations_with_filter", enumerations_with_filter_},
      {"next_counts", next_counts},
      {"key_sets", key_sets},
      {"deletes", deletes_},
      {"delete_calls", delete_calls_},
      {"released_devices", released_devices_},
  };
}

void CallRecords::Clear() { *this = CallRecords(); }

}  // namespace camvey::phone::wpd
