#include "ptp/device/device_layer.h"

#include <algorithm>
#include <iterator>

namespace camvey::ptp {

bool operator==(const Guid& lhs, const Guid& rhs) {
  return lhs.data1 == rhs.data1 && lhs.data2 == rhs.data2 && lhs.data3 == rhs.data3 &&
         std::equal(std::begin(lhs.data4), std::end(lhs.data4), std::begin(rhs.data4));
}

}  // namespace camvey::ptp
