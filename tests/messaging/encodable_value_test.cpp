#include "messaging/encodable_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "messaging/byte_streams.h"
#include "messaging/standard_codec_serializer.h"

namespace flutter {
namespace {

bool Equivalent(const EncodableValue& a, const EncodableValue& b) { return !(a < b) && !(b < a); }

struct OrderCase {
  const char* name = "";
  EncodableValue lesser;
  EncodableValue greater;
};

TEST(EncodableValueTest, OrdersByAlternativeThenPayload) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const OrderCase cases[] = {
      {"null before false", EncodableValue(), EncodableValue(false)},
      {"false before true", EncodableValue(false), EncodableValue(true)},
      {"any int32 before any int64", EncodableValue(int32_t{5}), EncodableValue(int64_t{1})},
      {"any double before any string", EncodableValue(1.0), EncodableValue("")},
      {"any string before any byte list", EncodableValue("zz"),
       EncodableValue(std::vector<uint8_t>{})},
      {"negative int64", EncodableValue(int64_t{-2}), EncodableValue(int64_t{1})},
      {"prefix string first", EncodableValue("a"), EncodableValue("ab")},
      {"first differing byte", EncodableValue("ab"), EncodableValue("b")},
      {"string bytes unsigned", EncodableValue("\x7A"), EncodableValue("\xC3")},
      {"byte list unsigned", EncodableValue(std::vector<uint8_t>{1, 2}),
       EncodableValue(std::vector<uint8_t>{255})},
      {"int32 list signed", EncodableValue(std::vector<int32_t>{-1}),
       EncodableValue(std::vector<int32_t>{0})},
      {"double list passes over NaN", EncodableValue(std::vector<double>{nan, 1.0}),
       EncodableValue(std::vector<double>{2.0, 2.0})},
      {"float list shorter first", EncodableValue(std::vector<float>{1.0f}),
       EncodableValue(std::vector<float>{1.0f, 0.0f})},
      {"empty list before list of null", EncodableValue(EncodableList{}),
       EncodableValue(EncodableList{EncodableValue()})},
      {"map entry value decides",
       EncodableValue(EncodableMap{{EncodableValue(1), EncodableValue("b")}}),
       EncodableValue(EncodableMap{{EncodableValue(1), EncodableValue("c")}})},
      {"map entry key decides",
       EncodableValue(EncodableMap{{EncodableValue(1), EncodableValue("z")}}),
       EncodableValue(EncodableMap{{EncodableValue(2), EncodableValue("a")}})},
      {"empty map first", EncodableValue(EncodableMap{}),
       EncodableValue(EncodableMap{{EncodableValue(), EncodableValue()}})},
      {"any map before custom", EncodableValue(EncodableMap{{EncodableValue(9), EncodableValue()}}),
       EncodableValue(CustomEncodableValue(0))},
      {"custom before float list", EncodableValue(CustomEncodableValue(0)),
       EncodableValue(std::vector<float>{})},
  };
  for (const OrderCase& c : cases) {
    EXPECT_TRUE(c.lesser < c.greater) << c.name;
    EXPECT_FALSE(c.greater < c.lesser) << c.name;
  }
}

TEST(EncodableValueTest, EquivalentPairs) {
  EXPECT_TRUE(Equivalent(EncodableValue(-0.0), EncodableValue(0.0)));
  EXPECT_TRUE(Equivalent(EncodableValue(std::nan("")), EncodableValue(1.0)));
  EXPECT_FALSE(Equivalent(EncodableValue(int32_t{1}), EncodableValue(int64_t{1})));

  const EncodableValue custom(CustomEncodableValue(7));
  const EncodableValue twin(CustomEncodableValue(7));
  EXPECT_TRUE(Equivalent(custom, custom));
  EXPECT_FALSE(Equivalent(custom, twin)) << "custom values compare by identity";
}

// Copying it throws while `armed` is set.
struct ThrowingCopy {
  static inline bool armed = false;
  ThrowingCopy() = default;
  ThrowingCopy(const ThrowingCopy& /*other*/) {
    if (armed) throw std::runtime_error("copy refused");
  }
};

TEST(EncodableValueTest, ValuelessOrdersFirstAndWritesAsNull) {
  const EncodableMap source{
      {EncodableValue(1), EncodableValue(CustomEncodableValue(ThrowingCopy()))}};
  EncodableValue broken(1);
  ThrowingCopy::armed = true;
  EXPECT_THROW(broken.emplace<EncodableMap>(source), std::runtime_error);
  ThrowingCopy::armed = false;
  ASSERT_TRUE(broken.valueless_by_exception());

  EXPECT_TRUE(broken < EncodableValue());
  EXPECT_FALSE(EncodableValue() < broken);
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(broken, &writer);
  EXPECT_EQ(bytes, std::vector<uint8_t>{0x00});
}

TEST(EncodableValueTest, ComparesEachNestedLevelOnce) {
  // Comparing every level twice, once each way, would take 2^200 steps here.
  EncodableValue deep;
  for (int i = 0; i < 200; ++i) {
    deep = EncodableValue(EncodableList{deep});
  }
  const EncodableValue twin = deep;
  EXPECT_FALSE(deep < twin);
  EXPECT_FALSE(twin < deep);
  EncodableMap map;
  map.emplace(deep, EncodableValue(1));
  EXPECT_FALSE(map.emplace(twin, EncodableValue(2)).second);
}

TEST(EncodableValueTest, MapKeepsFirstInsertAndFindsOnlyEquivalentKeys) {
  EncodableMap map;
  EXPECT_TRUE(map.emplace(EncodableValue("files"), EncodableValue(1)).second);
  EXPECT_FALSE(map.emplace(EncodableValue("files"), EncodableValue(2)).second);
  EXPECT_EQ(std::get<int32_t>(map.at(EncodableValue("files"))), 1);

  const std::string text = "files";
  EncodableMap by_bytes{
      {EncodableValue(std::vector<uint8_t>(text.begin(), text.end())), EncodableValue(true)}};
  EXPECT_EQ(by_bytes.find(EncodableValue("files")), by_bytes.end());

  EncodableMap by_double{{EncodableValue(1.0), EncodableValue("x")}};
  EXPECT_NE(by_double.find(EncodableValue(std::nan(""))), by_double.end())
      << "a NaN probe is equivalent to every double";
}

TEST(EncodableValueTest, TextMakesAStringAndWrongAccessThrows) {
  const EncodableValue text("abc");
  EXPECT_EQ(std::get<std::string>(text), "abc");
  EXPECT_THROW((void)std::get<bool>(text), std::bad_variant_access);
}

}  // namespace
}  // namespace flutter
