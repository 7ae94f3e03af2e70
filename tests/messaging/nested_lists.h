#ifndef CAMVEY_TESTS_MESSAGING_NESTED_LISTS_H_
#define CAMVEY_TESTS_MESSAGING_NESTED_LISTS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flutter {

// `depth` nested lists, each announcing as many elements as there are bytes after its
// own header, padded with null tags to `total` bytes: hostile input whose announced
// counts always fit what is left, so only reading can show they are not there.
inline std::vector<uint8_t> NestedListsClaimingEveryByte(size_t depth, size_t total) {
  std::vector<uint8_t> bytes;
  for (size_t level = 0; level < depth; ++level) {
    const auto count = static_cast<uint32_t>(total - bytes.size() - 6);
    bytes.insert(bytes.end(),
                 {0x0C, 0xFF, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0, 0});
  }
  bytes.resize(total, 0x00);
  return bytes;
}

}  // namespace flutter

#endif  // CAMVEY_TESTS_MESSAGING_NESTED_LISTS_H_
