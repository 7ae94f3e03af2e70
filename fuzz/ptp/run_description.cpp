#include "fuzz/ptp/run_description.h"

#include <cstdio>
#include <set>

#include "fuzz/ptp/device_answers.h"
#include "fuzz/ptp/household.h"
#include "text/wide_text.h"

namespace camvey::fuzz {
namespace {

// The text in UTF-8 between quotes, with control characters and surrogates as \uXXXX,
// so that a name with a NUL or a lone surrogate reads as what it is.
std::string Quoted(const std::u16string& text) {
  std::string quoted = "\"";
  std::u16string plain;
  for (const char16_t unit : text) {
    if (unit >= 0x20 && unit != 0x7F && (unit < 0xD800 || unit > 0xDFFF)) {
      plain += unit;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(unit));
    quoted += text::WideToUtf8(plain) + escaped;
    plain.clear();
  }
  return quoted + text::WideToUtf8(plain) + "\"";
}

std::string DescribeSeen(const SeenObject& seen) {
  std::string text = Quoted(seen.name);
  if (!seen.name_is_file_name) text += " (not the file name)";
  text += seen.size_known ? " size " + std::to_string(seen.size) : " size unknown";
  if (seen.can_delete.has_value() && !*seen.can_delete) text += " may not be deleted";
  if (seen.access.has_value()) text += " access " + std::to_string(*seen.access);
  if (!seen.kind_known) return text + " kind unknown";
  return text + (seen.is_folder ? " folder" : " file");
}

std::string DescribeSize(const Property& answer, std::uint64_t size) {
  switch (answer.answer) {
    case PropertyAnswer::kValue:
      return ", size " + std::to_string(size);
    case PropertyAnswer::kNoEntry:
      return ", no size";
    case PropertyAnswer::kErrorValue:
    case PropertyAnswer::kFailure:
    case PropertyAnswer::kEmptySuccess:
      break;
  }
  return ", size " + std::to_string(size) + " unread";
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kImage:
      return "image";
    case Kind::kOther:
      return "other";
    case Kind::kFolder:
      return "folder";
    case Kind::kFunctionalObject:
      return "functional object";
  }
  return "?";
}

const char* EndName(const FuzzedListing& listing) {
  if (Failed(listing.enum_result)) return "EnumObjects fails";
  if (listing.enumerator_missing) return "no enumerator";
  switch (listing.end) {
    case ListingEnd::kNoMoreObjects:
      return "ends normally";
    case ListingEnd::kLastWithNoMore:
      return "ends with the last id";
    case ListingEnd::kFailure:
      return "fails early";
    case ListingEnd::kOkWithoutId:
      return "ends early without an id";
    case ListingEnd::kOtherSuccess:
      return "ends early with another success";
  }
  return "?";
}

// What the device holds, as far as the run drew it, and what of it cannot be read.
std::string DescribeDevice(const FuzzedDevice& device) {
  std::string text = "  named " + Quoted(device.friendly_name) + " by " +
                     Quoted(device.manufacturer) + (device.locked ? ", locked" : "") + "\n";
  for (const auto& [parent_id, listing] : device.listings) {
    text += "  " + Quoted(parent_id) + " holds, " + EndName(listing) + " after " +
            std::to_string(listing.EndsEarly() ? listing.handed_out : listing.children.size()) +
            ":\n";
    for (const std::u16string& id : listing.children) {
      const FuzzedObject& object = device.objects.at(id);
      text += "    " + Quoted(id) + " " + Quoted(object.file_name) + " " + KindName(object.kind);
      if (object.object_name != object.file_name) text += ", shows " + Quoted(object.object_name);
      if (Failed(object.values_result) || object.values_missing) {
        text += ", no values";
      }
      if (object.file_name_answer.answer != PropertyAnswer::kValue) text += ", file name unread";
      if (object.object_name_answer.answer != PropertyAnswer::kValue) text += ", name unread";
      if (object.content_type_answer.answer != PropertyAnswer::kValue) text += ", kind unread";
      text += DescribeSize(object.size_answer, object.size);
      if (object.can_delete_answer.answer != PropertyAnswer::kValue) {
        text += ", deletion flag unread";
      } else if (!object.can_delete) {
        text += ", may not be deleted";
      }
      if (object.access_answer.answer == PropertyAnswer::kValue) {
        text += ", access " + std::to_string(object.access);
      } else if (object.spot == Spot::kStorage) {
        text += ", access " + std::to_string(object.access) + " unread";
      }
      text += "\n";
    }
  }
  return text;
}

std::string DescribeConnection(const Connection& connection) {
  std::string text =
      "device " + Quoted(connection.device_id) + ", " + std::to_string(connection.calls) +
      " calls" + (connection.gone ? ", gone" : "") +
      ", keys asked:" + (connection.keys.file_name ? " file name" : "") +
      (connection.keys.object_name ? " name" : "") + (connection.keys.content_type ? " kind" : "") +
      (connection.keys.size ? " size" : "") + (connection.keys.can_delete ? " can-delete" : "") +
      (connection.keys.access ? " access" : "") + "\n";
  for (const ServedListing& listing : connection.listings) {
    text += "  listed " + Quoted(listing.parent_id) +
            (listing.ended_normally ? "" : " (did not end normally)") + ":\n";
    for (const std::u16string& id : listing.ids) {
      const auto seen = connection.seen.find(id);
      text += "    " + Quoted(id) + " " +
              (seen == connection.seen.end() ? std::string("unread") : DescribeSeen(seen->second)) +
              "\n";
    }
  }
  for (const ServedDeletion& deletion : connection.deletions) {
    text += "  delete, answered " + std::to_string(deletion.result) + ":";
    for (std::size_t i = 0; i < deletion.ids.size(); ++i) {
      text += " " + Quoted(deletion.ids[i]) + (deletion.left[i] ? " (left)" : " (stayed)");
    }
    text += "\n";
    for (const auto& [index, status] : deletion.statuses_read) {
      text += "    status " + std::to_string(index) + ": " +
              (status.has_value() ? std::to_string(*status) : std::string("no error value")) + "\n";
    }
  }
  return text;
}

}  // namespace

std::string DescribeRun(const std::vector<PassRecord>& run, FuzzedPhone* phone) {
  std::string text;
  std::set<const FuzzedDevice*> described;
  std::string holdings;
  const auto describe = [&](const std::u16string& device_id, const FuzzedDevice& device) {
    if (described.insert(&device).second) {
      holdings += "device " + Quoted(device_id) + " holds:\n" + DescribeDevice(device);
    }
  };
  for (std::size_t i = 0; i < run.size(); ++i) {
    const PassRecord& pass = run[i];
    text += "pass " + std::to_string(i + 1) + ", request:";
    for (const ptp::WantedFile& file : pass.wanted) {
      text += " {" + Quoted(file.name) + ", " + Quoted(file.month);
      if (file.size.has_value()) text += ", " + std::to_string(*file.size);
      if (file.size_unusable) text += ", unusable size";
      text += "}";
    }
    text += "\nhousehold, as discovery read it:";
    for (const std::u16string& device_id : HouseholdOf(pass.layer->discovery())) {
      text += " " + Quoted(device_id);
      describe(device_id, phone->Device(device_id));
    }
    text += "\n";
    for (const auto& connection : pass.layer->connections()) {
      text += DescribeConnection(*connection);
      describe(connection->device_id, *connection->device);
    }
    if (pass.finished) {
      text += "reported:";
      for (const std::u16string& name : pass.reported) text += " " + Quoted(name);
      text += "\nerror: " + pass.error + "\n";
    }
  }
  return text + holdings;
}

}  // namespace camvey::fuzz
