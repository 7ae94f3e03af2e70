#include "standins/wpd_server/device_content.h"

#include <algorithm>
#include <optional>

#include "standins/wpd_server/prop_variant_collection.h"
#include "standins/wpd_server/property_values.h"
#include "standins/wpd_server/sim_server.h"

namespace camvey::phone::wpd {
namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

std::u16string Text(LPCWSTR text) { return reinterpret_cast<const char16_t*>(text); }

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool SameKey(const PROPERTYKEY& lhs, const PROPERTYKEY& rhs) {
  return lhs.fmtid == rhs.fmtid && lhs.pid == rhs.pid;
}

ptp::PropVariantHolder StringValue(const std::u16string& text) {
  ptp::PropVariantHolder value;
  PROPVARIANT* raw = value.Receive();
  const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
  raw->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (raw->pwszVal == nullptr) return value;
  std::copy(text.begin(), text.end(), raw->pwszVal);
  raw->pwszVal[text.size()] = L'\0';
  raw->vt = VT_LPWSTR;
  return value;
}

ptp::PropVariantHolder ErrorValue(HRESULT error) {
  ptp::PropVariantHolder value;
  PROPVARIANT* raw = value.Receive();
  raw->vt = VT_ERROR;
  raw->scode = error;
  return value;
}

ptp::PropVariantHolder GuidValue(const GUID& guid) {
  ptp::PropVariantHolder value;
  PROPVARIANT* raw = value.Receive();
  raw->puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
  if (raw->puuid == nullptr) return value;
  *raw->puuid = guid;
  raw->vt = VT_CLSID;
  return value;
}

ptp::PropVariantHolder UnsignedLargeIntegerValue(ULONGLONG number) {
  ptp::PropVariantHolder value;
  PROPVARIANT* raw = value.Receive();
  raw->vt = VT_UI8;
  raw->uhVal.QuadPart = number;
  return value;
}

ptp::PropVariantHolder UnsignedIntegerValue(ULONG number) {
  ptp::PropVariantHolder value;
  PROPVARIANT* raw = value.Receive();
  raw->vt = VT_UI4;
  raw->ulVal = number;
  return value;
}

ptp::PropVariantHolder BoolValue(bool flag) {
  ptp::PropVariantHolder value;
  PROPVARIANT* raw = value.Receive();
  raw->vt = VT_BOOL;
  raw->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
  return value;
}

std::optional<GUID> ContentTypeGuid(ContentType type) {
  switch (type) {
    case ContentType::kFolder:
      return WPD_CONTENT_TYPE_FOLDER;
    case ContentType::kFunctionalObject:
      return WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT;
    case ContentType::kImage:
      return WPD_CONTENT_TYPE_IMAGE;
    case ContentType::kVideo:
      return WPD_CONTENT_TYPE_VIDEO;
    case ContentType::kOther:
      return GUID{
          kContentTypeOther.data1,
          kContentTypeOther.data2,
          kContentTypeOther.data3,
          {kContentTypeOther.data4[0], kContentTypeOther.data4[1], kContentTypeOther.data4[2],
           kContentTypeOther.data4[3], kContentTypeOther.data4[4], kContentTypeOther.data4[5],
           kContentTypeOther.data4[6], kContentTypeOther.data4[7]}};
    case ContentType::kNone:
      break;
  }
  return std::nullopt;
}

// The value of one property of `object`. One the object does not have is the error
// value a driver answers for it, "not supported"; one that could not be read, "failed".
ptp::PropVariantHolder ObjectValue(const SimObject& object, const PROPERTYKEY& key) {
  const auto unread = [](bool fault) {
    return ErrorValue(fault ? E_FAIL : HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
  };
  const auto text = [&unread](const std::optional<std::u16string>& value, bool fault) {
    return value.has_value() && !fault ? StringValue(*value) : unread(fault);
  };
  if (SameKey(key, WPD_OBJECT_ID)) return StringValue(object.id);
  if (SameKey(key, WPD_OBJECT_PARENT_ID)) return StringValue(object.parent_id);
  if (SameKey(key, WPD_OBJECT_ORIGINAL_FILE_NAME)) {
    return text(object.file_name, object.faults.file_name);
  }
  if (SameKey(key, WPD_OBJECT_NAME)) return text(object.name, object.faults.name);
  if (SameKey(key, WPD_OBJECT_CONTENT_TYPE)) {
    const std::optional<GUID> type = ContentTypeGuid(object.type);
    return type.has_value() && !object.faults.content_type ? GuidValue(*type)
                                                           : unread(object.faults.content_type);
  }
  if (SameKey(key, WPD_OBJECT_SIZE)) {
    return object.size.has_value() && !object.faults.size ? UnsignedLargeIntegerValue(*object.size)
                                                          : unread(object.faults.size);
  }
  if (SameKey(key, WPD_OBJECT_CAN_DELETE)) {
    return object.can_delete.has_value() && !object.faults.can_delete
               ? BoolValue(*object.can_delete)
               : unread(object.faults.can_delete);
  }
  if (SameKey(key, WPD_STORAGE_ACCESS_CAPABILITY)) {
    return object.access.has_value() && !object.faults.access ? UnsignedIntegerValue(*object.access)
                                                              : unread(object.faults.access);
  }
  return ErrorValue(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
}

// The keys a caller asked for, in its order.
HRESULT ReadKeys(IPortableDeviceKeyCollection* keys, std::vector<PROPERTYKEY>* read) {
  if (keys == nullptr) {
    *read = {WPD_OBJECT_ID, WPD_OBJECT_PARENT_ID, WPD_OBJECT_NAME, WPD_OBJECT_ORIGINAL_FILE_NAME,
             WPD_OBJECT_CONTENT_TYPE};
    return S_OK;
  }
  DWORD count = 0;
  const HRESULT counted = keys->GetCount(&count);
  if (FAILED(counted)) return counted;
  for (DWORD index = 0; index < count; ++index) {
    PROPERTYKEY key = {};
    const HRESULT got = keys->GetAt(index, &key);
    if (FAILED(got)) return got;
    read->push_back(key);
  }
  return S_OK;
}

}  // namespace

HRESULT STDMETHODCALLTYPE DeviceContent::EnumObjects(DWORD flags, LPCWSTR parent_id,
                                                     IPortableDeviceValues* filter,
                                                     IEnumPortableDeviceObjectIDs** enumerator) {
  const ServerCall call("IPortableDeviceContent::EnumObjects");
  if (parent_id == nullptr || enumerator == nullptr) return E_POINTER;
  *enumerator = nullptr;
  call.server().records().RecordEnumeration(device().id, Text(parent_id), flags, filter != nullptr);
  if (const HRESULT refused = session_->Refusal(); refused != S_OK) return refused;
  const SimObject* parent = device().Find(Text(parent_id));
  if (parent == nullptr) return kNotFound;
  if (parent->faults.enum_objects) return E_FAIL;
  auto children = MakeObject<ObjectIdEnumerator>(session_, parent->children);
  if (children == nullptr) return E_OUTOFMEMORY;
  *enumerator = children.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceContent::Properties(IPortableDeviceProperties** properties) {
  const ServerCall call("IPortableDeviceContent::Properties");
  if (properties == nullptr) return E_POINTER;
  *properties = nullptr;
  if (const HRESULT refused = session_->Refusal(); refused != S_OK) return refused;
  if (device().faults.properties) return device().faults.CodeOf("properties", E_FAIL);
  auto made = MakeObject<DeviceProperties>(session_);
  if (made == nullptr) return E_OUTOFMEMORY;
  *properties = made.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceContent::Delete(DWORD options,
                                                IPortableDevicePropVariantCollection* object_ids,
                                                IPortableDevicePropVariantCollection** results) {
  const ServerCall call("IPortableDeviceContent::Delete");
  if (results != nullptr) *results = nullptr;
  if (object_ids == nullptr) return E_POINTER;

  // The request as the caller built it: every element's type, and the string ids.
  std::vector<VARTYPE> types;
  std::vector<std::optional<std::u16string>> elements;
  DWORD count = 0;
  const HRESULT counted = object_ids->GetCount(&count);
  if (FAILED(counted)) return counted;
  for (DWORD index = 0; index < count; ++index) {
    ptp::PropVariantHolder element;
    const HRESULT got = object_ids->GetAt(index, element.Receive());
    if (FAILED(got)) return got;
    types.push_back(element.get().vt);
    const bool is_id = element.get().vt == VT_LPWSTR && element.get().pwszVal != nullptr;
    elements.push_back(is_id ? std::optional(Text(element.get().pwszVal)) : std::nullopt);
  }
  std::vector<std::u16string> ids;
  for (const auto& element : elements) {
    if (element.has_value()) ids.push_back(*element);
  }
  call.server().records().RecordDelete(device().id, options, types, ids);
  if (const HRESULT refused = session_->Refusal(); refused != S_OK) return refused;
  const DeviceFaults& faults = device().faults;
  if (faults.delete_request) return faults.CodeOf("delete", E_FAIL);
  if (faults.delete_fails_after.has_value() && ids.size() > *faults.delete_fails_after) {
    ids.resize(*faults.delete_fails_after);
    device().Delete(ids, &call.server().phone()->deleted);
    call.server().SavePhone();
    return E_FAIL;
  }

  std::vector<bool> element_fails;
  std::vector<bool> not_errors;
  for (const auto& element : elements) {
    const SimObject* object = element.has_value() ? device().Find(*element) : nullptr;
    element_fails.push_back(object != nullptr && object->faults.result_element);
    not_errors.push_back(object != nullptr && object->faults.status_not_error);
  }
  const std::vector<std::int32_t> id_statuses =
      device().Delete(ids, &call.server().phone()->deleted);
  call.server().SavePhone();
  std::vector<std::optional<HRESULT>> statuses;
  std::size_t next_id = 0;
  bool all_deleted = true;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const HRESULT status = elements[i].has_value() ? id_statuses[next_id++] : E_INVALIDARG;
    all_deleted = all_deleted && status == S_OK;
    statuses.push_back(not_errors[i] ? std::nullopt : std::optional(status));
  }

  if (results != nullptr && !faults.no_results) {
    if (faults.short_results.has_value() && statuses.size() > *faults.short_results) {
      statuses.resize(*faults.short_results);
      element_fails.resize(*faults.short_results);
    }
    auto made = PropVariantCollection::DeleteResults(statuses, std::move(element_fails),
                                                     faults.results_count);
    if (made == nullptr) return E_OUTOFMEMORY;
    *results = made.Detach();
  }
  return all_deleted ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE DeviceContent::Transfer(IPortableDeviceResources** /*resources*/) {
  return NotImplemented("IPortableDeviceContent::Transfer");
}

HRESULT STDMETHODCALLTYPE DeviceContent::CreateObjectWithPropertiesOnly(
    IPortableDeviceValues* /*values*/, LPWSTR* /*object_id*/) {
  return NotImplemented("IPortableDeviceContent::CreateObjectWithPropertiesOnly");
}

HRESULT STDMETHODCALLTYPE DeviceContent::CreateObjectWithPropertiesAndData(
    IPortableDeviceValues* /*values*/, IStream** /*data*/, DWORD* /*buffer_size*/,
    LPWSTR* /*cookie*/) {
  return NotImplemented("IPortableDeviceContent::CreateObjectWithPropertiesAndData");
}

HRESULT STDMETHODCALLTYPE DeviceContent::GetObjectIDsFromPersistentUniqueIDs(
    IPortableDevicePropVariantCollection* /*persistent_ids*/,
    IPortableDevicePropVariantCollection** /*object_ids*/) {
  return NotImplemented("IPortableDeviceContent::GetObjectIDsFromPersistentUniqueIDs");
}

HRESULT STDMETHODCALLTYPE DeviceContent::Cancel() {
  return NotImplemented("IPortableDeviceContent::Cancel");
}

HRESULT STDMETHODCALLTYPE DeviceContent::Move(IPortableDevicePropVariantCollection* /*object_ids*/,
                                              LPCWSTR /*destination_id*/,
                                              IPortableDevicePropVariantCollection** /*results*/) {
  return NotImplemented("IPortableDeviceContent::Move");
}

HRESULT STDMETHODCALLTYPE DeviceContent::Copy(IPortableDevicePropVariantCollection* /*object_ids*/,
                                              LPCWSTR /*destination_id*/,
                                              IPortableDevicePropVariantCollection** /*results*/) {
  return NotImplemented("IPortableDeviceContent::Copy");
}

HRESULT STDMETHODCALLTYPE DeviceProperties::GetValues(LPCWSTR object_id,
                                                      IPortableDeviceKeyCollection* keys,
                                                      IPortableDeviceValues** values) {
  const ServerCall call("IPortableDeviceProperties::GetValues");
  if (object_id == nullptr || values == nullptr) return E_POINTER;
  *values = nullptr;
  std::vector<PROPERTYKEY> asked;
  const HRESULT read = ReadKeys(keys, &asked);
  if (FAILED(read)) return read;
  call.server().records().RecordKeySet(asked);
  if (const HRESULT refused = session_->Refusal(); refused != S_OK) return refused;
  const SimObject* object = session_->device->Find(Text(object_id));
  if (object == nullptr) return kNotFound;
  if (object->faults.get_values) return E_FAIL;
  auto answer = MakeObject<PropertyValues>();
  if (answer == nullptr) return E_OUTOFMEMORY;
  bool all_read = true;
  for (const PROPERTYKEY& key : asked) {
    ptp::PropVariantHolder value = ObjectValue(*object, key);
    if (value.get().vt == VT_EMPTY) return E_OUTOFMEMORY;
    all_read = all_read && value.get().vt != VT_ERROR;
    answer->Put(key, std::move(value));
  }
  *values = answer.Detach();
  return all_read ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE DeviceProperties::GetSupportedProperties(
    LPCWSTR /*object_id*/, IPortableDeviceKeyCollection** /*keys*/) {
  return NotImplemented("IPortableDeviceProperties::GetSupportedProperties");
}

HRESULT STDMETHODCALLTYPE DeviceProperties::GetPropertyAttributes(
    LPCWSTR /*object_id*/, REFPROPERTYKEY /*key*/, IPortableDeviceValues** /*attributes*/) {
  return NotImplemented("IPortableDeviceProperties::GetPropertyAttributes");
}

HRESULT STDMETHODCALLTYPE DeviceProperties::SetValues(LPCWSTR /*object_id*/,
                                                      IPortableDeviceValues* /*values*/,
                                                      IPortableDeviceValues** /*results*/) {
  return NotImplemented("IPortableDeviceProperties::SetValues");
}

HRESULT STDMETHODCALLTYPE DeviceProperties::Delete(LPCWSTR /*object_id*/,
                                                   IPortableDeviceKeyCollection* /*keys*/) {
  return NotImplemented("IPortableDeviceProperties::Delete");
}

HRESULT STDMETHODCALLTYPE DeviceProperties::Cancel() {
  return NotImplemented("IPortableDeviceProperties::Cancel");
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Next(ULONG count, LPWSTR* ids, ULONG* fetched) {
  const ServerCall call("IEnumPortableDeviceObjectIDs::Next");
  call.server().records().RecordNext(count);
  if (fetched != nullptr) *fetched = 0;
  if (ids == nullptr && count > 0) return E_POINTER;
  if (const HRESULT refused = session_->Refusal(); refused != S_OK) return refused;
  const NextAnswer answer = session_->device->AnswerNext(children_, position_, count);
  if (FAILED(answer.result)) return answer.result;
  for (std::size_t i = 0; i < answer.handed_out; ++i) {
    const SimObject* object = session_->device->Find(children_[position_ + i]);
    if (object != nullptr && object->faults.next_null_id) {
      ids[i] = nullptr;
      continue;
    }
    ids[i] = call.server().HandOutString(Wide(children_[position_ + i]));
    if (ids[i] == nullptr) {
      for (std::size_t j = 0; j < i; ++j) {
        CoTaskMemFree(ids[j]);
        ids[j] = nullptr;
      }
      return E_OUTOFMEMORY;
    }
  }
  position_ += answer.handed_out;
  if (fetched != nullptr) *fetched = answer.claimed;
  return answer.result;
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Skip(ULONG /*count*/) {
  return NotImplemented("IEnumPortableDeviceObjectIDs::Skip");
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Reset() {
  return NotImplemented("IEnumPortableDeviceObjectIDs::Reset");
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Clone(IEnumPortableDeviceObjectIDs** /*clone*/) {
  return NotImplemented("IEnumPortableDeviceObjectIDs::Clone");
}

HRESULT STDMETHODCALLTYPE ObjectIdEnumerator::Cancel() {
  return NotImplemented("IEnumPortableDeviceObjectIDs::Cancel");
}

}  // namespace camvey::phone::wpd
