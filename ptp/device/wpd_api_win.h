#ifndef CAMVEY_PTP_DEVICE_WPD_API_WIN_H_
#define CAMVEY_PTP_DEVICE_WPD_API_WIN_H_

// The Windows Portable Devices declarations the service uses. With MSVC they come from
// the Windows SDK. mingw-w64 ships only the value, key and prop-variant collections
// (portabledevicetypes.h, with CLSID_PortableDeviceValues and the IIDs of those three in
// libportabledeviceguids.a), so the device manager, device, content, properties and
// object-id enumerator, the other class ids, the property keys and the content types are
// declared here under the SDK's own names, and the constants not in that library are
// defined once in wpd_api_win.cpp.
//
// The interfaces are declared in their binary slot order: a method out of place calls
// the wrong function of a real driver. Slots 0 to 2 are IUnknown's.

#include <windows.h>

#if __has_include(<PortableDeviceApi.h>)

// In the SDK's documented order: the interfaces, which bring the value collections and
// the property-key macros,
#include <PortableDeviceApi.h>
// then the property keys and content types, which need them.
#include <PortableDevice.h>

#else  // mingw-w64

#include <ole2.h>
#include <portabledevicetypes.h>
#include <propsys.h>

struct IPortableDeviceResources;
struct IPortableDeviceCapabilities;
struct IPortableDeviceEventCallback;
struct IEnumPortableDeviceObjectIDs;
struct IPortableDeviceProperties;
struct IPortableDeviceContent;

// IPortableDeviceManager: the attached devices, by PnP device id.
MIDL_INTERFACE("A1567595-4C2F-4574-A6FA-ECEF917B9A40")
IPortableDeviceManager : public IUnknown {
  // With `ids` null, the number of devices in `*count`; otherwise fills `ids`, which
  // holds `*count` entries, and sets `*count` to the number written. Each id is the
  // caller's, freed with CoTaskMemFree.
  virtual HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR * ids, DWORD * count) = 0;
  virtual HRESULT STDMETHODCALLTYPE RefreshDeviceList() = 0;
  // With `buffer` null, the length the text needs in `*count`.
  virtual HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR device_id, WCHAR * buffer,
                                                          DWORD * count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceDescription(LPCWSTR device_id, WCHAR * buffer,
                                                         DWORD * count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceManufacturer(LPCWSTR device_id, WCHAR * buffer,
                                                          DWORD * count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceProperty(LPCWSTR device_id, LPCWSTR name, BYTE * data,
                                                      DWORD * size, DWORD * type) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPrivateDevices(LPWSTR * ids, DWORD * count) = 0;
};

// IPortableDevice: one device object, bound to an attached device by Open.
MIDL_INTERFACE("625E2DF8-6392-4CF0-9AD1-3CFA5F17775C")
IPortableDevice : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open(LPCWSTR device_id,
                                         IPortableDeviceValues * client_information) = 0;
  virtual HRESULT STDMETHODCALLTYPE SendCommand(DWORD flags, IPortableDeviceValues * parameters,
                                                IPortableDeviceValues * *results) = 0;
  virtual HRESULT STDMETHODCALLTYPE Content(IPortableDeviceContent * *content) = 0;
  virtual HRESULT STDMETHODCALLTYPE Capabilities(IPortableDeviceCapabilities * *capabilities) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(DWORD flags, IPortableDeviceEventCallback * callback,
                                           IPortableDeviceValues * parameters, LPWSTR * cookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(LPCWSTR cookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPnPDeviceID(LPWSTR * device_id) = 0;
};

// IPortableDeviceContent: the objects of an open device.
MIDL_INTERFACE("6A96ED84-7C73-4480-9938-BF5AF477D426")
IPortableDeviceContent : public IUnknown {
  // `flags` and `filter` are ignored by the system (0 and null).
  virtual HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, LPCWSTR parent_id,
                                                IPortableDeviceValues * filter,
                                                IEnumPortableDeviceObjectIDs * *enumerator) = 0;
  virtual HRESULT STDMETHODCALLTYPE Properties(IPortableDeviceProperties * *properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE Transfer(IPortableDeviceResources * *resources) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesOnly(IPortableDeviceValues * values,
                                                                   LPWSTR * object_id) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesAndData(
      IPortableDeviceValues * values, IStream * *data, DWORD * buffer_size, LPWSTR * cookie) = 0;
  // S_OK: all deleted. S_FALSE: some refused, `*results` (if asked for) holds one
  // VT_ERROR per id in request order. An error: nothing deleted.
  virtual HRESULT STDMETHODCALLTYPE Delete(DWORD options,
                                           IPortableDevicePropVariantCollection * object_ids,
                                           IPortableDevicePropVariantCollection * *results) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetObjectIDsFromPersistentUniqueIDs(
      IPortableDevicePropVariantCollection * persistent_ids,
      IPortableDevicePropVariantCollection * *object_ids) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Move(IPortableDevicePropVariantCollection * object_ids,
                                         LPCWSTR destination_id,
                                         IPortableDevicePropVariantCollection * *results) = 0;
  virtual HRESULT STDMETHODCALLTYPE Copy(IPortableDevicePropVariantCollection * object_ids,
                                         LPCWSTR destination_id,
                                         IPortableDevicePropVariantCollection * *results) = 0;
};

// IPortableDeviceProperties: reading the properties of objects.
MIDL_INTERFACE("7F6D695C-03DF-4439-A809-59266BEEE3A6")
IPortableDeviceProperties : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetSupportedProperties(
      LPCWSTR object_id, IPortableDeviceKeyCollection * *keys) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyAttributes(LPCWSTR object_id, REFPROPERTYKEY key,
                                                          IPortableDeviceValues * *attributes) = 0;
  // S_FALSE: some keys failed; they come back as VT_ERROR values.
  virtual HRESULT STDMETHODCALLTYPE GetValues(
      LPCWSTR object_id, IPortableDeviceKeyCollection * keys, IPortableDeviceValues * *values) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetValues(LPCWSTR object_id, IPortableDeviceValues * values,
                                              IPortableDeviceValues * *results) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(LPCWSTR object_id,
                                           IPortableDeviceKeyCollection * keys) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

// IEnumPortableDeviceObjectIDs: the children of one object.
MIDL_INTERFACE("10ECE955-CF41-4728-BFA0-41EEDF1BBF19")
IEnumPortableDeviceObjectIDs : public IUnknown {
  // `ids` is the caller's array of `count` entries. S_OK: exactly `count` ids came
  // back; S_FALSE: fewer, and the enumeration is over. Ids are freed with CoTaskMemFree.
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, LPWSTR * ids, ULONG * fetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPortableDeviceObjectIDs * *clone) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

__CRT_UUID_DECL(IPortableDeviceManager, 0xa1567595, 0x4c2f, 0x4574, 0xa6, 0xfa, 0xec, 0xef, 0x91,
                0x7b, 0x9a, 0x40)
__CRT_UUID_DECL(IPortableDevice, 0x625e2df8, 0x6392, 0x4cf0, 0x9a, 0xd1, 0x3c, 0xfa, 0x5f, 0x17,
                0x77, 0x5c)
__CRT_UUID_DECL(IPortableDeviceContent, 0x6a96ed84, 0x7c73, 0x4480, 0x99, 0x38, 0xbf, 0x5a, 0xf4,
                0x77, 0xd4, 0x26)
__CRT_UUID_DECL(IPortableDeviceProperties, 0x7f6d695c, 0x03df, 0x4439, 0xa8, 0x09, 0x59, 0x26, 0x6b,
                0xee, 0xe3, 0xa6)
__CRT_UUID_DECL(IEnumPortableDeviceObjectIDs, 0x10ece955, 0xcf41, 0x4728, 0xbf, 0xa0, 0x41, 0xee,
                0xdf, 0x1b, 0xbf, 0x19)

// Defined in wpd_api_win.cpp; CLSID_PortableDeviceValues and the IIDs of the three
// collections come from libportabledeviceguids.a.
extern "C" {
extern const IID IID_IPortableDeviceManager;
extern const IID IID_IPortableDevice;
extern const IID IID_IPortableDeviceContent;
extern const IID IID_IPortableDeviceProperties;
extern const IID IID_IEnumPortableDeviceObjectIDs;
extern const IID IID_IPortableDeviceResources;
extern const IID IID_IPortableDeviceCapabilities;
extern const IID IID_IPortableDeviceEventCallback;

extern const CLSID CLSID_PortableDeviceManager;
extern const CLSID CLSID_PortableDeviceFTM;
extern const CLSID CLSID_PortableDevice;
extern const CLSID CLSID_PortableDeviceKeyCollection;
extern const CLSID CLSID_PortableDevicePropVariantCollection;

extern const PROPERTYKEY WPD_OBJECT_ID;
extern const PROPERTYKEY WPD_OBJECT_PARENT_ID;
extern const PROPERTYKEY WPD_OBJECT_NAME;
extern const PROPERTYKEY WPD_OBJECT_CONTENT_TYPE;
extern const PROPERTYKEY WPD_OBJECT_SIZE;
extern const PROPERTYKEY WPD_OBJECT_ORIGINAL_FILE_NAME;
extern const PROPERTYKEY WPD_OBJECT_CAN_DELETE;
extern const PROPERTYKEY WPD_STORAGE_ACCESS_CAPABILITY;
extern const PROPERTYKEY WPD_CLIENT_NAME;
extern const PROPERTYKEY WPD_CLIENT_MAJOR_VERSION;
extern const PROPERTYKEY WPD_CLIENT_MINOR_VERSION;
extern const PROPERTYKEY WPD_CLIENT_REVISION;
extern const PROPERTYKEY WPD_CLIENT_SECURITY_QUALITY_OF_SERVICE;
extern const PROPERTYKEY WPD_CLIENT_DESIRED_ACCESS;
extern const PROPERTYKEY WPD_DEVICE_MANUFACTURER;
extern const PROPERTYKEY WPD_DEVICE_FRIENDLY_NAME;

extern const GUID WPD_CONTENT_TYPE_FOLDER;
extern const GUID WPD_CONTENT_TYPE_FUNCTIONAL_OBJECT;
extern const GUID WPD_CONTENT_TYPE_IMAGE;
extern const GUID WPD_CONTENT_TYPE_VIDEO;
}

// The object id of a device's root, whose children are its storages.
#define WPD_DEVICE_OBJECT_ID L"DEVICE"

typedef enum tagDELETE_OBJECT_OPTIONS {
  PORTABLE_DEVICE_DELETE_NO_RECURSION = 0,
  PORTABLE_DEVICE_DELETE_WITH_RECURSION = 1,
} DELETE_OBJECT_OPTIONS;

#endif  // __has_include(<PortableDeviceApi.h>)

#endif  // CAMVEY_PTP_DEVICE_WPD_API_WIN_H_
