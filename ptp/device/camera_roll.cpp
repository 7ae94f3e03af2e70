#include "ptp/device/camera_roll.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "ptp/device/delete_trace.h"
#include "ptp/device/month_folder.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

unsigned long long MillisecondsNow() {
  return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
}

// A child of a camera-roll parent that may be a folder though the pass cannot tell.
bool MayBeFolder(const PhoneObject& object) { return object.is_folder || !object.kind_known; }

}  // namespace

bool NamedByFile(const PhoneObject& object) {
  return object.name_is_file_name && !object.name.empty();
}

bool SeenWhole(const Listing& listing) {
  if (!listing.complete) return false;
  return std::none_of(
      listing.objects.begin(), listing.objects.end(),
      [](const PhoneObject& object) { return !object.is_folder && !NamedByFile(object); });
}

bool IsCameraRollParent(const PhoneObject& object) {
  return object.is_folder && text::UpperCaseWide(object.name) == u"DCIM";
}

CameraRoll::CameraRoll(const PhoneConnection& connection, KeyCollection& keys, PhoneObject storage)
    : storage_(std::move(storage)), cache_(connection.content(), connection.properties(), keys) {
  const unsigned long long started = MillisecondsNow();
  top_level_ = ListChildren(connection.content(), connection.properties(), keys, storage_.id, 0);
  const unsigned long long finished = MillisecondsNow();
  DeleteTrace("delete: \"%s\" holds %d folder(s), listed in %llu ms",
              text::WideToUtf8(storage_.name).c_str(), static_cast<int>(top_level_.objects.size()),
              finished - started);

  parents_.push_back(&top_level_);
  // A listing that failed is no sign of a locked phone, which lists an empty storage.
  shows_anything_ = !top_level_.complete;
  for (const PhoneObject& top : top_level_.objects) {
    if (connection.gone()) break;
    if (!top.is_folder) {
      shows_anything_ = true;
      continue;
    }
    folders_.push_back(&top);
    if (!IsCameraRollParent(top)) {
      shows_anything_ = true;
      continue;
    }
    dcim_folders_.push_back(&top);
    const Listing& inside = cache_.Lookup(top.id);
    DeleteTrace("delete: %s holds %d object(s)", text::WideToUtf8(top.name).c_str(),
                static_cast<int>(inside.objects.size()));
    parents_.push_back(&inside);
    shows_anything_ = shows_anything_ || !inside.complete || !inside.objects.empty();
    for (const PhoneObject& object : inside.objects) {
      if (object.is_folder) folders_.push_back(&object);
    }
  }
}

bool CameraRoll::MayHideAnyFolder() const {
  // An object of unknown kind named DCIM may be the folder that holds every month.
  const auto hides = [](const PhoneObject& object) {
    return MayBeFolder(object) &&
           (!NamedByFile(object) ||
            (!object.kind_known && text::UpperCaseWide(object.name) == u"DCIM"));
  };
  return std::any_of(parents_.begin(), parents_.end(), [&hides](const Listing* parent) {
    return !parent->complete || std::any_of(parent->objects.begin(), parent->objects.end(), hides);
  });
}

std::vector<std::u16string> CameraRoll::NamesOfUnknownKind() const {
  std::vector<std::u16string> names;
  for (const Listing* parent : parents_) {
    for (const PhoneObject& object : parent->objects) {
      if (!object.kind_known && NamedByFile(object)) names.push_back(object.name);
    }
  }
  return names;
}

bool CameraRoll::HoldsCameraRollFolders(const PhoneObject& folder) const {
  return std::find(dcim_folders_.begin(), dcim_folders_.end(), &folder) != dcim_folders_.end();
}

bool CameraRoll::IsOfNoMonth(const PhoneObject& folder) const {
  return !IsMonthFolderName(text::UpperCaseWide(folder.name)) && !HoldsCameraRollFolders(folder);
}

}  // namespace camvey::ptp
