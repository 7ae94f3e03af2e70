#include "standins/json_values/json_values.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

namespace camvey::json_values {
namespace {

using nlohmann::json;

flutter::EncodableValue IntegerValue(std::int64_t number) {
  if (number >= std::numeric_limits<std::int32_t>::min() &&
      number <= std::numeric_limits<std::int32_t>::max()) {
    return flutter::EncodableValue(static_cast<std::int32_t>(number));
  }
  return flutter::EncodableValue(number);
}

}  // namespace

bool IsCodecInteger(const json& value) {
  if (value.is_number_unsigned()) {
    return value.get<std::uint64_t>() <=
           static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  }
  return value.is_number_integer();
}

flutter::EncodableValue ToEncodableValue(const json& value) {
  switch (value.type()) {
    case json::value_t::boolean:
      return flutter::EncodableValue(value.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
      if (IsCodecInteger(value)) return IntegerValue(value.get<std::int64_t>());
      return flutter::EncodableValue(value.get<double>());
    case json::value_t::number_float:
      return flutter::EncodableValue(value.get<double>());
    case json::value_t::string:
      return flutter::EncodableValue(value.get<std::string>());
    case json::value_t::array: {
      flutter::EncodableList list;
      for (const json& element : value) list.push_back(ToEncodableValue(element));
      return flutter::EncodableValue(std::move(list));
    }
    case json::value_t::object: {
      flutter::EncodableMap map;
      for (const auto& item : value.items()) {
        map.emplace(flutter::EncodableValue(item.key()), ToEncodableValue(item.value()));
      }
      return flutter::EncodableValue(std::move(map));
    }
    default:
      return flutter::EncodableValue();
  }
}

}  // namespace camvey::json_values
