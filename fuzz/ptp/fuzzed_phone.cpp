#include "fuzz/ptp/fuzzed_phone.h"

#include <algorithm>
#include <utility>

#include "fuzz/ptp/photo_terms.h"
#include "text/wide_text.h"

namespace camvey::fuzz {
namespace {

// A folder of more children than the unique-name search lists on a storage, so that
// the search meets its limit. It hands out one photo, of a name no request draws, that
// many times: the pass lists each like any other, at a fraction of the cost of a run.
constexpr std::size_t kLargeFolderSize = 15000;
constexpr char16_t kLargeFolderPhotoId[] = u"large";

// In the order the devices of a household are met by default: an iPhone and an iPad,
// whose counters number their photos alike, then another iPhone.
constexpr const char16_t* kFriendlyNames[] = {u"iPhone", u"Study iPad", u"Apple iPhone", u"Camera",
                                              u""};
constexpr const char16_t* kManufacturers[] = {u"Apple Inc.", u"Contoso", u""};

// The kind of an object first met at a spot: storages are functional objects, their
// top-level objects and the objects inside DCIM mostly folders, and inside those
// folders mostly photos.
Kind DrawKind(AnswerReader& reader, Spot spot) {
  using K = Kind;
  static constexpr Kind kBySpot[][8] = {
      {K::kFunctionalObject, K::kFunctionalObject, K::kFunctionalObject, K::kFunctionalObject,
       K::kFunctionalObject, K::kFunctionalObject, K::kFolder, K::kOther},
      {K::kFunctionalObject, K::kFunctionalObject, K::kFunctionalObject, K::kFunctionalObject,
       K::kFolder, K::kFolder, K::kImage, K::kOther},
      {K::kFolder, K::kFolder, K::kFolder, K::kFolder, K::kFolder, K::kImage, K::kFunctionalObject,
       K::kOther},
      {K::kFolder, K::kFolder, K::kFolder, K::kFolder, K::kFolder, K::kImage, K::kOther,
       K::kFolder},
      {K::kImage, K::kImage, K::kImage, K::kImage, K::kImage, K::kOther, K::kFolder, K::kImage},
      {K::kImage, K::kImage, K::kImage, K::kImage, K::kFolder, K::kFolder, K::kOther, K::kImage},
  };
  return reader.Pick(kBySpot[static_cast<int>(spot)]);
}

// Where the children of an object first met at `spot` are first met.
Spot ChildSpot(const FuzzedObject& parent) {
  switch (parent.spot) {
    case Spot::kRoot:
      return Spot::kStorage;
    case Spot::kStorage:
      return Spot::kTopLevel;
    case Spot::kTopLevel:
      return IsDcimName(parent.file_name) ? Spot::kInDcim : Spot::kInFolder;
    case Spot::kInDcim:
      return Spot::kInFolder;
    case Spot::kInFolder:
    case Spot::kDeeper:
      break;
  }
  return Spot::kDeeper;
}

// A property that cannot be read: missing, an error value, a failing getter.
Property DrawUnreadable(AnswerReader& reader, bool string_value) {
  static constexpr Property kHostile[] = {
      {PropertyAnswer::kErrorValue, 0},        {PropertyAnswer::kNoEntry, 0},
      {PropertyAnswer::kFailure, kFailed},     {PropertyAnswer::kFailure, kTypeMismatch},
      {PropertyAnswer::kFailure, kDeviceHung}, {PropertyAnswer::kFailure, kNotConnected},
      {PropertyAnswer::kEmptySuccess, 0},      {PropertyAnswer::kErrorValue, kFailed},
  };
  const Property& property = reader.Pick(kHostile);
  // A GUID getter that succeeds writes its GUID.
  if (!string_value && property.answer == PropertyAnswer::kEmptySuccess) {
    return {PropertyAnswer::kErrorValue, 0};
  }
  return property;
}

Property DrawProperty(AnswerReader& reader, bool string_value) {
  if (!reader.Hostile(224)) return {};
  return DrawUnreadable(reader, string_value);
}

// Whether an object may be deleted, as its device says: mostly it may; else it may
// not, or the flag cannot be read.
void DrawCanDelete(AnswerReader& reader, FuzzedObject* object) {
  if (!reader.Hostile(192)) return;
  object->can_delete = false;
  if (reader.Hostile(128)) object->can_delete_answer = DrawUnreadable(reader, false);
}

// A storage's access capability: mostly read and write; else mostly read-only without
// object deletion, as an iPhone with iCloud Photos on reports its photo storage, now
// and then read-only with object deletion or a value WPD does not define, or one that
// cannot be read.
void DrawAccess(AnswerReader& reader, FuzzedObject* object) {
  object->access_answer = {};
  if (!reader.Hostile(160)) return;
  static constexpr std::uint32_t kCapabilities[] = {1, 1, 1, 1, 2, 0xFFFFFFFF, 1, 1};
  const std::uint32_t choice = reader.Below(8);
  object->access = kCapabilities[choice];
  if (choice >= 6) object->access_answer = DrawUnreadable(reader, false);
}

std::u16string Numbered(const char16_t* prefix, int number) {
  return prefix + text::Utf8ToWide(std::to_string(number));
}

std::u16string FreshId(FuzzedDevice& device) { return Numbered(u"o", device.fresh_ids++); }

}  // namespace

bool IsFolderKind(Kind kind) { return kind == Kind::kFolder || kind == Kind::kFunctionalObject; }

SeenObject Seen(const FuzzedObject& object, const KeysAsked& keys) {
  SeenObject seen;
  if (ptp::DeviceFailed(object.values_result) || object.values_missing) {
    seen.access_unread = true;
    return seen;
  }
  if (keys.file_name && object.file_name_answer.answer == PropertyAnswer::kValue) {
    seen.name = object.file_name;
    seen.name_is_file_name = true;
  } else if (keys.object_name && object.object_name_answer.answer == PropertyAnswer::kValue) {
    seen.name = object.object_name;
  }
  if (keys.content_type && object.content_type_answer.answer == PropertyAnswer::kValue) {
    seen.kind_known = true;
    seen.is_folder = IsFolderKind(object.kind);
  }
  if (keys.size && object.size_answer.answer == PropertyAnswer::kValue) {
    seen.size_known = true;
    seen.size = object.size;
  }
  if (keys.can_delete && object.can_delete_answer.answer == PropertyAnswer::kValue) {
    seen.can_delete = object.can_delete;
  }
  // An error value without a reason of its own says the device has no such value; any
  // other answer but the value leaves it unread.
  const Property& access = object.access_answer;
  seen.access_unread =
      !keys.access || (access.answer != PropertyAnswer::kValue &&
                       !(access.answer == PropertyAnswer::kErrorValue && access.failure == 0));
  if (keys.access && object.access_answer.answer == PropertyAnswer::kValue) {
    seen.access = object.access;
  }
  return seen;
}

bool FuzzedListing::EndsEarly() const {
  return ptp::DeviceFailed(enum_result) || enumerator_missing ||
         (end != ListingEnd::kNoMoreObjects && end != ListingEnd::kLastWithNoMore);
}

FuzzedPhone::FuzzedPhone(AnswerReader* reader) : reader_(*reader) {}

FuzzedDevice& FuzzedPhone::Device(const std::u16string& device_id) {
  const auto found = devices_.find(device_id);
  if (found != devices_.end()) return found->second;
  const std::size_t met_before = devices_.size();
  FuzzedDevice& device = devices_[device_id];
  device.friendly_name = reader_.Text(kFriendlyNames, met_before);
  device.manufacturer = reader_.Text(kManufacturers);
  DrawGoing(device);
  DrawLocked(device);
  DrawObject(device, ptp::kDeviceObjectId, Spot::kRoot);
  Listing(device, ptp::kDeviceObjectId);
  return device;
}

void FuzzedPhone::DrawGoing(FuzzedDevice& device) {
  device.gone_after = -1;
  if (!reader_.Hostile(232)) return;
  device.gone_after = reader_.Byte();
  device.gone_code = reader_.Pick(kGoneAnswers);
}

void FuzzedPhone::DrawLocked(FuzzedDevice& device) { device.locked = reader_.Hostile(240); }

const FuzzedObject& FuzzedPhone::Object(FuzzedDevice& device, const std::u16string& object_id) {
  const auto found = device.objects.find(object_id);
  if (found != device.objects.end()) return found->second;
  return DrawObject(device, object_id, Spot::kTopLevel);
}

FuzzedObject& FuzzedPhone::DrawObject(FuzzedDevice& device, const std::u16string& object_id,
                                      Spot spot) {
  FuzzedObject& object = device.objects[object_id];
  device.ids.push_back(object_id);
  object.spot = spot;
  object.kind = DrawKind(reader_, spot);
  const bool outer = spot == Spot::kRoot || spot == Spot::kStorage || spot == Spot::kTopLevel;
  const auto draw_name = [&] {
    if (!IsFolderKind(object.kind)) return reader_.Text(kFileNames);
    return outer ? reader_.Text(kTopLevelNames) : reader_.Text(kInnerFolderNames);
  };
  object.file_name = draw_name();
  object.object_name = object.file_name;
  if (reader_.Hostile(192)) object.object_name = draw_name();
  if (reader_.Hostile(224)) {
    static constexpr DeviceResult kValues[] = {ptp::kDeviceFalse, kFailed, ptp::kDeviceOk,
                                               kDeviceHung, kElementNotFound};
    object.values_result = reader_.Pick(kValues);
    object.values_missing = object.values_result == ptp::kDeviceOk;
  }
  object.file_name_answer = DrawProperty(reader_, true);
  object.object_name_answer = DrawProperty(reader_, true);
  object.content_type_answer = DrawProperty(reader_, false);
  object.size = reader_.Pick(kObjectSizes);
  object.size_answer = DrawProperty(reader_, false);
  DrawCanDelete(reader_, &object);
  if (spot == Spot::kStorage) DrawAccess(reader_, &object);
  return object;
}

const FuzzedListing& FuzzedPhone::Listing(FuzzedDevice& device, const std::u16string& parent_id) {
  const auto found = device.listings.find(parent_id);
  if (found != device.listings.end()) return found->second;
  const FuzzedObject& parent = Object(device, parent_id);
  const Spot spot = ChildSpot(parent);
  FuzzedListing listing;
  if (reader_.Hostile(240)) {
    static constexpr DeviceResult kEnumResults[] = {kFailed, ptp::kDeviceOk, kDeviceHung,
                                                    kElementNotFound};
    listing.enum_result = reader_.Pick(kEnumResults);
    listing.enumerator_missing = listing.enum_result == ptp::kDeviceOk;
  }
  std::size_t count = 0;
  if (spot == Spot::kStorage) {
    // Now and then more storages than the pass searches.
    count = reader_.Below(5);
    if (count == 4) count = 18 + reader_.Below(6);
  } else {
    const std::uint8_t size = reader_.Byte();
    count = size % 8;
    if (spot == Spot::kInFolder && size == 255 && reader_.Byte() == 255) count = kLargeFolderSize;
  }
  if (count == kLargeFolderSize) {
    if (device.objects.count(kLargeFolderPhotoId) == 0) {
      FuzzedObject& photo = device.objects[kLargeFolderPhotoId];
      device.ids.push_back(kLargeFolderPhotoId);
      photo.spot = spot;
      photo.file_name = photo.object_name = u"LARGE.JPG";
    }
    listing.children.assign(count, kLargeFolderPhotoId);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      std::u16string id = DrawChildId(device, parent_id);
      if (device.objects.count(id) == 0) DrawObject(device, id, spot);
      listing.children.push_back(std::move(id));
    }
  }
  DrawEnd(listing.children.size(), &listing);
  const FuzzedListing& drawn = device.listings.emplace(parent_id, std::move(listing)).first->second;
  // The root's storages, a storage's top-level objects, a DCIM folder's objects and the
  // folders inside a camera-roll folder are drawn with it, so that what the camera roll
  // holds, and what lies just below it where nothing may be taken, does not depend on
  // which folders the pass lists, nor in what order.
  if (spot == Spot::kStorage || spot == Spot::kTopLevel || spot == Spot::kInDcim ||
      spot == Spot::kInFolder) {
    for (const std::u16string& child_id : drawn.children) {
      const FuzzedObject& child = device.objects.at(child_id);
      if (child.spot != spot || (spot == Spot::kInFolder && !IsFolderKind(child.kind))) continue;
      Listing(device, child_id);
    }
  }
  return drawn;
}

std::u16string FuzzedPhone::DrawChildId(FuzzedDevice& device, const std::u16string& parent_id) {
  if (!reader_.Hostile(208)) return FreshId(device);
  switch (reader_.Below(5)) {
    case 0: {
      const std::u16string& met = device.ids[reader_.Byte() % device.ids.size()];
      return device.objects.at(met).deleted ? FreshId(device) : met;
    }
    case 1:
      return parent_id;
    case 2:
      return ptp::kDeviceObjectId;
    case 3:
      return u"";
    default:
      return reader_.Text(kFileNames);
  }
}

void FuzzedPhone::DrawEnd(std::size_t count, FuzzedListing* listing) {
  if (!reader_.Hostile(216)) return;
  static constexpr ListingEnd kEnds[] = {ListingEnd::kLastWithNoMore, ListingEnd::kFailure,
                                         ListingEnd::kFailure, ListingEnd::kOkWithoutId,
                                         ListingEnd::kOtherSuccess};
  listing->end = reader_.Pick(kEnds);
  if (listing->end == ListingEnd::kLastWithNoMore) {
    if (count == 0) listing->end = ListingEnd::kNoMoreObjects;
    return;
  }
  listing->handed_out =
      reader_.Below(static_cast<std::uint32_t>(std::min<std::size_t>(count, 255)) + 1);
  if (listing->end == ListingEnd::kFailure) {
    listing->end_result = reader_.Pick(kCallFailures);
  } else if (listing->end == ListingEnd::kOtherSuccess) {
    static constexpr DeviceResult kOtherSuccesses[] = {2, 0x00040200, 0x7FFFFFFF};
    listing->end_result = reader_.Pick(kOtherSuccesses);
    listing->end_with_id = reader_.Byte() % 2 == 0 && listing->handed_out < count;
  }
}

void FuzzedPhone::Remove(FuzzedDevice& device, const std::u16string& object_id) {
  const auto object = device.objects.find(object_id);
  if (object != device.objects.end()) object->second.deleted = true;
  for (auto& entry : device.listings) {
    FuzzedListing& listing = entry.second;
    std::vector<std::u16string> kept;
    std::size_t handed_out = 0;
    for (std::size_t i = 0; i < listing.children.size(); ++i) {
      if (listing.children[i] == object_id) continue;
      if (i < listing.handed_out) ++handed_out;
      kept.push_back(std::move(listing.children[i]));
    }
    listing.children = std::move(kept);
    listing.handed_out = handed_out;
    // The ends that hand out one child more than counted need one.
    if (listing.children.empty() && listing.end == ListingEnd::kLastWithNoMore) {
      listing.end = ListingEnd::kNoMoreObjects;
    }
    listing.end_with_id = listing.end_with_id && listing.handed_out < listing.children.size();
  }
}

void FuzzedPhone::Replug() {
  for (auto& entry : devices_) {
    FuzzedDevice& device = entry.second;
    if (device.locked && !reader_.Hostile(128)) device.locked = false;
    if (!device.gone || reader_.Hostile(128)) continue;
    device.gone = false;
    device.calls = 0;
    DrawGoing(device);
  }
}

std::vector<std::optional<std::u16string>> FuzzedPhone::DrawDeviceList() {
  // Mostly one device or two, an iPhone and an iPad (see Device).
  static constexpr std::size_t kCounts[] = {1, 2, 2, 1, 2, 3, 0, 2};
  std::vector<std::optional<std::u16string>> ids(reader_.Pick(kCounts));
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (!reader_.Hostile(200)) {
      ids[i] = Numbered(u"usb#", static_cast<int>(i));
      continue;
    }
    switch (reader_.Below(4)) {
      case 0:
        break;  // left null
      case 1:
        ids[i] = u"usb#0";
        break;
      case 2:
        ids[i] = u"";
        break;
      default:
        ids[i] = reader_.Text(kFileNames);
        break;
    }
  }
  return ids;
}

}  // namespace camvey::fuzz
