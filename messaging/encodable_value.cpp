#include "messaging/encodable_value.h"

#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace flutter {
namespace {

// Three-way form of `<`: values that are neither less nor greater (equal numbers,
// -0.0 and 0.0, a NaN and anything) compare as equivalent.
template <typename T>
int CompareScalars(const T& lhs, const T& rhs) {
  if (lhs < rhs) {
    return -1;
  }
  return rhs < lhs ? 1 : 0;
}

// Lexicographic: the first position that is not equivalent decides; a proper prefix
// orders first.
template <typename Sequence, typename CompareElements>
int CompareSequences(const Sequence& lhs, const Sequence& rhs, CompareElements compare) {
  auto left = lhs.begin();
  auto right = rhs.begin();
  for (; left != lhs.end() && right != rhs.end(); ++left, ++right) {
    if (const int order = compare(*left, *right); order != 0) {
      return order;
    }
  }
  return CompareScalars(left != lhs.end(), right != rhs.end());
}

template <typename T>
int CompareNumberLists(const std::vector<T>& lhs, const std::vector<T>& rhs) {
  return CompareSequences(lhs, rhs, CompareScalars<T>);
}

// Two values of one alternative other than a list or a map (those compare their
// elements, in Compare), chosen by type so that an alternative added to the variant
// finds its overload or does not build.
int CompareSame(std::monostate, std::monostate) { return 0; }
int CompareSame(bool lhs, bool rhs) { return CompareScalars(lhs, rhs); }
int CompareSame(int32_t lhs, int32_t rhs) { return CompareScalars(lhs, rhs); }
int CompareSame(int64_t lhs, int64_t rhs) { return CompareScalars(lhs, rhs); }
int CompareSame(double lhs, double rhs) { return CompareScalars(lhs, rhs); }

int CompareSame(const std::string& lhs, const std::string& rhs) {
  // Bytes compare as unsigned, as char_traits<char> defines it.
  return CompareScalars(lhs.compare(rhs), 0);
}

template <typename T>
int CompareSame(const std::vector<T>& lhs, const std::vector<T>& rhs) {
  return CompareNumberLists(lhs, rhs);
}

// By identity: the custom holder orders by where each value is stored.
int CompareSame(const CustomEncodableValue& lhs, const CustomEncodableValue& rhs) {
  return CompareScalars(lhs, rhs);
}

}  // namespace

int EncodableValue::Compare(const EncodableValue& lhs, const EncodableValue& rhs) {
  // The valueless state counts as the index just below null.
  const size_t left_index = lhs.valueless_by_exception() ? 0 : lhs.index() + 1;
  const size_t right_index = rhs.valueless_by_exception() ? 0 : rhs.index() + 1;
  if (left_index != right_index || left_index == 0) {
    return CompareScalars(left_index, right_index);
  }
  return std::visit(
      [&rhs](const auto& left) {
        using Held = std::decay_t<decltype(left)>;
        const Held& right = std::get<Held>(rhs);
        if constexpr (std::is_same_v<Held, EncodableList>) {
          return CompareSequences(left, right, Compare);
        } else if constexpr (std::is_same_v<Held, EncodableMap>) {
          return CompareSequences(left, right,
                                  [](const EncodableMap::value_type& lhs_entry,
                                     const EncodableMap::value_type& rhs_entry) {
                                    const int order = Compare(lhs_entry.first, rhs_entry.first);
                                    return order != 0 ? order
                                                      : Compare(lhs_entry.second, rhs_entry.second);
                                  });
        } else {
          return CompareSame(left, right);
        }
      },
      static_cast<const EncodableVariant&>(lhs));
}

}  // namespace flutter
