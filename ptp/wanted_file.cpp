#include "ptp/wanted_file.h"

#include <utility>
#include <variant>

#include "ptp/wide_text.h"

namespace camvey::ptp {
namespace {

// The string held under `key`, or null when the key is absent or holds another type.
const std::string* FindString(const flutter::EncodableMap& map, const char* key) {
  const auto found = map.find(flutter::EncodableValue(key));
  if (found == map.end()) return nullptr;
  return std::get_if<std::string>(&found->second);
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
      file.name = UpperCaseWide(Utf8ToWide(*name));
    }
    if (const std::string* month = FindString(*entry, "month")) {
      file.month = Utf8ToWide(*month);
    }
    if (!file.name.empty()) wanted.push_back(std::move(file));
  }
  return wanted;
}

}  // namespace camvey::ptp
