#ifndef CAMVEY_MESSAGING_ENCODABLE_VALUE_H_
#define CAMVEY_MESSAGING_ENCODABLE_VALUE_H_

// The value type of every method channel: a closed tagged union of fourteen
// alternatives, its list and its ordered map.
//
//   index  alternative   payload                      wire tag
//   0      null          std::monostate               0
//   1      bool          bool                         1 true / 2 false
//   2      int32         int32_t                      3
//   3      int64         int64_t                      4
//   4      double        double                       6
//   5      string        std::string (any bytes)      7 (5 is read as a string too)
//   6      byte list     std::vector<uint8_t>         8
//   7      int32 list    std::vector<int32_t>         9
//   8      int64 list    std::vector<int64_t>         10
//   9      double list   std::vector<double>          11
//   10     list          EncodableList                12
//   11     map           EncodableMap                 13
//   12     custom        CustomEncodableValue         written as null
//   13     float list    std::vector<float>           14
//
// Ownership: a value owns its payload exclusively; copies are deep. A moved-from
// value keeps its alternative with an empty payload. A value whose copy failed
// part-way is valueless and orders before every other value.
//
// Ordering (operator<): alternative index first (valueless below null), then the
// payload: bool false < true; numbers by signed or floating less-than (a NaN is
// neither less nor greater than any double); strings and byte lists by unsigned
// bytes with a proper prefix first; typed lists, lists and maps lexicographically,
// a map entry by key and then by value; custom values by their storage address, so a
// custom value is equivalent only to itself.
//
// Typed access is std::get / std::holds_alternative; the wrong alternative raises
// std::bad_variant_access.

#include <any>
#include <cstdint>
#include <map>
#include <string>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

using EncodableList = std::vector<EncodableValue>;
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// One value of any copyable type, carried opaquely. The standard codec cannot write
// it (it goes out as null); it exists for codec extensions.
class CustomEncodableValue {
 public:
  template <typename T>
  explicit CustomEncodableValue(const T& value) : value_(value) {}

  const std::any& value() const { return value_; }
  const std::type_info& type() const { return value_.type(); }

  // Identity, not payload: two custom values are the same key only when they are
  // the same object.
  bool operator<(const CustomEncodableValue& other) const {
    return std::less<const CustomEncodableValue*>()(this, &other);
  }

 private:
  std::any value_;
};

using EncodableVariant =
    std::variant<std::monostate, bool, int32_t, int64_t, double, std::string, std::vector<uint8_t>,
                 std::vector<int32_t>, std::vector<int64_t>, std::vector<double>, EncodableList,
                 EncodableMap, CustomEncodableValue, std::vector<float>>;

class EncodableValue : public EncodableVariant {
 public:
  using EncodableVariant::EncodableVariant;
  using EncodableVariant::operator=;

  EncodableValue() = default;

  // Text makes a string value, never a bool (a pointer would otherwise convert).
  explicit EncodableValue(const char* text) : EncodableVariant(std::string(text)) {}
  EncodableValue& operator=(const char* text) {
    EncodableVariant::operator=(std::string(text));
    return *this;
  }

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }

  // The ordering described above. Each pair of nested elements is compared once, so a
  // comparison costs at most the size of the smaller value, however deep it is nested.
  friend bool operator<(const EncodableValue& lhs, const EncodableValue& rhs) {
    return Compare(lhs, rhs) < 0;
  }

 private:
  // Negative when lhs orders first, zero when the two are equivalent, else positive.
  static int Compare(const EncodableValue& lhs, const EncodableValue& rhs);
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_ENCODABLE_VALUE_H_
