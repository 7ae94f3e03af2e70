// The deletion pass over thousands of generated households and requests, one device or
// more (mostly an iPhone and an iPad whose month folders hold the same names), laid out
// in the old way (month folders under the storage) and as Windows shows an iPhone
// (month folders inside DCIM), now and then followed by a second request, checked
// against what must never happen whatever the pass decides. A deleted object was asked
// for, lay directly in a camera-roll folder of an Apple device, could be read as a file
// by its file name (and, for a request with a size, by that size), and some wanted entry
// may have taken it in some round: the one carrier of the entry in the round's group
// over every Apple device of the household as it holds it, seen or not, with nothing
// there whose file name (or, for a sized request, whose size) could not be read, nothing
// deeper than the camera roll for the unique round, and the earlier rounds holding no
// carrier (nor, in the own month, the stem under another extension). A name wanted as
// several photos, or whose stem an earlier request deleted, is taken only from its own
// month; a name an earlier request sent without learning the outcome is never taken
// again as another object. The pass reports exactly what left the phone, and asks a
// device that went away nothing more but to close. Months, devices and camera-roll
// folders are reckoned here, not with the pass's own functions, so that a mistake in
// those shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ptp/device/deletion_pass.h"
#include "standins/phone/phone_json.h"
#include "tests/ptp/device/layer_under_test.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

using phone::ContentType;
using phone::Phone;
using phone::SimDevice;
using phone::SimObject;

// Through WPD a pass costs far more; fewer households still meet every switch many times.
// Natively enough that an unreadable object in a neighbouring month, a rare meeting of
// switches, is met too.
constexpr int kCases = 5000;
constexpr int kCasesThroughWpd = 200;
constexpr std::uint32_t kSeed = 20240117;

// A small deterministic generator, the same on every platform.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t Below(std::uint32_t bound) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33) % bound;
  }
  bool Chance(int percent) { return Below(100) < static_cast<std::uint32_t>(percent); }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  std::uint64_t state_;
};

// Few names as an iPhone gives them, so that duplicates are common: the halves of a
// Live Photo under one stem, an edited copy, case variants and accented letters.
const char16_t* const kNames[] = {u"IMG_0001.HEIC",     u"IMG_0001.MOV", u"img_0001.heic",
                                  u"IMG_E0001.HEIC",    u"IMG_0002.JPG", u"IMG_0003.HEIC",
                                  u"Img_0004.Jpg",      u"IMG_0005.AAE", u"\u00C9T\u00C9.JPG",
                                  u"\u00E9t\u00E9.jpg", u"IMG_0001.JPG"};
const char16_t* const kFolderNames[] = {u"202311__", u"202312__", u"202401__", u"202402__",
                                        u"202403__", u"202401",   u"2024",     u"Screenshots",
                                        u"20240",    u"202501__", u"202401_a", u"100APPLE"};
const char16_t* const kDcimNames[] = {u"DCIM", u"dcim"};
const char16_t* const kMonths[] = {u"202312", u"202401", u"202402", u"",       u"2024",
                                   u"abc",    u"202413", u"202501", u"202401", u"2024 1"};
// Sizes of photos and of the copies requests name: two, so that namesakes often share
// one and often differ.
const std::uint64_t kSizes[] = {1000, 2000};
// The real months of kMonths and their neighbours, written out rather than computed, so
// that the checks share nothing with the pass's month arithmetic. Any other month has
// no month group.
const std::map<std::u16string, std::vector<std::u16string>> kNeighbours = {
    {u"202312", {u"202311", u"202401"}},
    {u"202401", {u"202312", u"202402"}},
    {u"202402", {u"202401", u"202403"}},
    {u"202501", {u"202412", u"202502"}}};

// Names compare with a to z folded, and nothing else.
std::u16string Folded(std::u16string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
  });
  return text;
}

// The folded name before its last '.', the same photo under another extension; the
// whole name without one.
std::u16string StemOf(const std::u16string& name) {
  return Folded(name.substr(0, std::min(name.rfind(u'.'), name.size())));
}

bool BeginsWith(const std::u16string& folder_name, const std::u16string& prefix) {
  return !prefix.empty() && Folded(folder_name).rfind(Folded(prefix), 0) == 0;
}

bool NamesAppleDevice(const std::u16string& friendly_name, const std::u16string& manufacturer) {
  for (const std::u16string& text : {Folded(friendly_name), Folded(manufacturer)}) {
    for (const char16_t* mark : {u"APPLE", u"IPHONE", u"IPAD"}) {
      if (text.find(mark) != std::u16string::npos) return true;
    }
  }
  return false;
}

class HouseholdGenerator {
 public:
  explicit HouseholdGenerator(std::uint32_t seed) : random_(seed) {}

  Phone Generate() {
    Phone phone;
    // Some households are healthy, as most are: no device or object fails, and what the
    // pass may take depends only on what they hold.
    healthy_ = random_.Chance(40);
    phone::LayerFaults& layer = phone.faults;
    layer.create_manager = random_.Chance(2);
    layer.refresh = random_.Chance(5);
    layer.device_count = random_.Chance(2);
    layer.device_ids = random_.Chance(2);
    layer.create_key_collection = random_.Chance(2);
    layer.create_client_information = random_.Chance(2);
    layer.create_device = random_.Chance(2);
    layer.create_id_collection = random_.Chance(2);
    // Mostly an iPhone and an iPad, numbering their photos with counters of their own.
    static const std::uint32_t kDeviceCounts[] = {1, 2, 2, 2, 3};
    const std::uint32_t devices = random_.Pick(kDeviceCounts);
    for (std::uint32_t d = 0; d < devices; ++d) phone.devices.push_back(GenerateDevice(d));
    if (healthy_) phone.faults = {};
    return phone;
  }

  std::vector<WantedFile> GenerateRequest() {
    std::vector<WantedFile> wanted;
    const std::uint32_t count = random_.Below(7);
    for (std::uint32_t i = 0; i < count; ++i) {
      WantedFile file;
      file.name = Folded(random_.Chance(5) ? u"" : random_.Pick(kNames));
      file.month = random_.Pick(kMonths);
      DrawSize(&file);
      wanted.push_back(std::move(file));
    }
    return wanted;
  }

  // A later request: the same again, as the application resends it, or that one with a
  // month moved, a size changed, or a name under another extension of its stem.
  std::vector<WantedFile> GenerateLaterRequest(std::vector<WantedFile> wanted) {
    if (wanted.empty() || random_.Chance(40)) return wanted;
    WantedFile& file = wanted[random_.Below(static_cast<std::uint32_t>(wanted.size()))];
    switch (random_.Below(3)) {
      case 0:
        file.month = random_.Pick(kMonths);
        break;
      case 1:
        DrawSize(&file);
        break;
      default:
        file.name = StemOf(file.name) + (random_.Chance(50) ? u".JPG" : u".MOV");
        break;
    }
    return wanted;
  }

 private:
  // None, one photos have, one none has, or now and then one that is no byte count.
  void DrawSize(WantedFile* file) {
    file->size.reset();
    file->size_unusable = false;
    const std::uint32_t choice = random_.Below(20);
    if (choice < 8) return;
    if (choice < 17) {
      file->size = random_.Pick(kSizes);
    } else if (choice < 19) {
      file->size = 5000;
    } else {
      file->size_unusable = true;
    }
  }

  SimDevice GenerateDevice(std::uint32_t index) {
    static const char16_t* const kFriendlyNames[] = {u"iPhone", u"Study iPad", u"Camera", u""};
    static const char16_t* const kMakers[] = {u"Apple Inc.", u"Contoso", u""};
    SimDevice device;
    device.id = u"usb#" + text::Utf8ToWide(std::to_string(index));
    device.friendly_name =
        random_.Chance(80) ? kFriendlyNames[std::min(index, 1u)] : random_.Pick(kFriendlyNames);
    device.manufacturer = random_.Chance(80) ? kMakers[0] : random_.Pick(kMakers);
    phone::DeviceFaults& faults = device.faults;
    faults.null_id = random_.Chance(2);
    faults.friendly_name = random_.Chance(2);
    faults.manufacturer = random_.Chance(2);
    faults.open = random_.Chance(4);
    faults.content = random_.Chance(2);
    faults.properties = random_.Chance(2);
    faults.delete_request = random_.Chance(5);
    faults.no_results = random_.Chance(8);
    faults.results_count = random_.Chance(4);
    faults.close = random_.Chance(5);
    faults.length_excludes_nul = random_.Chance(30);
    if (random_.Chance(8)) faults.short_results = random_.Below(3);
    faults.false_with_last_id = random_.Chance(20);
    faults.ok_without_id = random_.Chance(2);
    if (random_.Chance(2)) faults.delete_fails_after = random_.Below(3);
    if (random_.Chance(2)) faults.gone_after = random_.Below(40);
    if (healthy_) faults = {};
    // The second device of a household mostly keeps its photos in the months of the
    // first, under the same few names.
    const bool same_months = index > 0 && random_.Chance(60);
    std::size_t next_month = 0;
    const std::uint32_t storages = random_.Below(4) + (index > 0 ? 1 : 0);
    for (std::uint32_t s = 0; s < storages; ++s) {
      const std::u16string storage = Add(&device, kRootId(), u"Internal Storage", true);
      const std::uint32_t top_level = random_.Below(7);
      // Now and then a large phone, whose listings cross the listed-object limit.
      if (random_.Below(600) == 0) AddLargePhoneFolders(&device, storage);
      // The month folders under the storage (the old layout), inside DCIM (an iPhone's),
      // or both.
      const std::uint32_t layout = random_.Below(3);
      const std::u16string dcim =
          layout == 0 ? std::u16string() : Add(&device, storage, random_.Pick(kDcimNames), true);
      for (std::uint32_t t = 0; t < top_level; ++t) {
        const bool in_dcim = layout == 1 || (layout == 2 && random_.Chance(50));
        const std::u16string& parent = in_dcim ? dcim : storage;
        if (random_.Chance(20)) {
          Add(&device, parent, random_.Pick(kNames), false);
          continue;
        }
        std::u16string folder_name = random_.Pick(kFolderNames);
        if (same_months && next_month < first_months_.size()) {
          folder_name = first_months_[next_month++];
        } else if (index == 0) {
          first_months_.push_back(folder_name);
        }
        const std::u16string folder = Add(&device, parent, folder_name, true);
        const std::uint32_t children = random_.Below(7);
        for (std::uint32_t c = 0; c < children; ++c) {
          // Deeper down: where no photo may be taken.
          const bool sub_folder = random_.Chance(8);
          const std::u16string child = Add(
              &device, folder,
              sub_folder && random_.Chance(50) ? random_.Pick(kFolderNames) : random_.Pick(kNames),
              sub_folder);
          if (!sub_folder) continue;
          for (std::uint32_t g = random_.Below(3); g > 0; --g) {
            Add(&device, child, random_.Pick(kNames), false);
          }
        }
      }
    }
    return device;
  }

  static std::u16string kRootId() { return phone::kRootId; }

  // A large phone: one photo of every name, then photos of names no request asks for,
  // around the listed-object limit, then one photo of every name again, where the
  // camera counter has wrapped. Without faults, so that only the limit can hide the
  // second photo of a name.
  void AddLargePhoneFolders(SimDevice* device, const std::u16string& storage) {
    const std::u16string early = AddPlain(device, storage, u"Screenshots", true);
    for (const char16_t* name : kNames) AddPlain(device, early, name, false);
    const std::u16string bulk = AddPlain(device, storage, random_.Pick(kFolderNames), true);
    const std::uint32_t size = kUniqueSearchListingLimit - 10 + random_.Below(20);
    for (std::uint32_t i = 0; i < size; ++i) {
      AddPlain(device, bulk, u"BULK_" + text::Utf8ToWide(std::to_string(i)) + u".JPG", false);
    }
    const std::u16string wrapped = AddPlain(device, storage, random_.Pick(kFolderNames), true);
    for (const char16_t* name : kNames) AddPlain(device, wrapped, name, false);
  }

  std::u16string AddPlain(SimDevice* device, const std::u16string& parent,
                          const std::u16string& name, bool folder) {
    SimObject object;
    object.id = u"o" + text::Utf8ToWide(std::to_string(next_id_++));
    object.parent_id = parent;
    object.type = folder ? ContentType::kFolder : ContentType::kImage;
    object.name = object.file_name = name;
    if (!folder) object.size = kSizes[0];
    std::u16string id = object.id;
    device->Add(std::move(object));
    return id;
  }

  std::u16string Add(SimDevice* device, const std::u16string& parent, const std::u16string& name,
                     bool folder) {
    SimObject object;
    object.id = u"o" + text::Utf8ToWide(std::to_string(next_id_++));
    object.parent_id = parent;
    object.type =
        folder ? (parent == phone::kRootId ? ContentType::kFunctionalObject : ContentType::kFolder)
               : (random_.Chance(20) ? ContentType::kVideo : ContentType::kImage);
    if (random_.Chance(2)) object.type = ContentType::kNone;
    object.name = name;
    object.file_name = name;
    if (random_.Chance(2)) object.file_name.reset();
    if (random_.Chance(3)) object.file_name = u"renamed.jpg";
    if (!folder && random_.Chance(95)) object.size = random_.Pick(kSizes);
    phone::ObjectFaults& faults = object.faults;
    faults.enum_objects = folder && random_.Chance(3);
    faults.next = random_.Chance(2);
    faults.get_values = random_.Chance(1);
    // A failed read of the original file name looks like a device that gives none, and
    // no client can tell them apart; the object name then stands in. Where the two
    // differ, the pass would see another name than the photo has.
    faults.file_name = object.file_name == object.name && random_.Chance(1);
    faults.name = random_.Chance(2);
    faults.content_type = random_.Chance(2);
    faults.size = random_.Chance(3);
    faults.copy_id = random_.Chance(4);
    faults.refuse = random_.Chance(8);
    faults.result_element = random_.Chance(4);
    // Rare: each cuts its listing short.
    faults.next_null_id = random_.Below(250) == 0;
    faults.next_extra_id = random_.Below(250) == 0;
    faults.status_not_error = random_.Chance(3);
    if (healthy_) {
      object.file_name = name;
      if (object.type == ContentType::kNone) object.type = ContentType::kImage;
      if (!folder && !object.size.has_value()) object.size = kSizes[0];
      faults = {};
    }
    device->Add(object);
    return object.id;
  }

  Random random_;
  bool healthy_ = false;
  int next_id_ = 0;
  // The month folders of the household's first device, in the order it holds them.
  std::vector<std::u16string> first_months_;
};

// True when the name begins with six ASCII digits, a year above 0 and a month of 01 to
// 12: a folder a phone files that month's photos in.
bool BeginsWithRealMonth(const std::u16string& name) {
  if (name.size() < 6) return false;
  for (std::size_t i = 0; i < 6; ++i) {
    if (name[i] < u'0' || name[i] > u'9') return false;
  }
  const int month = (name[4] - u'0') * 10 + (name[5] - u'0');
  return name.substr(0, 4) != u"0000" && month >= 1 && month <= 12;
}

// What a reader can read of an object, with every key the pass asks for.
bool FileNameRead(const SimObject& object) {
  return !object.faults.get_values && !object.faults.file_name && object.file_name.has_value();
}
bool KindRead(const SimObject& object) {
  return !object.faults.get_values && !object.faults.content_type &&
         object.type != ContentType::kNone;
}
bool SizeRead(const SimObject& object) {
  return !object.faults.get_values && !object.faults.size && object.size.has_value();
}
// The name the object has, read or not: its file name, else the name it shows.
std::u16string TrueName(const SimObject& object) {
  return object.file_name.value_or(object.name.value_or(std::u16string()));
}
// What the object is, read or not: a folder or storage, or an object of no content type
// that holds objects.
bool IsFolder(const SimObject& object) {
  return object.is_folder() || (object.type == ContentType::kNone && !object.children.empty());
}

// A wanted file as the checks take it: name folded, month, size. One without a size is
// no entry of its own where the request holds its name and month with a size: it is
// that photo asked once more.
struct Entry {
  std::u16string name;
  std::u16string month;
  std::optional<std::uint64_t> size;
  bool size_unusable = false;

  bool real() const { return kNeighbours.count(month) != 0; }
  // What the request holds the name under: month and size, an unusable one a size of
  // its own.
  std::pair<std::u16string, std::string> photo() const {
    if (size_unusable) return {month, "unusable"};
    return {month, size.has_value() ? std::to_string(*size) : "none"};
  }
};

std::vector<Entry> EntriesOf(const std::vector<WantedFile>& wanted) {
  std::set<std::pair<std::u16string, std::u16string>> sized;
  for (const WantedFile& file : wanted) {
    if (file.size.has_value()) sized.emplace(Folded(file.name), file.month);
  }
  std::vector<Entry> entries;
  for (const WantedFile& file : wanted) {
    const bool asked_with_size = !file.size.has_value() && !file.size_unusable &&
                                 sized.count({Folded(file.name), file.month}) != 0;
    if (!file.name.empty() && !asked_with_size) {
      entries.push_back({Folded(file.name), file.month, file.size, file.size_unusable});
    }
  }
  return entries;
}

enum class Round { kOwnMonth, kNeighbourMonths, kUnique };

// An object directly inside a camera-roll folder that is no folder.
struct HeldPhoto {
  const SimObject* object = nullptr;
  bool name_read = false;
  std::u16string name;  // its file name folded, when it can be read
  std::u16string stem;
};

// One camera-roll folder as its device holds it.
struct HeldFolder {
  const SimDevice* device = nullptr;
  const SimObject* folder = nullptr;
  // Inside a top-level DCIM whose kind cannot be read, which the month groups may miss.
  bool in_unknown_dcim = false;
  std::vector<HeldPhoto> photos;
  bool holds_deeper = false;  // a folder inside it holds something
  // Its name does not begin with a real month, or it is a top-level DCIM (for the files
  // directly in it): it may hold a photo of any month, and every month group counts its
  // namesakes, though never takes one, and its objects of the entry's stem unless a
  // namesake lies beside them.
  bool of_no_month = false;

  bool InGroup(const Entry& entry, Round round) const {
    if (round == Round::kUnique) return true;
    if (!entry.real() || !FileNameRead(*folder)) return false;
    if (round == Round::kOwnMonth) return BeginsWith(*folder->file_name, entry.month);
    const std::vector<std::u16string>& neighbours = kNeighbours.at(entry.month);
    return std::any_of(neighbours.begin(), neighbours.end(), [&](const std::u16string& month) {
      return BeginsWith(*folder->file_name, month);
    });
  }
};

// What a group holds for an entry.
struct GroupEvidence {
  bool unreadable = false;  // something there may carry any name
  std::set<const SimObject*> carriers;
  std::set<const SimObject*> of_no_month;   // carriers on a storage without months
  std::set<const SimObject*> size_unknown;  // namesakes that may be the copy
  bool other_stem = false;                  // the stem under another extension
};

// Every camera-roll folder of every storage of every Apple device, as discovery reads
// the devices and as they hold their objects.
class Household {
 public:
  explicit Household(const Phone& phone) {
    const phone::LayerFaults& faults = phone.faults;
    if (faults.create_manager || faults.device_count || faults.device_ids) return;
    for (const SimDevice& device : phone.devices) {
      if (device.faults.null_id ||
          !NamesAppleDevice(device.faults.friendly_name ? u"" : device.friendly_name,
                            device.faults.manufacturer ? u"" : device.manufacturer)) {
        continue;
      }
      devices_.insert(device.id);
      for (const std::u16string& storage_id : device.Find(phone::kRootId)->children) {
        for (const std::u16string& top_id : device.Find(storage_id)->children) {
          const SimObject& top = *device.Find(top_id);
          if (!IsFolder(top)) continue;
          unnamed_folder_ = unnamed_folder_ || !FileNameRead(top);
          const bool dcim = Folded(TrueName(top)) == u"DCIM";
          Add(device, top, false, dcim);
          if (!dcim) continue;
          for (const std::u16string& inner_id : top.children) {
            const SimObject& inner = *device.Find(inner_id);
            if (!IsFolder(inner)) continue;
            if (!FileNameRead(inner)) {
              (KindRead(top) ? unnamed_folder_ : unnamed_folder_in_unknown_dcim_) = true;
            }
            Add(device, inner, !KindRead(top), false);
          }
        }
      }
    }
  }

  bool Contains(const std::u16string& device_id) const { return devices_.count(device_id) != 0; }

  // The folder of the household that holds the object directly, or null.
  const HeldFolder* FolderOf(const SimObject& object) const {
    for (const HeldFolder& folder : roll_) {
      if (std::any_of(folder.photos.begin(), folder.photos.end(),
                      [&](const HeldPhoto& photo) { return photo.object == &object; })) {
        return &folder;
      }
    }
    return nullptr;
  }

  // The group of `round` for `entry`; `with_unknown_dcim` adds, to the month groups,
  // the folders of a DCIM whose kind cannot be read.
  GroupEvidence Evidence(const Entry& entry, Round round, bool with_unknown_dcim) const {
    const bool all_dcim = round == Round::kUnique || with_unknown_dcim;
    GroupEvidence evidence;
    evidence.unreadable = unnamed_folder_ || (all_dcim && unnamed_folder_in_unknown_dcim_);
    const std::u16string stem = StemOf(entry.name);
    for (const HeldFolder& folder : roll_) {
      if (folder.in_unknown_dcim && !all_dcim) continue;
      const bool of_no_month = round != Round::kUnique && entry.real() && folder.of_no_month;
      if (!of_no_month && !folder.InGroup(entry, round)) continue;
      evidence.unreadable =
          evidence.unreadable || ((round == Round::kUnique || of_no_month) && folder.holds_deeper);
      // A folder of no month holding the stem counts only without the name beside it.
      bool stem_here = false;
      bool name_here = false;
      for (const HeldPhoto& photo : folder.photos) {
        const SimObject& object = *photo.object;
        if (!photo.name_read) {
          evidence.unreadable = true;
        } else if (photo.name != entry.name) {
          stem_here = stem_here || photo.stem == stem;
        } else {
          name_here = true;
          if (!entry.size.has_value() || (SizeRead(object) && *object.size == *entry.size)) {
            (of_no_month ? evidence.of_no_month : evidence.carriers).insert(&object);
          } else if (!SizeRead(object)) {
            evidence.size_unknown.insert(&object);
          }
        }
      }
      evidence.other_stem = evidence.other_stem || (stem_here && !(of_no_month && name_here));
    }
    return evidence;
  }

 private:
  void Add(const SimDevice& device, const SimObject& folder, bool in_unknown_dcim, bool dcim) {
    HeldFolder held;
    held.device = &device;
    held.folder = &folder;
    held.in_unknown_dcim = in_unknown_dcim;
    held.of_no_month = dcim || !BeginsWithRealMonth(TrueName(folder));
    for (const std::u16string& child_id : folder.children) {
      const SimObject& child = *device.Find(child_id);
      if (!IsFolder(child)) {
        HeldPhoto photo;
        photo.object = &child;
        photo.name_read = FileNameRead(child);
        if (photo.name_read) {
          photo.name = Folded(*child.file_name);
          photo.stem = StemOf(photo.name);
        }
        held.photos.push_back(std::move(photo));
      } else if (!dcim && !child.children.empty()) {
        held.holds_deeper = true;
      }
    }
    roll_.push_back(std::move(held));
  }

  std::set<std::u16string> devices_;
  std::vector<HeldFolder> roll_;
  // A folder among a storage's objects or a DCIM's whose file name cannot be read: it may
  // be a folder of any month, or DCIM.
  bool unnamed_folder_ = false;
  bool unnamed_folder_in_unknown_dcim_ = false;
};

// What the earlier requests of the process left in its memory, as far as the checks
// can tell from what left the phones and what was reported.
struct Memory {
  // Stems of objects that left a phone: deleted, or sent without learning the outcome.
  std::set<std::u16string> stems;
  // Objects that left without being reported: sent without learning the outcome.
  std::vector<std::pair<std::u16string, std::u16string>> unknown;  // (device id, object id)
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> unknown_names;
  // The earlier request and what it reported.
  std::vector<Entry> entries;
  std::vector<std::u16string> reported;
};

// What stops `round` from taking `object` for `entry`: the first broken rule, or empty.
class Judge {
 public:
  Judge(const Household& household, const std::vector<Entry>& entries, const Memory& memory)
      : household_(household), entries_(entries), memory_(memory) {}

  std::string Fault(const SimObject& object, const Entry& entry, Round round) const {
    if (entry.size_unusable) return "taken for an entry whose size is unusable";
    if (entry.size.has_value() && !(SizeRead(object) && *object.size == *entry.size)) {
      return "taken for an entry of another size, or without reading its size";
    }
    if (round != Round::kOwnMonth) {
      std::set<std::pair<std::u16string, std::string>> photos;
      for (const Entry& other : entries_) {
        if (other.name == entry.name) photos.insert(other.photo());
      }
      if (photos.size() > 1) return "a name wanted as several photos, taken outside its own month";
      if (memory_.stems.count(StemOf(entry.name)) != 0) {
        return "a stem an earlier request deleted, taken outside its own month";
      }
      if (entry.real()) {
        std::string fault = GroupFault(object, entry, Round::kOwnMonth, false);
        if (!fault.empty()) return fault;
      }
    }
    if (round == Round::kUnique && entry.real()) {
      std::string fault = GroupFault(object, entry, Round::kNeighbourMonths, false);
      if (!fault.empty()) return fault;
    }
    return GroupFault(object, entry, round, true);
  }

 private:
  std::string GroupFault(const SimObject& object, const Entry& entry, Round round,
                         bool deciding) const {
    static const char* const kRoundNames[] = {"own month", "neighbours", "unique round"};
    for (const bool with_unknown_dcim : {false, true}) {
      std::string where = std::string(" in the ") + kRoundNames[static_cast<int>(round)];
      if (with_unknown_dcim) where += ", within a DCIM of unknown kind";
      const auto key = std::make_tuple(&entry, round, with_unknown_dcim);
      auto cached = evidence_.find(key);
      if (cached == evidence_.end()) {
        cached = evidence_.emplace(key, household_.Evidence(entry, round, with_unknown_dcim)).first;
      }
      const GroupEvidence& evidence = cached->second;
      const auto others = [&](const std::set<const SimObject*>& objects) {
        return objects.size() > (deciding ? objects.count(&object) : 0);
      };
      if (evidence.unreadable) return "something unreadable" + where;
      if (others(evidence.size_unknown)) return "a namesake of unknown size" + where;
      if (others(evidence.carriers))
        return (deciding ? "not the only carrier" : "a carrier") + where;
      if (deciding && !evidence.of_no_month.empty()) return "a carrier of no month" + where;
      if (!deciding && round == Round::kOwnMonth && evidence.other_stem) {
        return "the stem under another extension" + where;
      }
    }
    return {};
  }

  const Household& household_;
  const std::vector<Entry>& entries_;
  const Memory& memory_;
  // Each group of each entry is reckoned once.
  mutable std::map<std::tuple<const Entry*, Round, bool>, GroupEvidence> evidence_;
};

bool IsSubsequence(const std::vector<std::u16string>& part,
                   const std::vector<std::u16string>& whole) {
  std::size_t next = 0;
  for (const std::u16string& item : whole) {
    if (next < part.size() && part[next] == item) ++next;
  }
  return next == part.size();
}

// Checks one pass over `before`, whose deletions `after` holds; returns the first broken
// invariant, or empty.
std::string CheckPass(const Phone& before, const Phone& after,
                      const std::vector<WantedFile>& wanted,
                      const std::vector<std::u16string>& reported, const std::string& error,
                      const LayerUnderTest& layer, const Memory& memory) {
  const std::vector<Entry> entries = EntriesOf(wanted);
  for (const auto& [where, count] : layer.enumerations()) {
    if (count > 1) return "object " + text::WideToUtf8(where.second) + " enumerated twice";
  }
  // The calls that reached a device that went away: those it answered, the one that
  // failed, and Close. (Counted by the simulated layer; a phone read back from the WPD
  // server counts none.)
  for (std::size_t d = 0; d < after.devices.size(); ++d) {
    const SimDevice& device = after.devices[d];
    if (!device.faults.gone_after.has_value()) continue;
    const std::uint32_t gone_from = std::max(
        *device.faults.gone_after, d < before.devices.size() ? before.devices[d].calls : 0);
    if (device.calls > gone_from + 2) {
      return "device " + text::WideToUtf8(device.id) + " was asked " +
             std::to_string(device.calls) + " calls, though gone after " +
             std::to_string(*device.faults.gone_after);
    }
  }
  // A photo an earlier request reported deleted, the one entry of its name then and now.
  const auto only_entry = [](const std::vector<Entry>& list, const std::u16string& name) {
    const Entry* only = nullptr;
    for (const Entry& entry : list) {
      if (entry.name != name || entry.size_unusable) continue;
      if (only != nullptr && only->photo() != entry.photo()) {
        return static_cast<const Entry*>(nullptr);
      }
      only = &entry;
    }
    return only;
  };
  for (const Entry& entry : entries) {
    const Entry* earlier = only_entry(memory.entries, entry.name);
    if (only_entry(entries, entry.name) == nullptr || earlier == nullptr ||
        earlier->photo() != entry.photo() ||
        std::none_of(memory.reported.begin(), memory.reported.end(),
                     [&](const std::u16string& name) { return Folded(name) == entry.name; })) {
      continue;
    }
    if (std::none_of(reported.begin(), reported.end(),
                     [&](const std::u16string& name) { return Folded(name) == entry.name; })) {
      return "a photo an earlier request deleted was not reported again";
    }
    if (std::any_of(after.deleted.begin(), after.deleted.end(),
                    [&](const phone::DeletedObject& deleted) {
                      return Folded(deleted.name) == entry.name;
                    })) {
      return "a photo an earlier request deleted was sought again";
    }
  }

  const Household household(before);
  const Judge judge(household, entries, memory);
  std::set<std::pair<std::u16string, std::u16string>> sent;
  std::map<std::u16string, std::set<std::pair<std::u16string, std::string>>> photos;
  for (const Entry& entry : entries) photos[entry.name].insert(entry.photo());
  std::map<std::u16string, std::size_t> left_of_name;
  std::vector<std::u16string> left_names;
  bool statuses_may_be_missing = false;
  for (const phone::DeletedObject& deleted : after.deleted) {
    const SimDevice* device = nullptr;
    for (const SimDevice& candidate : before.devices) {
      if (candidate.id == deleted.device_id) device = &candidate;
    }
    const SimObject* object = device->Find(deleted.object_id);
    const std::string label = "object " + text::WideToUtf8(deleted.object_id) + ": ";
    if (!household.Contains(device->id)) {
      return label + "deleted from a device that is no Apple device";
    }
    if (!sent.insert({device->id, object->id}).second) return label + "deleted twice";
    const std::u16string name = Folded(deleted.name);
    if (photos.count(name) == 0) return label + "its name was not asked for";
    if (++left_of_name[name] > photos[name].size()) {
      return label + "more objects of its name than photos of it are wanted";
    }
    if (!KindRead(*object) || IsFolder(*object)) {
      return label + "a folder, or of a kind that could not be read";
    }
    if (!FileNameRead(*object)) return label + "taken by a name that is not its file name";
    if (object->faults.refuse) return label + "a refused object left the phone";
    if (household.FolderOf(*object) == nullptr) {
      return label + "not directly inside a camera-roll folder";
    }
    for (std::size_t i = 0; i < memory.unknown.size(); ++i) {
      if (memory.unknown[i] != std::make_pair(device->id, object->id) &&
          memory.unknown_names.at(memory.unknown[i]) == name) {
        return label + "its name was sent before without learning the outcome, as another object";
      }
    }
    left_names.push_back(deleted.name);
    statuses_may_be_missing = statuses_may_be_missing || device->faults.no_results ||
                              device->faults.short_results.has_value() ||
                              device->faults.results_count ||
                              device->faults.delete_fails_after.has_value() ||
                              object->faults.result_element || object->faults.status_not_error;

    // Some entry of its name may have taken it in some round; else the first rule that
    // stopped the first of them is the finding.
    const HeldFolder& folder = *household.FolderOf(*object);
    std::string fault;
    bool taken_rightly = false;
    for (const Entry& entry : entries) {
      for (const Round round : {Round::kOwnMonth, Round::kNeighbourMonths, Round::kUnique}) {
        if (entry.name != name || !folder.InGroup(entry, round)) continue;
        const std::string why = judge.Fault(*object, entry, round);
        taken_rightly = taken_rightly || why.empty();
        if (fault.empty()) fault = why;
      }
    }
    if (!taken_rightly) return label + fault;
  }
  // Names an earlier request reported, wanted again, may be reported again first.
  std::vector<std::u16string> reported_left = reported;
  std::vector<std::u16string> again = memory.reported;
  reported_left.erase(
      std::remove_if(reported_left.begin(), reported_left.end(),
                     [&](const std::u16string& name) {
                       const auto found = std::find(again.begin(), again.end(), name);
                       if (found == again.end() || photos.count(Folded(name)) == 0) {
                         return false;
                       }
                       again.erase(found);
                       return true;
                     }),
      reported_left.end());
  if (!IsSubsequence(reported_left, left_names)) return "a reported name did not leave the phone";
  if (reported_left != left_names && !statuses_may_be_missing) {
    return "an object left the phone without being reported";
  }
  if (reported.empty() && error.empty()) return "neither names nor a code";
  return {};
}

// What a pass leaves in the memory, as the checks tell it: what left and whether it was
// reported.
void Remember(const Phone& after, const std::vector<WantedFile>& wanted,
              const std::vector<std::u16string>& reported, Memory* memory) {
  memory->entries = EntriesOf(wanted);
  memory->reported = reported;
  std::vector<std::u16string> unreported = reported;
  for (const phone::DeletedObject& deleted : after.deleted) {
    const std::u16string name = Folded(deleted.name);
    memory->stems.insert(StemOf(name));
    const auto found = std::find(unreported.begin(), unreported.end(), deleted.name);
    if (found != unreported.end()) {
      unreported.erase(found);
      continue;
    }
    const std::pair<std::u16string, std::u16string> object = {deleted.device_id, deleted.object_id};
    memory->unknown.push_back(object);
    memory->unknown_names[object] = name;
  }
}

class DeletionPassInvariantTest : public ::testing::TestWithParam<LayerKind> {};

INSTANTIATE_TEST_SUITE_P(Layers, DeletionPassInvariantTest, ::testing::ValuesIn(LayerKinds()),
                         LayerKindName);

TEST_P(DeletionPassInvariantTest, HoldsOverGeneratedHouseholds) {
  const std::unique_ptr<LayerUnderTest> layer = GetParam().make();
  const int cases = layer->through_wpd() ? kCasesThroughWpd : kCases;
  int passes_with_deletions = 0;
  for (int i = 0; i < cases; ++i) {
    HouseholdGenerator generator(kSeed + static_cast<std::uint32_t>(i));
    Phone phone = generator.Generate();
    std::vector<WantedFile> wanted = generator.GenerateRequest();
    // One case in four sends a second request to the phone the first left.
    const int requests = i % 4 == 0 ? 2 : 1;
    DeletionMemory process_memory;
    Memory memory;
    for (int request = 0; request < requests; ++request) {
      if (request > 0) wanted = generator.GenerateLaterRequest(wanted);
      const Phone before = phone;
      phone.deleted.clear();
      std::string error;
      std::vector<std::u16string> reported;
      DeleteWantedFiles(layer->Serve(&phone), wanted, &process_memory, &reported, &error);
      layer->Finish();
      const std::string broken = CheckPass(before, phone, wanted, reported, error, *layer, memory);
      if (!broken.empty() || ::testing::Test::HasFailure()) {
        std::string text;
        for (const WantedFile& file : wanted) {
          text += " {" + text::WideToUtf8(file.name) + ", " + text::WideToUtf8(file.month) +
                  (file.size.has_value() ? ", " + std::to_string(*file.size) : "") +
                  (file.size_unusable ? ", unusable size" : "") + "}";
        }
        FAIL() << "case " << i << ", request " << request + 1 << ": " << broken
               << "\nrequest:" << text << "\nerror: " << error << "\nphone:\n"
               << phone::WritePhoneJson(before);
      }
      passes_with_deletions += phone.deleted.empty() ? 0 : 1;
      Remember(phone, wanted, reported, &memory);
    }
  }
  // The generator must exercise deletion, not only failures. The pass deletes only on
  // complete, unambiguous evidence over the whole household, which the faults take away
  // from most households, and a request with a size only where the device gives sizes.
  EXPECT_GT(passes_with_deletions, cases / 40) << passes_with_deletions;
}

}  // namespace
}  // namespace camvey::ptp
