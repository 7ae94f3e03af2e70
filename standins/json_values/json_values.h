#ifndef CAMVEY_STANDINS_JSON_VALUES_JSON_VALUES_H_
#define CAMVEY_STANDINS_JSON_VALUES_JSON_VALUES_H_

// JSON read from outside the process (scripts, request files) as the channel values the
// application would send: null, bool, int, double, string, list and map. An integer
// becomes what the standard codec writes for it: a 32-bit integer when it fits, else a
// 64-bit one; one above the 64-bit range becomes a double, as the application's own
// numbers would.

#include <nlohmann/json_fwd.hpp>

#include "messaging/encodable_value.h"

namespace camvey::json_values {

// The channel value of `value`. Recurses once per level of nesting: a caller bounds the
// nesting of what it reads from outside.
flutter::EncodableValue ToEncodableValue(const nlohmann::json& value);

// True when `value` becomes an integer of the codec (32- or 64-bit) in ToEncodableValue.
bool IsCodecInteger(const nlohmann::json& value);

}  // namespace camvey::json_values

#endif  // CAMVEY_STANDINS_JSON_VALUES_JSON_VALUES_H_
