#ifndef CAMVEY_PTP_DEVICE_DEVICE_LAYER_H_
#define CAMVEY_PTP_DEVICE_DEVICE_LAYER_H_

// The portable-device operations the clean-up service uses, one interface per device
// object and one method per operation, shaped after Windows Portable Devices so that
// the Windows implementation is a thin adapter that makes no decisions. Every
// decision lives in the code that calls these operations.
//
// Contracts shared by every interface here:
// - Results are status codes as the device gave them: negative is failure, 0 is full
//   success, a positive value is success with less than asked for.
// - Objects are handed out as std::unique_ptr; destroying one releases it. Out
//   parameters are left untouched on failure unless a method says otherwise.
// - Objects are used on the thread that created them.
// - Text is UTF-16. Strings the device hands out are copied before the call returns.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace camvey::ptp {

using DeviceResult = std::int32_t;

inline constexpr DeviceResult kDeviceOk = 0;
// Success, but less than asked for: fewer ids, a partly failed request.
inline constexpr DeviceResult kDeviceFalse = 1;

inline bool DeviceFailed(DeviceResult result) { return result < 0; }

// True for the reasons a device gives, in an error value in the value's place, for a
// value it does not have (ERROR_NOT_SUPPORTED, E_NOTIMPL, ERROR_NOT_FOUND), as opposed
// to one it has and could not read.
bool NoSuchValue(DeviceResult reason);

// True for the answers of a device that went away, hangs or is no longer open: the
// phone was unplugged, locked or fell asleep, or its driver stopped answering. Every
// later call to that device fails too, each possibly only after the system's device
// timeout, so a caller asks it nothing more but to close.
bool DeviceGone(DeviceResult result);

// The object id of a device's root, whose children are its storages.
inline constexpr char16_t kDeviceObjectId[] = u"DEVICE";

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

bool operator==(const Guid& lhs, const Guid& rhs);
inline bool operator!=(const Guid& lhs, const Guid& rhs) { return !(lhs == rhs); }

inline constexpr Guid kContentTypeFolder = {
    0x27E2E392, 0xA111, 0x48E0, {0xAB, 0x0C, 0xE1, 0x77, 0x05, 0xA0, 0x5F, 0x85}};
// Storages are functional objects.
inline constexpr Guid kContentTypeFunctionalObject = {
    0x99ED0160, 0x17FF, 0x4C44, {0x9D, 0x98, 0x1D, 0x7A, 0x6F, 0x94, 0x19, 0x21}};
// Photos and videos: no folders. The service needs no more than that; the simulated
// phones and the phone scan tell them apart.
inline constexpr Guid kContentTypeImage = {
    0xEF2107D5, 0xA52A, 0x4243, {0xA2, 0x6B, 0x62, 0xD4, 0x17, 0x6D, 0x76, 0x03}};
inline constexpr Guid kContentTypeVideo = {
    0x9261B03C, 0x3D78, 0x4519, {0x85, 0xE3, 0x02, 0xC5, 0xE1, 0xF5, 0x0B, 0xB9}};

// The object properties the service reads.
enum class ObjectKey {
  kOriginalFileName,  // string
  kName,              // string
  kContentType,       // GUID
  kSize,              // unsigned 64-bit: the object's size in bytes
  kCanDelete,         // bool: whether the object may be deleted
  // Unsigned 32-bit, of a storage: 0 read and write, 1 read-only without object
  // deletion, 2 read-only with object deletion.
  kStorageAccessCapability,
};

// The storage access capability of a storage that allows no deletion: an iPhone with
// iCloud Photos on reports its photo storage so.
inline constexpr std::uint32_t kReadOnlyWithoutObjectDeletion = 1;

// The client information values the service announces when it opens a device.
enum class ClientKey {
  kName,           // string
  kMajorVersion,   // unsigned 32-bit
  kMinorVersion,   // unsigned 32-bit
  kRevision,       // unsigned 32-bit
  kDesiredAccess,  // unsigned 32-bit
};

inline constexpr std::uint32_t kGenericReadWrite = 0xC0000000;
inline constexpr std::uint32_t kGenericRead = 0x80000000;

// A set of object properties to read together.
class KeyCollection {
 public:
  virtual ~KeyCollection() = default;
  virtual DeviceResult Add(ObjectKey key) = 0;
};

// The values a client announces to a device's driver.
class ClientInformation {
 public:
  virtual ~ClientInformation() = default;
  virtual DeviceResult SetStringValue(ClientKey key, const std::u16string& value) = 0;
  virtual DeviceResult SetUnsignedIntegerValue(ClientKey key, std::uint32_t value) = 0;
};

// The attached portable devices as seen when the manager was made or last refreshed.
class DeviceManager {
 public:
  virtual ~DeviceManager() = default;
  virtual DeviceResult RefreshDeviceList() = 0;
  // With `ids` null, stores the number of devices in `*count`. Otherwise `ids` holds
  // `*count` entries on entry; the device ids are written into it from the front and
  // `*count` receives the number written. An entry the device left null stays empty.
  virtual DeviceResult GetDevices(std::vector<std::optional<std::u16string>>* ids,
                                  std::uint32_t* count) = 0;
  // With `buffer` null, stores the length the text needs in `*length` (drivers differ
  // on whether that counts the terminating NUL). Otherwise `buffer` holds `*length`
  // units and receives the text.
  virtual DeviceResult GetDeviceFriendlyName(const std::u16string& device_id, char16_t* buffer,
                                             std::uint32_t* length) = 0;
  virtual DeviceResult GetDeviceManufacturer(const std::u16string& device_id, char16_t* buffer,
                                             std::uint32_t* length) = 0;
};

// Children of one object, in device order.
class ObjectIdEnumerator {
 public:
  virtual ~ObjectIdEnumerator() = default;
  // Asks for the next `count` ids (at least 1); a phone hands a folder's ids over in one
  // transaction, so a caller asks for many at a time. `*ids` is emptied first and
  // receives the ids that came back. Exactly three outcomes:
  // - kDeviceOk with `count` ids: the next children; more may follow.
  // - kDeviceFalse with at most `count` ids (none included): the last children; every
  //   child has now been handed out (a driver may hand over the last ids together with
  //   "no more objects").
  // - a failure, with no ids: the device could not hand out the next children. The
  //   enumeration ended early, so children after those already handed out may exist
  //   unseen; a caller must not take what it saw for all the children.
  // Anything else (another success code, or kDeviceOk with fewer ids) breaks this
  // contract and is taken as a failure. After kDeviceFalse every later call answers
  // kDeviceFalse without ids. A Windows adapter passes the device's result through:
  // S_FALSE is "no more objects", a failing HRESULT a failure; an id count above the
  // ids asked, or that disagrees with the ids handed over, is a failure.
  virtual DeviceResult Next(std::uint32_t count, std::vector<std::u16string>* ids) = 0;
};

// The properties read for one object.
class PropertyValues {
 public:
  virtual ~PropertyValues() = default;
  // `*value` receives the string, or stays empty when the device gave none.
  virtual DeviceResult GetStringValue(ObjectKey key, std::optional<std::u16string>* value) = 0;
  virtual DeviceResult GetGuidValue(ObjectKey key, Guid* value) = 0;
  virtual DeviceResult GetUnsignedLargeIntegerValue(ObjectKey key, std::uint64_t* value) = 0;
  virtual DeviceResult GetUnsignedIntegerValue(ObjectKey key, std::uint32_t* value) = 0;
  virtual DeviceResult GetBoolValue(ObjectKey key, bool* value) = 0;
  // `*reason` receives the code of a value the device gave as an error value; fails for
  // a value of another type, or a key not answered.
  virtual DeviceResult GetErrorValue(ObjectKey key, DeviceResult* reason) = 0;
};

class DeviceProperties {
 public:
  virtual ~DeviceProperties() = default;
  // kDeviceFalse: some keys could not be read; reading those values then fails.
  virtual DeviceResult GetValues(const std::u16string& object_id, KeyCollection& keys,
                                 std::unique_ptr<PropertyValues>* values) = 0;
};

// The object ids of one deletion request, in request order.
class IdCollection {
 public:
  virtual ~IdCollection() = default;
  // Copies the id into device memory and appends it. On failure nothing is appended.
  virtual DeviceResult Add(const std::u16string& object_id) = 0;
};

// One status per requested id, in request order, as the device reported them. A
// device may report fewer than it was asked for.
class DeleteResults {
 public:
  virtual ~DeleteResults() = default;
  virtual DeviceResult GetCount(std::uint32_t* count) = 0;
  // `*error_code` receives the element's code when the element is an error value,
  // and is left empty when the element is of another type.
  virtual DeviceResult GetAt(std::uint32_t index, std::optional<std::int32_t>* error_code) = 0;
};

class DeviceContent {
 public:
  virtual ~DeviceContent() = default;
  virtual DeviceResult Properties(std::unique_ptr<DeviceProperties>* properties) = 0;
  // A failure, or success without an enumerator, means the children cannot be listed
  // at all, which is not the same as having none.
  virtual DeviceResult EnumObjects(const std::u16string& parent_id,
                                   std::unique_ptr<ObjectIdEnumerator>* enumerator) = 0;
  // Deletes the objects without recursion: a folder that still holds objects is
  // refused. kDeviceOk: every object was deleted. kDeviceFalse: at least one was
  // refused, and the results, if the device gave any, say which. A failure: nothing
  // was deleted. `*results` may stay null on success.
  virtual DeviceResult Delete(IdCollection& ids, std::unique_ptr<DeleteResults>* results) = 0;
};

// A device object; Open binds it to one attached device.
class PortableDevice {
 public:
  virtual ~PortableDevice() = default;
  virtual DeviceResult Open(const std::u16string& device_id,
                            ClientInformation& client_information) = 0;
  virtual DeviceResult Content(std::unique_ptr<DeviceContent>* content) = 0;
  virtual DeviceResult Close() = 0;
};

// Creates the device objects; on Windows each call is one CoCreateInstance. A failure
// leaves the out parameter null; so, on some systems, does a success.
class DeviceLayer {
 public:
  virtual ~DeviceLayer() = default;
  virtual DeviceResult CreateManager(std::unique_ptr<DeviceManager>* manager) = 0;
  virtual DeviceResult CreateKeyCollection(std::unique_ptr<KeyCollection>* keys) = 0;
  virtual DeviceResult CreateClientInformation(std::unique_ptr<ClientInformation>* info) = 0;
  virtual DeviceResult CreateDevice(std::unique_ptr<PortableDevice>* device) = 0;
  virtual DeviceResult CreateIdCollection(std::unique_ptr<IdCollection>* ids) = 0;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DEVICE_LAYER_H_
