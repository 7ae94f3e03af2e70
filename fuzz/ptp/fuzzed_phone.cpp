#include "fuzz/ptp/fuzzed_phone.h"

#include <algorithm>
#include <utility>

#include "ptp/wide_text.h"

namespace camvey::fuzz {
namespace {

// A folder of more children than the unique-name search lists on a storage, so that
// the search meets its limit. It hands out one photo, of a name no request draws, that
// many times: the pass lists each like any other, at a fraction of the cost of a run.
constexpr std::size_t kLargeFolderSize = 15000;
constexpr char16_t kLargeFolderPhotoId[] = u"large";

constexpr const char16_t* kFriendlyNames[] = {u"iPhone", u"Apple iPhone", u"Camera", u"Study iPad",
                                              u""};
constexpr const char16_t* kManufacturers[] = {u"Apple Inc.", u"Contoso", u""};

// The kind of an object first met at a level: storages are functional objects, their
// top-level objects mostly folders, and below those mostly photos.
Kind DrawKind(AnswerReader& reader, int level) {
  static constexpr Kind kByLevel[][8] = {
      {Kind::kFunctionalObject, Kind::kFunctionalObject, Kind::kFunctionalObject,
       Kind::kFunctionalObject, Kind::kFunctionalObject, Kind::kFunctionalObject, Kind::kFolder,
       Kind::kOther},
      {Kind::kFunctionalObject, Kind::kFunctionalObject, Kind::kFunctionalObject,
       Kind::kFunctionalObject, Kind::kFolder, Kind::kFolder, Kind::kImage, Kind::kOther},
      {Kind::kFolder, Kind::kFolder, Kind::kFolder, Kind::kFolder, Kind::kFolder, Kind::kImage,
       Kind::kFunctionalObject, Kind::kOther},
      {Kind::kImage, Kind::kImage, Kind::kImage, Kind::kImage, Kind::kImage, Kind::kOther,
       Kind::kFolder, Kind::kImage},
  };
  return reader.Pick(kByLevel[std::min(level, 3)]);
}

Property DrawProperty(AnswerReader& reader, bool string_value) {
  if (!reader.Hostile(224)) return {};
  static constexpr Property kHostile[] = {
      {PropertyAnswer::kErrorValue, 0},        {PropertyAnswer::kNoEntry, 0},
      {PropertyAnswer::kFailure, kFailed},     {PropertyAnswer::kFailure, kTypeMismatch},
      {PropertyAnswer::kFailure, kDeviceHung}, {PropertyAnswer::kFailure, kNotConnected},
      {PropertyAnswer::kEmptySuccess, 0},
  };
  const Property& property = reader.Pick(kHostile);
  // A GUID getter that succeeds writes its GUID.
  if (!string_value && property.answer == PropertyAnswer::kEmptySuccess) {
    return {PropertyAnswer::kErrorValue, 0};
  }
  return property;
}

std::u16string Numbered(const char16_t* prefix, int number) {
  return prefix + ptp::Utf8ToWide(std::to_string(number));
}

std::u16string FreshId(FuzzedDevice& device) { return Numbered(u"o", device.fresh_ids++); }

}  // namespace

bool IsFolderKind(Kind kind) { return kind == Kind::kFolder || kind == Kind::kFunctionalObject; }

SeenObject Seen(const FuzzedObject& object, const KeysAsked& keys) {
  SeenObject seen;
  if (ptp::DeviceFailed(object.values_result) || object.values_missing) return seen;
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
  FuzzedDevice& device = devices_[device_id];
  device.friendly_name = reader_.Text(kFriendlyNames);
  device.manufacturer = reader_.Text(kManufacturers);
  if (reader_.Hostile(232)) {
    device.gone_after = reader_.Byte();
    static constexpr DeviceResult kGone[] = {kDeviceHung, kNotConnected, kGenFailure, kSemTimeout,
                                             kDeviceNotOpen};
    device.gone_code = reader_.Pick(kGone);
  }
  DrawObject(device, ptp::kDeviceObjectId, 0);
  return device;
}

const FuzzedObject& FuzzedPhone::Object(FuzzedDevice& device, const std::u16string& object_id) {
  const auto found = device.objects.find(object_id);
  if (found != device.objects.end()) return found->second;
  return DrawObject(device, object_id, 2);
}

FuzzedObject& FuzzedPhone::DrawObject(FuzzedDevice& device, const std::u16string& object_id,
                                      int level) {
  FuzzedObject& object = device.objects[object_id];
  device.ids.push_back(object_id);
  object.level = level;
  object.kind = DrawKind(reader_, level);
  object.file_name =
      IsFolderKind(object.kind) ? reader_.Text(kFolderNames) : reader_.Text(kFileNames);
  object.object_name = object.file_name;
  if (reader_.Hostile(192)) object.object_name = reader_.Text(kFileNames);
  if (reader_.Hostile(224)) {
    static constexpr DeviceResult kValues[] = {ptp::kDeviceFalse, kFailed, ptp::kDeviceOk,
                                               kDeviceHung, kElementNotFound};
    object.values_result = reader_.Pick(kValues);
    object.values_missing = object.values_result == ptp::kDeviceOk;
  }
  object.file_name_answer = DrawProperty(reader_, true);
  object.object_name_answer = DrawProperty(reader_, true);
  object.content_type_answer = DrawProperty(reader_, false);
  return object;
}

const FuzzedListing& FuzzedPhone::Listing(FuzzedDevice& device, const std::u16string& parent_id) {
  const auto found = device.listings.find(parent_id);
  if (found != device.listings.end()) return found->second;
  const int level = Object(device, parent_id).level;
  FuzzedListing listing;
  if (reader_.Hostile(240)) {
    static constexpr DeviceResult kEnumResults[] = {kFailed, ptp::kDeviceOk, kDeviceHung,
                                                    kElementNotFound};
    listing.enum_result = reader_.Pick(kEnumResults);
    listing.enumerator_missing = listing.enum_result == ptp::kDeviceOk;
  }
  std::size_t count = 0;
  if (level == 0) {
    // Now and then more storages than the pass searches.
    count = reader_.Below(5);
    if (count == 4) count = 18 + reader_.Below(6);
  } else {
    const std::uint8_t size = reader_.Byte();
    count = size % 8;
    if (level == 2 && size == 255 && reader_.Byte() == 255) count = kLargeFolderSize;
  }
  if (count == kLargeFolderSize) {
    if (device.objects.count(kLargeFolderPhotoId) == 0) {
      FuzzedObject& photo = device.objects[kLargeFolderPhotoId];
      device.ids.push_back(kLargeFolderPhotoId);
      photo.level = level + 1;
      photo.file_name = photo.object_name = u"LARGE.JPG";
    }
    listing.children.assign(count, kLargeFolderPhotoId);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      std::u16string id = DrawChildId(device, parent_id);
      if (device.objects.count(id) == 0) DrawObject(device, id, level + 1);
      listing.children.push_back(std::move(id));
    }
  }
  DrawEnd(listing.children.size(), &listing);
  const FuzzedListing& drawn = device.listings.emplace(parent_id, std::move(listing)).first->second;
  // A storage's top-level folders are drawn with it, so that what they hold does not
  // depend on which of them the pass lists, nor in what order.
  if (level == 1) {
    for (const std::u16string& top_id : drawn.children) {
      if (device.objects.at(top_id).level == 2) Listing(device, top_id);
    }
  }
  return drawn;
}

std::u16string FuzzedPhone::DrawChildId(FuzzedDevice& device, const std::u16string& parent_id) {
  if (!reader_.Hostile(208)) return FreshId(device);
  switch (reader_.Below(5)) {
    case 0:
      return device.ids[reader_.Byte() % device.ids.size()];
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

std::vector<std::optional<std::u16string>> FuzzedPhone::DrawDeviceList() {
  std::vector<std::optional<std::u16string>> ids(reader_.Below(4));
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
