#ifndef CAMVEY_FUZZ_PTP_FUZZED_PHONE_H_
#define CAMVEY_FUZZ_PTP_FUZZED_PHONE_H_

// The attached devices a fuzz input describes. Each device has objects with fixed
// properties, one per object id, and for each parent the children it holds and how a
// listing of them ends. A device is drawn whole from the input when it is first met
// (mostly when discovery reads its name): its storages, their top-level objects, the
// objects inside each of those and inside DCIM's folders, and what lies one level
// below the camera roll. What the checks reason about is therefore fixed before the
// pass lists anything, and a seed keeps its meaning whatever order a pass lists in.
// Anything further down is drawn if a pass asks for it. Storages hold month folders
// directly (the old layout), or inside DCIM (as Windows shows an iPhone), or both; what
// an object is likely to be depends on where it is first met. The devices last the
// whole run: what left one in a pass is listed by none after it.
//
// Answers are hostile where a driver may be: ids repeat across and within listings,
// may be empty, "DEVICE" or any UTF-16 text; a listing may end early in every way the
// enumerator contract allows and breaks; properties may be missing or unreadable, the
// object name may differ from the file name, and a size may be absent. What a listing
// that ends normally hands out is exactly what its parent holds: a device that lies
// about being done cannot be told from one that is done. A locked device shows no
// storage while it holds what it holds, as a locked phone does.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/ptp/answer_reader.h"
#include "fuzz/ptp/device_answers.h"
#include "ptp/device/device_layer.h"

namespace camvey::fuzz {

// What a failing call of an opened device answers.
inline constexpr DeviceResult kCallFailures[] = {
    kFailed,       kAccessDenied, kElementNotFound, kDeviceHung,           kGenFailure,
    kNotConnected, kSemTimeout,   kDeviceNotOpen,   kObjectAlreadyAttached};

// File names as an iPhone gives them, few so that they meet: namesakes in several
// months (the counter wraps), the halves of a Live Photo and its sidecar under one
// stem, an edited copy, case variants, letters beyond a to z, no extension, none.
// Requests draw their names from here too.
inline constexpr const char16_t* kFileNames[] = {u"IMG_0001.HEIC",     u"IMG_0001.JPG",
                                                 u"IMG_0001.MOV",      u"IMG_E0001.HEIC",
                                                 u"img_0001.heic",     u"IMG_0001.AAE",
                                                 u"IMG_0002.HEIC",     u"IMG_0002.MOV",
                                                 u"Img_0002.Jpg",      u"IMG_0002.JPG",
                                                 u"\u00C9T\u00C9.JPG", u"\u00E9t\u00E9.jpg",
                                                 u"Holiday",           u""};
// Byte sizes of objects and of the copies requests name: few, so that namesakes often
// share a size and often differ, and one that agrees with another in its low 32 bits.
inline constexpr std::uint64_t kObjectSizes[] = {
    1000, 2000, 1000, 2000, 1000, 2000, 0x100000000u + 1000, 3000};
// Names of storages and of their top-level folders: DCIM, where Windows shows an
// iPhone's month folders, and month folders as the old layout keeps them there.
inline constexpr const char16_t* kTopLevelNames[] = {
    u"DCIM",     u"202401__", u"202312__", u"202402__", u"dcim",   u"202401_a",
    u"DCIM",     u"202311__", u"202403__", u"2024",     u"202401", u"Screens",
    u"100APPLE", u"20240",    u"202501__", u"202412__", u"",       u"Internal Storage"};
// Names of folders further down: the month folders of a few neighbouring months and
// the older numbered folders, inside DCIM or deeper where no photo may be taken.
inline constexpr const char16_t* kInnerFolderNames[] = {
    u"202401__", u"202312__", u"202402__", u"100APPLE", u"202401_a", u"202311__", u"202403__",
    u"101APPLE", u"2024",     u"202412__", u"202501__", u"DCIM",     u""};

// A photo, any other content that is no folder, a folder, a functional object.
enum class Kind { kImage, kOther, kFolder, kFunctionalObject };

// Where an object was first met, which shapes what it is likely to be.
enum class Spot {
  kRoot,      // the device's root
  kStorage,   // a child of the root
  kTopLevel,  // a child of a storage
  kInDcim,    // a child of a top-level folder named DCIM: mostly month folders
  kInFolder,  // a child of another top-level folder or of a folder inside DCIM: photos
  kDeeper,    // further down, where nothing may be taken
};

// Folders and functional objects (storages) are what a reader takes for folders.
bool IsFolderKind(Kind kind);

enum class PropertyAnswer {
  kValue,         // the value
  kErrorValue,    // an error entry: the getter answers DISP_E_TYPEMISMATCH; it holds
                  // `failure`, or "not supported" (no such value) when that is 0
  kNoEntry,       // no entry for the key: ERROR_NOT_FOUND
  kFailure,       // the getter fails with `failure`
  kEmptySuccess,  // success without a value (strings only)
};

struct Property {
  PropertyAnswer answer = PropertyAnswer::kValue;
  DeviceResult failure = 0;
};

// One object of a device, properties fixed for the run.
struct FuzzedObject {
  Spot spot = Spot::kTopLevel;
  Kind kind = Kind::kImage;
  std::u16string file_name;                     // the name the object really has, read or not
  std::u16string object_name;                   // the name it shows, often the same
  DeviceResult values_result = ptp::kDeviceOk;  // of GetValues
  bool values_missing = false;                  // GetValues succeeds without values
  Property file_name_answer;
  Property object_name_answer;
  Property content_type_answer;
  std::uint64_t size = 0;  // the size it has, read or not
  Property size_answer;    // kNoEntry: the device gives no size
  bool can_delete = true;  // whether the device says it may be deleted, read or not
  Property can_delete_answer;
  // A storage's access capability (0 read and write, 1 read-only without object
  // deletion, 2 read-only with object deletion, or any other), read or not. An object
  // first met elsewhere gives an error value, as a driver does for a key of storages.
  std::uint32_t access = 0;
  Property access_answer = {PropertyAnswer::kErrorValue, 0};
  bool deleted = false;  // it left the device in an earlier pass and is listed no more
};

// The keys a reader asked for.
struct KeysAsked {
  bool file_name = false;
  bool object_name = false;
  bool content_type = false;
  bool size = false;
  bool can_delete = false;
  bool access = false;
};

// An object as a reader sees it when it reads `keys`: its name (the file name when it
// can be read, else the object name), its kind, its size, whether it may be deleted and
// its access capability, each where readable.
struct SeenObject {
  std::u16string name;
  bool name_is_file_name = false;
  bool kind_known = false;
  bool is_folder = false;
  bool size_known = false;
  std::uint64_t size = 0;
  std::optional<bool> can_delete;
  std::optional<std::uint32_t> access;
  // The access capability was not asked for, or the device has one that could not be
  // read (not read, and no answer that it has none).
  bool access_unread = false;
};

SeenObject Seen(const FuzzedObject& object, const KeysAsked& keys);

enum class ListingEnd {
  kNoMoreObjects,   // every child with kDeviceOk, then kDeviceFalse without an id
  kLastWithNoMore,  // the last child comes with kDeviceFalse
  kFailure,         // after `handed_out` children, `end_result` (a failure)
  kOkWithoutId,     // after `handed_out` children, kDeviceOk without an id
  kOtherSuccess,    // after `handed_out` children, `end_result` (positive, not
                    // kDeviceFalse), with the next child when `end_with_id`
};

// The children of one parent and how a listing of them goes.
struct FuzzedListing {
  DeviceResult enum_result = ptp::kDeviceOk;  // of EnumObjects
  bool enumerator_missing = false;            // EnumObjects succeeds without one
  std::vector<std::u16string> children;       // all the parent holds
  ListingEnd end = ListingEnd::kNoMoreObjects;
  std::size_t handed_out = 0;  // for the early ends
  DeviceResult end_result = ptp::kDeviceOk;
  bool end_with_id = false;

  // True when a listing shows less than the parent holds.
  bool EndsEarly() const;
};

// One attached device.
struct FuzzedDevice {
  std::u16string friendly_name;
  std::u16string manufacturer;
  // After this many counted calls, every call answers `gone_code`; negative: never.
  int gone_after = -1;
  DeviceResult gone_code = kDeviceHung;
  int calls = 0;
  bool gone = false;
  // It shows no storage (its root lists nothing), though it holds them.
  bool locked = false;
  std::map<std::u16string, FuzzedObject> objects;
  std::vector<std::u16string> ids;  // of `objects`, in the order they were drawn
  std::map<std::u16string, FuzzedListing> listings;
  int fresh_ids = 0;
};

class FuzzedPhone {
 public:
  // Borrows the reader for the phone's lifetime.
  explicit FuzzedPhone(AnswerReader* reader);

  FuzzedPhone(const FuzzedPhone&) = delete;
  FuzzedPhone& operator=(const FuzzedPhone&) = delete;

  AnswerReader& reader() { return reader_; }

  // The device of `device_id`, drawn whole at first (see above): the k-th device met
  // is by default the k-th of an iPhone, an iPad and another iPhone. References stay
  // valid.
  FuzzedDevice& Device(const std::u16string& device_id);
  // The object of `object_id` on `device`, drawn at first (as a top-level object when
  // no listing has met it).
  const FuzzedObject& Object(FuzzedDevice& device, const std::u16string& object_id);
  // The children of `parent_id` on `device` as it holds them, drawn at first together
  // with every child not met before (and, down to one level below the camera roll,
  // with their own children).
  const FuzzedListing& Listing(FuzzedDevice& device, const std::u16string& parent_id);
  // The ids a device manager lists, entries left null included.
  std::vector<std::optional<std::u16string>> DrawDeviceList();

  // Takes the object out of every listing of its device, as its deletion does: no
  // later listing hands it out.
  void Remove(FuzzedDevice& device, const std::u16string& object_id);
  // Between two passes: a device that went away may be back, answering afresh, and a
  // locked one unlocked.
  void Replug();

 private:
  void DrawGoing(FuzzedDevice& device);
  void DrawLocked(FuzzedDevice& device);
  FuzzedObject& DrawObject(FuzzedDevice& device, const std::u16string& object_id, Spot spot);
  std::u16string DrawChildId(FuzzedDevice& device, const std::u16string& parent_id);
  void DrawEnd(std::size_t count, FuzzedListing* listing);

  AnswerReader& reader_;
  std::map<std::u16string, FuzzedDevice> devices_;
};

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_FUZZED_PHONE_H_
