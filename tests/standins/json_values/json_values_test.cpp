#include "standins/json_values/json_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace camvey::json_values {
namespace {

using flutter::EncodableValue;

// The codec's ordering puts the alternative first: equivalent values are of one type.
bool Same(const EncodableValue& lhs, const EncodableValue& rhs) {
  return !(lhs < rhs) && !(rhs < lhs);
}

// The integer rule at each edge of the 32- and 64-bit ranges, signed and unsigned, as
// the scripts and request files write sizes, and its test for a request's size.
TEST(JsonValuesTest, IntegersTakeTheCodecsNarrowestType) {
  const struct {
    const char* json = nullptr;
    EncodableValue value;
    bool codec_integer = false;
  } cases[] = {
      {"2147483647", EncodableValue(std::int32_t{2147483647}), true},
      {"-2147483648", EncodableValue(std::int32_t{-2147483647 - 1}), true},
      {"2147483648", EncodableValue(std::int64_t{2147483648}), true},
      {"-2147483649", EncodableValue(std::int64_t{-2147483649}), true},
      {"9223372036854775807", EncodableValue(std::int64_t{9223372036854775807}), true},
      {"9223372036854775808", EncodableValue(9223372036854775808.0), false},
      {"2.5", EncodableValue(2.5), false},
      {"null", EncodableValue(), false},
  };
  for (const auto& test : cases) {
    const nlohmann::json parsed = nlohmann::json::parse(test.json);
    EXPECT_TRUE(Same(ToEncodableValue(parsed), test.value)) << test.json;
    EXPECT_EQ(IsCodecInteger(parsed), test.codec_integer) << test.json;
  }
}

TEST(JsonValuesTest, ListsAndObjectsNest) {
  const nlohmann::json parsed =
      nlohmann::json::parse(R"({"files": [{"name": "IMG_0001.JPG", "size": 7}, true]})");
  const EncodableValue expected(flutter::EncodableMap{
      {EncodableValue("files"),
       EncodableValue(flutter::EncodableList{
           EncodableValue(flutter::EncodableMap{
               {EncodableValue("name"), EncodableValue(std::string("IMG_0001.JPG"))},
               {EncodableValue("size"), EncodableValue(std::int32_t{7})}}),
           EncodableValue(true)})}});
  EXPECT_TRUE(Same(ToEncodableValue(parsed), expected));
}

}  // namespace
}  // namespace camvey::json_values
