#include "ptp/device/device_layer.h"

#include <algorithm>
#include <iterator>

namespace camvey::ptp {

bool operator==(const Guid& lhs, const Guid& rhs) {
  return lhs.data1 == rhs.data1 && lhs.data2 == rhs.data2 && lhs.data3 == rhs.data3 &&
         std::equal(std::begin(lhs.data4), std::end(lhs.data4), std::begin(rhs.data4));
}

bool DeviceGone(DeviceResult result) {
  // E_WPD_DEVICE_IS_HUNG, E_WPD_DEVICE_NOT_OPEN (the SDK's PortableDevice.h:
  // MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WPD, 2)), and HRESULT_FROM_WIN32 of
  // ERROR_DEVICE_NOT_CONNECTED, ERROR_GEN_FAILURE and ERROR_SEM_TIMEOUT.
  static constexpr std::uint32_t kGone[] = {0x802A0006, 0x802A0002, 0x8007048F, 0x8007001F,
                                            0x80070079};
  const auto code = static_cast<std::uint32_t>(result);
  return std::find(std::begin(kGone), std::end(kGone), code) != std::end(kGone);
}

bool NoSuchValue(DeviceResult reason) {
  // HRESULT_FROM_WIN32 of ERROR_NOT_SUPPORTED and ERROR_NOT_FOUND, and E_NOTIMPL.
  static constexpr std::uint32_t kNoValue[] = {0x80070032, 0x80070490, 0x80004001};
  const auto code = static_cast<std::uint32_t>(reason);
  return std::find(std::begin(kNoValue), std::end(kNoValue), code) != std::end(kNoValue);
}

}  // namespace camvey::ptp
