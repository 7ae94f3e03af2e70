#ifndef CAMVEY_STANDINS_PHONE_PHONE_MODEL_H_
#define CAMVEY_STANDINS_PHONE_PHONE_MODEL_H_

// The simulated phones: devices with their objects and fault switches. The JSON form
// is described in README.md beside this file.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"

namespace camvey::phone {

inline constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005);
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND): what a driver answers for an object it does not
// hold, and the deletion status of one.
inline constexpr std::int32_t kNotFound = static_cast<std::int32_t>(0x80070490);
inline constexpr std::int32_t kFolderNotEmpty = static_cast<std::int32_t>(0x80070091);
inline constexpr std::int32_t kBusy = static_cast<std::int32_t>(0x800700AA);
inline constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80004005);
// HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED): the error value a driver answers in place of
// a property the object does not have.
inline constexpr std::int32_t kNotSupported = static_cast<std::int32_t>(0x80070032);
// E_UNEXPECTED: what the service's WPD layer makes of an id count that disagrees with
// the ids handed over.
inline constexpr std::int32_t kUnexpected = static_cast<std::int32_t>(0x8000FFFF);
// HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED): an unplugged device.
inline constexpr std::int32_t kNotConnected = static_cast<std::int32_t>(0x8007048F);
// E_WPD_DEVICE_NOT_OPEN, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WPD, 2) in the SDK's
// PortableDevice.h: a call on a device's objects after its Close. (0x802A0003 is
// E_WPD_OBJECT_ALREADY_ATTACHED_TO_DEVICE.) Tests take the value from here.
inline constexpr std::int32_t kWpdDeviceNotOpen = static_cast<std::int32_t>(0x802A0002);

enum class ContentType {
  kFolder,
  kFunctionalObject,  // what storages are
  kImage,
  kVideo,
  kOther,  // some other kind of file: an .AAE edit sidecar, a document, ...
  kNone,   // the device gives no content type
};

// The content type both simulated layers give a kOther object: the stand-in's own, none
// of those the service knows. The service tells only folders and storages from the
// rest, so any other type a real phone gives replays as this one.
inline constexpr ptp::Guid kContentTypeOther = {
    0x94A3A1AF, 0x4DC2, 0x42D5, {0xA3, 0x92, 0x00, 0xD0, 0x46, 0x14, 0x61, 0xCC}};

// Operations that fail for one object.
struct ObjectFaults {
  bool enum_objects = false;      // listing its children fails
  bool next = false;              // the Next that would hand out its id fails
  bool next_null_id = false;      // the Next that hands it out gives a null id in its place
  bool next_extra_id = false;     // the Next that hands it out claims one id more than it gave
  bool get_values = false;        // reading its properties fails as a whole
  bool file_name = false;         // reading its original file name fails
  bool name = false;              // reading its object name fails
  bool content_type = false;      // reading its content type fails
  bool size = false;              // reading its size fails
  bool can_delete = false;        // reading whether it may be deleted fails
  bool access = false;            // reading its storage access capability fails
  bool copy_id = false;           // adding its id to a deletion request fails
  bool refuse = false;            // the device refuses to delete it
  bool result_element = false;    // reading its status from the deletion results fails
  bool status_not_error = false;  // its status in the deletion results is no error value
};

struct SimObject {
  std::u16string id;
  std::u16string parent_id;
  std::optional<std::u16string> name;       // the object name, if the device gives one
  std::optional<std::u16string> file_name;  // the original file name, if it gives one
  ContentType type = ContentType::kImage;
  std::optional<std::uint64_t> size;     // its size in bytes, if the device gives one
  std::optional<bool> can_delete;        // whether it may be deleted, if the device says
  std::optional<std::uint32_t> access;   // a storage's access capability, if it says
  std::vector<std::u16string> children;  // ids, in enumeration order
  ObjectFaults faults;
  std::int32_t refuse_code = kAccessDenied;  // the status of a refused deletion

  bool is_folder() const {
    return type == ContentType::kFolder || type == ContentType::kFunctionalObject;
  }
  // The name a client reads: the original file name when readable, else the object
  // name when readable, else empty.
  std::u16string ReadName() const;
};

// Operations that fail for one device.
struct DeviceFaults {
  bool null_id = false;         // the manager hands out a null id for it
  bool friendly_name = false;   // reading its friendly name fails
  bool manufacturer = false;    // reading its manufacturer fails
  bool open = false;            // Open fails: the device is busy
  bool content = false;         // it gives no content
  bool properties = false;      // its content gives no properties
  bool delete_request = false;  // every deletion request fails as a whole
  bool no_results = false;      // deletion requests come back without a results collection
  bool results_count = false;   // the results collection cannot tell its count
  bool close = false;           // Close fails (the device is closed all the same)
  // Deletion results hold at most this many statuses.
  std::optional<std::uint32_t> short_results;
  // The length query for a text leaves out the terminating NUL, while the text still
  // needs room for it.
  bool length_excludes_nul = false;
  // The Next that hands out a listing's last child says "no more objects" with it.
  bool false_with_last_id = false;
  // After a listing's last child, Next answers full success without an id.
  bool ok_without_id = false;
  // A deletion request deletes this many of its objects, then fails as a whole.
  std::optional<std::uint32_t> delete_fails_after;
  // The device answers this many calls (Open, Content, Close, Properties, EnumObjects,
  // Next, GetValues, Delete, of any of its connections); from then on every call fails
  // with `gone_code`, each after `gone_delay_ms`: it was unplugged, or it hangs.
  std::optional<std::uint32_t> gone_after;
  std::int32_t gone_code = kNotConnected;
  std::uint32_t gone_delay_ms = 0;
  // The code a device fault (by its name: "open", "friendly_name", ...) fails with, in
  // place of that fault's usual one.
  std::map<std::string, std::int32_t> fault_codes;

  std::int32_t CodeOf(const std::string& fault, std::int32_t usual) const;
};

inline constexpr char16_t kRootId[] = u"DEVICE";

// One object that left a phone.
struct DeletedObject {
  std::u16string device_id;
  std::u16string object_id;
  std::u16string name;  // ReadName() at the moment of deletion
  std::u16string parent_id;
  int depth = 0;
};

// What one Next asking for some ids answers (see AnswerNext).
struct NextAnswer {
  std::int32_t result = 0;     // 0 (all asked for came), 1 (no more objects), or a failure
  std::size_t handed_out = 0;  // children handed out from the position on
  bool null_id = false;        // one of them is handed out as a null id
  std::uint32_t claimed = 0;   // the count of ids the answer claims
};

struct SimDevice;

// One opened device object's hold on its device, shared with the content, properties
// and enumerators it hands out: after its Close, or its release, each of them answers
// kWpdDeviceNotOpen without reaching the device.
struct DeviceSession {
  SimDevice* device = nullptr;
  bool open = true;

  // 0 when a call reaches the device; else what the call answers: kWpdDeviceNotOpen after
  // Close, the device's failure once it is gone.
  std::int32_t Refusal() const;
  // Ends the session, also when the device's Close fails (fault `close`, or gone), and
  // gives that Close's answer.
  std::int32_t Close();
};

struct SimDevice {
  std::u16string id;  // the PnP device id
  std::u16string friendly_name;
  std::u16string manufacturer;
  DeviceFaults faults;
  // Every object by id, the root kRootId (whose children are the storages) included.
  std::map<std::u16string, SimObject> objects;
  // Calls the device answered so far (see DeviceFaults::gone_after); not part of the
  // phone's JSON form.
  std::uint32_t calls = 0;

  SimDevice();

  // Counts one call to the device: 0 while it answers, else the failure the call gets
  // (after the device's delay).
  std::int32_t AnswerCall();
  // The answer of a Next asking for `count` ids of `children` from `position`.
  NextAnswer AnswerNext(const std::vector<std::u16string>& children, std::size_t position,
                        std::uint32_t count) const;

  SimObject* Find(const std::u16string& object_id);
  const SimObject* Find(const std::u16string& object_id) const;
  // Adds `object` as the last child of its parent_id, which must exist; false when its
  // id is taken.
  bool Add(SimObject object);
  // Deletes the objects in order, as one deletion request: each status is 0 when the
  // object left the device, kNotFound when it is not (or no longer) there or is the
  // root, its refuse_code when it is to be refused, kFolderNotEmpty when it still holds
  // objects. Objects that left are appended to `deleted`. With `faults_sent`, each id's
  // object's faults as they were before the request (none for an id not there).
  std::vector<std::int32_t> Delete(const std::vector<std::u16string>& object_ids,
                                   std::vector<DeletedObject>* deleted,
                                   std::vector<ObjectFaults>* faults_sent = nullptr);
  // Storages are 1, their children 2, and so on; the root is 0.
  int Depth(const std::u16string& object_id) const;
};

// Operations of the device layer itself that fail.
struct LayerFaults {
  bool create_manager = false;
  bool refresh = false;       // RefreshDeviceList fails (the list stays as it was)
  bool device_count = false;  // the device count cannot be read
  bool device_ids = false;    // the device ids cannot be read
  bool create_key_collection = false;
  bool create_client_information = false;
  bool create_device = false;
  bool create_id_collection = false;
  // The device count reads as 4,294,967,295; the ids are still the real ones.
  bool huge_device_count = false;
  // The device count misses the last device, as if it was attached after the count was
  // read: the ids query then fills its room and answers that more were there.
  bool devices_added = false;
};

struct Phone {
  LayerFaults faults;
  std::vector<SimDevice> devices;
  // Every object deleted through the simulated layer, in order.
  std::vector<DeletedObject> deleted;

  SimDevice* FindDevice(const std::u16string& device_id);
};

}  // namespace camvey::phone

#endif  // CAMVEY_STANDINS_PHONE_PHONE_MODEL_H_
