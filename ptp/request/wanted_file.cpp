#include "ptp/request/wanted_file.h"

#include <cstdint>
#include <utility>
#include <variant>

#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

// The string held under `key`, or null when the key is absent or holds another type.
const std::string* FindString(const flutter::EncodableMap& map, const char* key) {
  const auto found = map.find(flutter::EncodableValue(key));
  if (found == map.end()) return nullptr;
  return std::get_if<std::string>(&found->second);
}

// Reads "size" into `file`: absent or null is no size; a non-negative 32- or 64-bit
// integer is the size; anything else leaves the size unusable.
void ReadSize(const flutter::EncodableMap& entry, WantedFile* file) {
  const auto found = entry.find(flutter::EncodableValue("size"));
  if (found == entry.end() || found->second.IsNull()) return;
  std::int64_t size = -1;
  if (const auto* small = std::get_if<std::int32_t>(&found->second)) size = *small;
  if (const auto* large = std::get_if<std::int64_t>(&found->second)) size = *large;
  if (size < 0) {
    file->size_unusable = true;
    return;
  }
  file->size = static_cast<std::uint64_t>(size);
}

}  // namespace

std::vector<WantedFile> ParseWantedFiles(const flutter::MethodCall& call) {
  std::vector<WantedFile> wanted;
  const flutter::EncodableValue* arguments = call.arguments();
  if (arguments == nullptr) return wanted;
  const auto* map = std::get_if<flutter::EncodableMap>(arguments);
  if (map == nullptr) return wanted;
  const auto files = map->find(flutter::EncodableValue("files"));
  if (files == map->end()) return wanted;
  const auto* list = std::get_if<flutter::EncodableList>(&files->second);
  if (list == nullptr) return wanted;

  for (const flutter::EncodableValue& element : *list) {
    const auto* entry = std::get_if<flutter::EncodableMap>(&element);
    if (entry == nullptr) continue;
    WantedFile file;
    if (const std::string* name = FindString(*entry, "name")) {
      file.name = text::UpperCaseWide(text::Utf8ToWide(*name));
    }
    if (const std::string* month = FindString(*entry, "month")) {
      file.month = text::Utf8ToWide(*month);
    }
    ReadSize(*entry, &file);
    if (!file.name.empty()) wanted.push_back(std::move(file));
  }
  return wanted;
}

}  // namespace camvey::ptp
