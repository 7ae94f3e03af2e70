// The deletion pass over thousands of generated phones and requests, laid out in the old
// way (month folders under the storage) and as Windows shows an iPhone (month folders
// inside DCIM), checked against what must hold whatever the pass decides: it
// deletes only what was asked for, at most once per name, only directly inside a
// camera-roll folder, in a month group only the one object of its name there, from the
// neighbours only when the own month holds neither the name nor its stem, by a name
// found once only when no other photo of the storage's camera roll carries it (whatever
// the listings failed to show, and a photo without a file name may carry any), reports
// exactly what left the phone, and asks a device that went away nothing more but to
// close. Months and camera-roll folders are reckoned here, not with the pass's own
// functions, so that a mistake in those shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ptp/device/deletion_pass.h"
#include "ptp/device/discovery.h"
#include "ptp/wide_text.h"
#include "standins/phone/phone_json.h"
#include "tests/ptp/device/layer_under_test.h"

namespace camvey::ptp {
namespace {

using phone::Phone;
using phone::SimDevice;
using phone::SimObject;

// Through WPD a pass costs far more; fewer phones still meet every switch many times.
constexpr int kCases = 2500;
constexpr int kCasesThroughWpd = 250;
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
const char16_t* const kNames[] = {u"IMG_0001.HEIC",    u"IMG_0001.MOV", u"img_0001.heic",
                                  u"IMG_E0001.HEIC",   u"IMG_0002.JPG", u"IMG_0003.HEIC",
                                  u"Img_0004.Jpg",     u"IMG_0005.AAE", u"\u00C9T\u00C9.JPG",
                                  u"\u00E9t\u00E9.jpg"};
const char16_t* const kFolderNames[] = {u"202311__", u"202312__", u"202401__", u"202402__",
                                        u"202403__", u"202401",   u"2024",     u"Screenshots",
                                        u"20240",    u"202501__", u"202401_a", u"100APPLE"};
const char16_t* const kDcimNames[] = {u"DCIM", u"dcim"};
const char16_t* const kMonths[] = {u"202312", u"202401", u"202402", u"",      u"2024",
                                   u"abc",    u"202413", u"202501", u"202401"};
// The neighbours of the real months above, written out rather than computed, so that
// the checks share nothing with the pass's month arithmetic.
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

// The folded name before its last '.', the same photo under another extension; empty
// without one.
std::u16string StemOf(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos || dot == 0 ? std::u16string() : Folded(name.substr(0, dot));
}

bool BeginsWith(const std::u16string& folder_name, const std::u16string& month) {
  return !month.empty() && Folded(folder_name).rfind(Folded(month), 0) == 0;
}
bool IsOwnFolder(const std::u16string& folder_name, const std::u16string& month) {
  return BeginsWith(folder_name, month);
}
bool IsNeighbourFolder(const std::u16string& folder_name, const std::u16string& month) {
  const auto neighbours = kNeighbours.find(month);
  return neighbours != kNeighbours.end() &&
         std::any_of(neighbours->second.begin(), neighbours->second.end(),
                     [&](const std::u16string& other) { return BeginsWith(folder_name, other); });
}

class PhoneGenerator {
 public:
  explicit PhoneGenerator(std::uint32_t seed) : random_(seed) {}

  Phone Generate() {
    Phone phone;
    phone::LayerFaults& layer = phone.faults;
    layer.create_manager = random_.Chance(2);
    layer.refresh = random_.Chance(5);
    layer.device_count = random_.Chance(2);
    layer.device_ids = random_.Chance(2);
    layer.create_key_collection = random_.Chance(2);
    layer.create_client_information = random_.Chance(2);
    layer.create_device = random_.Chance(2);
    layer.create_id_collection = random_.Chance(2);
    const std::uint32_t devices = 1 + random_.Below(3);
    for (std::uint32_t d = 0; d < devices; ++d) phone.devices.push_back(GenerateDevice(d));
    return phone;
  }

  std::vector<WantedFile> GenerateRequest() {
    std::vector<WantedFile> wanted;
    const std::uint32_t count = random_.Below(7);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::u16string name = random_.Chance(5) ? u"" : random_.Pick(kNames);
      wanted.push_back({Folded(name), random_.Pick(kMonths)});
    }
    return wanted;
  }

 private:
  SimDevice GenerateDevice(std::uint32_t index) {
    static const char16_t* const kFriendlyNames[] = {u"iPhone", u"Camera", u"Study iPad", u""};
    static const char16_t* const kMakers[] = {u"Apple Inc.", u"Contoso", u""};
    SimDevice device;
    device.id = u"usb#" + Utf8ToWide(std::to_string(index));
    device.friendly_name = random_.Pick(kFriendlyNames);
    device.manufacturer = random_.Pick(kMakers);
    phone::DeviceFaults& faults = device.faults;
    faults.null_id = random_.Chance(3);
    faults.friendly_name = random_.Chance(3);
    faults.manufacturer = random_.Chance(3);
    faults.open = random_.Chance(8);
    faults.content = random_.Chance(3);
    faults.properties = random_.Chance(3);
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
    const std::uint32_t storages = random_.Below(4);
    for (std::uint32_t s = 0; s < storages; ++s) {
      const std::u16string storage = Add(&device, kRootId(), u"Internal Storage", true);
      const std::uint32_t top_level = random_.Below(7);
      // Now and then a large phone, whose listings cross the listed-object limit.
      if (random_.Below(250) == 0) AddLargePhoneFolders(&device, storage);
      // The month folders under the storage (the old layout), inside DCIM (an iPhone's),
      // or both.
      const std::uint32_t layout = random_.Below(3);
      const std::u16string dcim =
          layout == 0 ? std::u16string() : Add(&device, storage, random_.Pick(kDcimNames), true);
      for (std::uint32_t t = 0; t < top_level; ++t) {
        const bool in_dcim = layout == 1 || (layout == 2 && random_.Chance(50));
        const std::u16string& parent = in_dcim ? dcim : storage;
        if (random_.Chance(25)) {
          Add(&device, parent, random_.Pick(kNames), false);
          continue;
        }
        const std::u16string folder = Add(&device, parent, random_.Pick(kFolderNames), true);
        const std::uint32_t children = random_.Below(7);
        for (std::uint32_t c = 0; c < children; ++c) {
          // Deeper down: where no photo may be taken.
          const bool sub_folder = random_.Chance(15);
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
      AddPlain(device, bulk, u"BULK_" + Utf8ToWide(std::to_string(i)) + u".JPG", false);
    }
    const std::u16string wrapped = AddPlain(device, storage, random_.Pick(kFolderNames), true);
    for (const char16_t* name : kNames) AddPlain(device, wrapped, name, false);
  }

  std::u16string AddPlain(SimDevice* device, const std::u16string& parent,
                          const std::u16string& name, bool folder) {
    SimObject object;
    object.id = u"o" + Utf8ToWide(std::to_string(next_id_++));
    object.parent_id = parent;
    object.type = folder ? phone::ContentType::kFolder : phone::ContentType::kImage;
    object.name = object.file_name = name;
    std::u16string id = object.id;
    device->Add(std::move(object));
    return id;
  }

  std::u16string Add(SimDevice* device, const std::u16string& parent, const std::u16string& name,
                     bool folder) {
    SimObject object;
    object.id = u"o" + Utf8ToWide(std::to_string(next_id_++));
    object.parent_id = parent;
    object.type =
        folder ? (parent == phone::kRootId ? phone::ContentType::kFunctionalObject
                                           : phone::ContentType::kFolder)
               : (random_.Chance(20) ? phone::ContentType::kVideo : phone::ContentType::kImage);
    if (random_.Chance(3)) object.type = phone::ContentType::kNone;
    object.name = name;
    object.file_name = name;
    if (random_.Chance(3)) object.file_name.reset();
    if (random_.Chance(5)) object.file_name = u"renamed.jpg";
    phone::ObjectFaults& faults = object.faults;
    faults.enum_objects = folder && random_.Chance(3);
    faults.next = random_.Chance(2);
    faults.get_values = random_.Chance(2);
    // A failed read of the original file name looks like a device that gives none, and
    // no client can tell them apart; the object name then stands in. Where the two
    // differ, the pass would see another name than the photo has.
    faults.file_name = object.file_name == object.name && random_.Chance(1);
    faults.name = random_.Chance(2);
    faults.content_type = random_.Chance(2);
    faults.copy_id = random_.Chance(4);
    faults.refuse = random_.Chance(8);
    faults.result_element = random_.Chance(4);
    // Rare: each cuts its listing short.
    faults.next_null_id = random_.Below(250) == 0;
    faults.next_extra_id = random_.Below(250) == 0;
    faults.status_not_error = random_.Chance(3);
    device->Add(object);
    return object.id;
  }

  Random random_;
  int next_id_ = 0;
};

// What a client sees of an object: its name, or empty when its properties cannot be
// read, and whether it reads as a folder.
std::u16string SeenName(const SimObject& object) {
  return object.faults.get_values ? std::u16string() : object.ReadName();
}
bool SeenAsFolder(const SimObject& object) {
  return !object.faults.get_values && !object.faults.content_type && object.is_folder();
}

// The name the object has, whatever a client can read of it.
std::u16string TrueName(const SimObject& object) {
  return object.file_name.value_or(object.name.value_or(std::u16string()));
}

// Whether the object may be a file of that (upper-cased) name: one whose device gives no
// file name may be any file, whatever its object name says.
bool MayBeNamed(const SimObject& object, const std::u16string& name) {
  return !object.file_name.has_value() || Folded(TrueName(object)) == name;
}

// Whether the object may be a file of that (upper-cased) name's stem.
bool MayBeStem(const SimObject& object, const std::u16string& name) {
  const std::u16string stem = StemOf(name);
  return !object.file_name.has_value() || (!stem.empty() && StemOf(TrueName(object)) == stem);
}

// Whether the pass may take the top-level folder for DCIM: by the name it reads, or by
// the name it could not read.
bool MayBeDcim(const SimObject& folder) {
  return Folded(SeenName(folder)) == u"DCIM" || Folded(TrueName(folder)) == u"DCIM";
}

// The camera-roll folders of a storage: its top-level folders and the folders inside
// each DCIM.
std::vector<const SimObject*> CameraRoll(const SimDevice& device, const SimObject& storage) {
  std::vector<const SimObject*> roll;
  for (const std::u16string& top_id : storage.children) {
    const SimObject* top = device.Find(top_id);
    if (!top->is_folder()) continue;
    roll.push_back(top);
    if (!MayBeDcim(*top)) continue;
    for (const std::u16string& inner_id : top->children) {
      const SimObject* inner = device.Find(inner_id);
      if (inner->is_folder()) roll.push_back(inner);
    }
  }
  return roll;
}

// The storage of the camera-roll folder that holds the object, or null when the object
// does not lie directly inside one.
const SimObject* StorageOf(const SimDevice& device, const SimObject& object) {
  const SimObject* folder = device.Find(object.parent_id);
  if (folder == nullptr || !folder->is_folder() || folder->id == phone::kRootId) return nullptr;
  const SimObject* parent = device.Find(folder->parent_id);
  if (parent == nullptr || parent->id == phone::kRootId) return nullptr;
  if (parent->parent_id == phone::kRootId) return parent;
  const SimObject* storage = device.Find(parent->parent_id);
  if (!MayBeDcim(*parent) || storage == nullptr || storage->parent_id != phone::kRootId) {
    return nullptr;
  }
  return storage;
}

bool IsSubsequence(const std::vector<std::u16string>& part,
                   const std::vector<std::u16string>& whole) {
  std::size_t next = 0;
  for (const std::u16string& item : whole) {
    if (next < part.size() && part[next] == item) ++next;
  }
  return next == part.size();
}

// Checks one pass; returns the first broken invariant, or empty.
std::string CheckPass(const Phone& before, const Phone& after,
                      const std::vector<WantedFile>& wanted,
                      const std::vector<std::u16string>& reported, const std::string& error,
                      const LayerUnderTest& layer) {
  std::map<std::u16string, std::set<std::u16string>> months_of_name;
  for (const WantedFile& file : wanted) {
    if (!file.name.empty()) months_of_name[file.name].insert(file.month);
  }
  for (const auto& [where, count] : layer.enumerations()) {
    if (count > 1) return "object " + WideToUtf8(where.second) + " enumerated twice";
  }
  // The calls that reached a device that went away: those it answered, the one that
  // failed, and Close. (Counted by the simulated layer; a phone read back from the WPD
  // server counts none.)
  for (const SimDevice& device : after.devices) {
    if (device.faults.gone_after.has_value() && device.calls > *device.faults.gone_after + 2) {
      return "device " + WideToUtf8(device.id) + " was asked " + std::to_string(device.calls) +
             " calls, though gone after " + std::to_string(*device.faults.gone_after);
    }
  }

  std::set<std::u16string> deleted_names;
  std::vector<std::u16string> left_names;
  bool statuses_may_be_missing = false;
  for (const phone::DeletedObject& deleted : after.deleted) {
    const SimDevice* device = nullptr;
    for (const SimDevice& candidate : before.devices) {
      if (candidate.id == deleted.device_id) device = &candidate;
    }
    const SimObject* object = device->Find(deleted.object_id);
    const std::string label = "object " + WideToUtf8(deleted.object_id) + ": ";
    if (!IsAppleDevice(device->friendly_name, device->manufacturer)) {
      return label + "deleted from a device that is not an Apple device";
    }
    const std::u16string name = Folded(deleted.name);
    if (months_of_name.count(name) == 0) return label + "its name was not asked for";
    if (!deleted_names.insert(name).second) return label + "a second object of its name";
    const SimObject* storage = StorageOf(*device, *object);
    if (storage == nullptr) return label + "not directly inside a camera-roll folder";
    if (SeenAsFolder(*object) || object->faults.get_values || object->faults.content_type ||
        object->type == phone::ContentType::kNone) {
      return label + "a folder, or of a kind that could not be read";
    }
    if (object->faults.refuse) return label + "a refused object left the phone";
    left_names.push_back(deleted.name);
    statuses_may_be_missing = statuses_may_be_missing || device->faults.no_results ||
                              device->faults.short_results.has_value() ||
                              device->faults.results_count ||
                              device->faults.delete_fails_after.has_value() ||
                              object->faults.result_element || object->faults.status_not_error;

    // How it was found: in a month group of its name, where it must be the only object
    // of its name and, in a neighbour's folder, only if no folder of its own month holds
    // the name or its stem; elsewhere, where no other photo of the storage's camera roll
    // may carry its name.
    const SimObject& folder = *device->Find(object->parent_id);
    const std::vector<const SimObject*> roll = CameraRoll(*device, *storage);
    // Whether any folder of the group, as the pass reads their names and kinds, holds
    // another object the pass reads as `name`.
    const auto group_holds_another = [&](auto in_group) {
      for (const SimObject* member : roll) {
        if (!SeenAsFolder(*member) || !in_group(SeenName(*member))) continue;
        for (const std::u16string& child_id : member->children) {
          const SimObject& child = *device->Find(child_id);
          if (&child != object && !SeenAsFolder(child) && Folded(SeenName(child)) == name) {
            return true;
          }
        }
      }
      return false;
    };
    // Judged by what the own month's folders hold, seen or not: a copy hidden by a
    // failed listing or an unreadable object may be the one that was copied.
    const auto own_month_holds = [&](const std::u16string& month) {
      for (const SimObject* member : roll) {
        if (!IsOwnFolder(TrueName(*member), month) && !IsOwnFolder(SeenName(*member), month) &&
            member->file_name.has_value()) {
          continue;
        }
        for (const std::u16string& child_id : member->children) {
          const SimObject& child = *device->Find(child_id);
          if (&child != object && !child.is_folder() && MayBeStem(child, name)) return true;
        }
      }
      return false;
    };
    bool in_month_group = false;
    bool taken_rightly = false;
    for (const std::u16string& month : months_of_name[name]) {
      const auto own = [&](const std::u16string& name_read) {
        return IsOwnFolder(name_read, month);
      };
      const auto beside = [&](const std::u16string& name_read) {
        return IsNeighbourFolder(name_read, month);
      };
      if (own(SeenName(folder))) {
        in_month_group = true;
        taken_rightly = taken_rightly || !group_holds_another(own);
      } else if (beside(SeenName(folder))) {
        in_month_group = true;
        taken_rightly = taken_rightly || (!group_holds_another(beside) && !own_month_holds(month));
      }
    }
    if (in_month_group && !taken_rightly) {
      return label + "not the only one of its name in its month group, or taken from a " +
             "neighbouring month while its own month holds the name or its stem";
    }
    if (in_month_group) continue;
    for (const SimObject* member : roll) {
      for (const std::u16string& child_id : member->children) {
        const SimObject& child = *device->Find(child_id);
        if (&child != object && !child.is_folder() && MayBeNamed(child, name)) {
          return label + "taken by a name found once while the storage holds another " +
                 WideToUtf8(child_id);
        }
      }
    }
  }
  if (!IsSubsequence(reported, left_names)) return "a reported name did not leave the phone";
  if (reported != left_names && !statuses_may_be_missing) {
    return "an object left the phone without being reported";
  }
  if (reported.empty() && error.empty()) return "neither names nor a code";
  return {};
}

class DeletionPassInvariantTest : public ::testing::TestWithParam<LayerKind> {};

INSTANTIATE_TEST_SUITE_P(Layers, DeletionPassInvariantTest, ::testing::ValuesIn(LayerKinds()),
                         LayerKindName);

TEST_P(DeletionPassInvariantTest, HoldsOverGeneratedPhones) {
  const std::unique_ptr<LayerUnderTest> layer = GetParam().make();
  const int cases = layer->through_wpd() ? kCasesThroughWpd : kCases;
  int passes_with_deletions = 0;
  for (int i = 0; i < cases; ++i) {
    PhoneGenerator generator(kSeed + static_cast<std::uint32_t>(i));
    const Phone before = generator.Generate();
    const std::vector<WantedFile> wanted = generator.GenerateRequest();
    Phone after = before;
    std::string error;
    std::vector<std::u16string> reported;
    std::string broken;
    reported = DeleteWantedFiles(layer->Serve(&after), wanted, &error);
    layer->Finish();
    broken = CheckPass(before, after, wanted, reported, error, *layer);
    if (!broken.empty() || ::testing::Test::HasFailure()) {
      std::string request;
      for (const WantedFile& file : wanted) {
        request += " {" + WideToUtf8(file.name) + ", " + WideToUtf8(file.month) + "}";
      }
      FAIL() << "case " << i << ": " << broken << "\nrequest:" << request << "\nerror: " << error
             << "\nphone:\n"
             << phone::WritePhoneJson(before);
    }
    passes_with_deletions += after.deleted.empty() ? 0 : 1;
  }
  // The generator must exercise deletion, not only failures. The pass deletes only on
  // complete, unambiguous evidence, which the faults take away from most phones; a
  // device it could not search whole takes it from the other devices of its phone too.
  EXPECT_GT(passes_with_deletions, cases / 20) << passes_with_deletions;
}

}  // namespace
}  // namespace camvey::ptp
