#include "messaging/encodable_value.h"

#include <string>
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

}  // namespace

int EncodableValue::Compare(const EncodableValue& lhs, const EncodableValue& rhs) {
  // The valueless state counts as the index just below null.
  const size_t left_index = lhs.valueless_by_exception() ? 0 : lhs.index() + 1;
  const size_t right_index = rhs.valueless_by_exception() ? 0 : rhs.index() + 1;
  if (left_index != right_index || left_index == 0) {
    return CompareScalars(left_index, right_index);
  }
  switch (lhs.index()) {
    case 0:
      return 0;
    case 1:
      return CompareScalars(std::get<bool>(lhs), std::get<bool>(rhs));
    case 2:
      return CompareScalars(std::get<int32_t>(lhs), std::get<int32_t>(rhs));
    case 3:
      return CompareScalars(std::get<int64_t>(lhs), std::get<int64_t>(rhs));
    case 4:
      return CompareScalars(std::get<double>(lhs), std::get<double>(rhs));
    case 5: {
      // Bytes compare as unsigned, as char_traits<char> defines it.
      const int order = std::get<std::string>(lhs).compare(std::get<std::string>(rhs));
      return CompareScalars(order, 0);
    }
    case 6:
      return CompareNumberLists(std::get<std::vector<uint8_t>>(lhs),
                                std::get<std::vector<uint8_t>>(rhs));
    case 7:
      return CompareNumberLists(std::get<std::vector<int32_t>>(lhs),
                                std::get<std::vector<int32_t>>(rhs));
    case 8:
      return CompareNumberLists(std::get<std::vector<int64_t>>(lhs),
                                std::get<std::vector<int64_t>>(rhs));
    case 9:
      return CompareNumberLists(std::get<std::vector<double>>(lhs),
                                std::get<std::vector<double>>(rhs));
    case 10:
      return CompareSequences(std::get<EncodableList>(lhs), std::get<EncodableList>(rhs), Compare);
    case 11:
      return CompareSequences(
          std::get<EncodableMap>(lhs), std::get<EncodableMap>(rhs),
          [](const EncodableMap::value_type& left, const EncodableMap::value_type& right) {
            const int order = Compare(left.first, right.first);
            return order != 0 ? order : Compare(left.second, right.second);
          });
    case 12:
      // By identity: the custom holder orders by where each value is stored.
      return CompareScalars(std::get<CustomEncodableValue>(lhs),
                            std::get<CustomEncodableValue>(rhs));
    default:
      return CompareNumberLists(std::get<std::vector<float>>(lhs),
                                std::get<std::vector<float>>(rhs));
  }
}

}  // namespace flutter
