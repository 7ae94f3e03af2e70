#ifndef CAMVEY_STANDINS_WPD_SERVER_DEVICE_CONTENT_H_
#define CAMVEY_STANDINS_WPD_SERVER_DEVICE_CONTENT_H_

// The objects of an open simulated device: its content (listing and deletion), its
// properties, and the enumerator of one object's children. Each shares the session of
// the device object that opened the device: after that object's Close, or its release,
// every call answers E_WPD_DEVICE_NOT_OPEN; once the device is gone (`gone_after`),
// every call fails with its `gone_code`.

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ptp/device/wpd_api_win.h"
#include "standins/phone/phone_model.h"
#include "standins/wpd_server/server_object.h"

namespace camvey::phone::wpd {

class DeviceContent : public ServerObject<IPortableDeviceContent> {
 public:
  explicit DeviceContent(std::shared_ptr<DeviceSession> session) : session_(std::move(session)) {}

  // The children as they are when called (fault `enum_objects`: fails).
  HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, LPCWSTR parent_id,
                                        IPortableDeviceValues* filter,
                                        IEnumPortableDeviceObjectIDs** enumerator) override;
  HRESULT STDMETHODCALLTYPE Properties(IPortableDeviceProperties** properties) override;
  HRESULT STDMETHODCALLTYPE Transfer(IPortableDeviceResources** resources) override;
  HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesOnly(IPortableDeviceValues* values,
                                                           LPWSTR* object_id) override;
  HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesAndData(IPortableDeviceValues* values,
                                                              IStream** data, DWORD* buffer_size,
                                                              LPWSTR* cookie) override;
  // Deletes without recursion, applying the deletions to the phone and saving it.
  // S_OK when every object left, else S_FALSE with one VT_ERROR status per element in
  // request order (E_INVALIDARG for an element that is not a string). Faults:
  // `delete` fails the whole request; `delete_fails_after` deletes that many objects
  // first; `no_results` gives no results; `short_results`, `results_count`,
  // `result_element` and `status_not_error` shape the results.
  HRESULT STDMETHODCALLTYPE Delete(DWORD options, IPortableDevicePropVariantCollection* object_ids,
                                   IPortableDevicePropVariantCollection** results) override;
  HRESULT STDMETHODCALLTYPE
  GetObjectIDsFromPersistentUniqueIDs(IPortableDevicePropVariantCollection* persistent_ids,
                                      IPortableDevicePropVariantCollection** object_ids) override;
  HRESULT STDMETHODCALLTYPE Cancel() override;
  HRESULT STDMETHODCALLTYPE Move(IPortableDevicePropVariantCollection* object_ids,
                                 LPCWSTR destination_id,
                                 IPortableDevicePropVariantCollection** results) override;
  HRESULT STDMETHODCALLTYPE Copy(IPortableDevicePropVariantCollection* object_ids,
                                 LPCWSTR destination_id,
                                 IPortableDevicePropVariantCollection** results) override;

 private:
  SimDevice& device() const { return *session_->device; }

  std::shared_ptr<DeviceSession> session_;
};

class DeviceProperties : public ServerObject<IPortableDeviceProperties> {
 public:
  explicit DeviceProperties(std::shared_ptr<DeviceSession> session)
      : session_(std::move(session)) {}

  HRESULT STDMETHODCALLTYPE GetSupportedProperties(LPCWSTR object_id,
                                                   IPortableDeviceKeyCollection** keys) override;
  HRESULT STDMETHODCALLTYPE GetPropertyAttributes(LPCWSTR object_id, REFPROPERTYKEY key,
                                                  IPortableDeviceValues** attributes) override;
  // One value per key asked for (all the object's keys when `keys` is null). A value
  // the device does not give, or whose fault is set, comes back as VT_ERROR E_FAIL and
  // makes the answer S_FALSE; so does a key the device does not know, as VT_ERROR
  // HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED). Fault `get_values`: fails as a whole; an
  // object the device does not hold: HRESULT_FROM_WIN32(ERROR_NOT_FOUND).
  HRESULT STDMETHODCALLTYPE GetValues(LPCWSTR object_id, IPortableDeviceKeyCollection* keys,
                                      IPortableDeviceValues** values) override;
  HRESULT STDMETHODCALLTYPE SetValues(LPCWSTR object_id, IPortableDeviceValues* values,
                                      IPortableDeviceValues** results) override;
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR object_id, IPortableDeviceKeyCollection* keys) override;
  HRESULT STDMETHODCALLTYPE Cancel() override;

 private:
  std::shared_ptr<DeviceSession> session_;
};

class ObjectIdEnumerator : public ServerObject<IEnumPortableDeviceObjectIDs> {
 public:
  ObjectIdEnumerator(std::shared_ptr<DeviceSession> session, std::vector<std::u16string> children)
      : session_(std::move(session)), children_(std::move(children)) {}

  // Up to `count` ids, as SimDevice::AnswerNext says: S_OK when all came, S_FALSE when
  // the children ran out (with the last ones, or with the last child itself under
  // `false_with_last_id`). A call that would hand out an object with fault `next`
  // fails as a whole, hands out nothing and does not advance; `next_null_id` hands out
  // a null in an object's place, `next_extra_id` claims one id more than came.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, LPWSTR* ids, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPortableDeviceObjectIDs** clone) override;
  HRESULT STDMETHODCALLTYPE Cancel() override;

 private:
  std::shared_ptr<DeviceSession> session_;
  std::vector<std::u16string> children_;  // as they were when the enumeration began
  std::size_t position_ = 0;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_DEVICE_CONTENT_H_
