#ifndef CAMVEY_FUZZ_PTP_DEVICE_ANSWERS_H_
#define CAMVEY_FUZZ_PTP_DEVICE_ANSWERS_H_

// The answers the fuzzed devices give, each named and valued after the SDK header that
// defines it (winerror.h, PortableDevice.h), in one place. The fuzzed layer and the
// checks take from here which answers say that a device went away, never from the
// service's own set: a wrong value there must show as a finding, not hide in both.

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "ptp/device/device_layer.h"

namespace camvey::fuzz {

using ptp::DeviceResult;

constexpr DeviceResult Code(std::uint32_t hresult) { return static_cast<DeviceResult>(hresult); }
// HRESULT_FROM_WIN32 of a Win32 error code.
constexpr DeviceResult FromWin32(std::uint32_t error) { return Code(0x80070000u | error); }

inline constexpr DeviceResult kFailed = Code(0x80004005);              // E_FAIL
inline constexpr DeviceResult kAccessDenied = Code(0x80070005);        // E_ACCESSDENIED
inline constexpr DeviceResult kOutOfMemory = Code(0x8007000E);         // E_OUTOFMEMORY
inline constexpr DeviceResult kInvalidArgument = Code(0x80070057);     // E_INVALIDARG
inline constexpr DeviceResult kTypeMismatch = Code(0x80020005);        // DISP_E_TYPEMISMATCH
inline constexpr DeviceResult kClassNotRegistered = Code(0x80040154);  // REGDB_E_CLASSNOTREG
inline constexpr DeviceResult kInvalidData = FromWin32(13);            // ERROR_INVALID_DATA
inline constexpr DeviceResult kInsufficientBuffer = FromWin32(122);    // ERROR_INSUFFICIENT_BUFFER
inline constexpr DeviceResult kDirNotEmpty = FromWin32(145);           // ERROR_DIR_NOT_EMPTY
inline constexpr DeviceResult kBusy = FromWin32(170);                  // ERROR_BUSY
inline constexpr DeviceResult kElementNotFound = FromWin32(1168);      // ERROR_NOT_FOUND
inline constexpr DeviceResult kNotSupported = FromWin32(50);           // ERROR_NOT_SUPPORTED
// E_WPD_OBJECT_ALREADY_ATTACHED_TO_DEVICE, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WPD, 3):
// a failure like any other, though it sits next to the not-open code.
inline constexpr DeviceResult kObjectAlreadyAttached = Code(0x802A0003);

// The answers of a device that went away, hangs or is no longer open.
inline constexpr DeviceResult kDeviceHung = Code(0x802A0006);     // E_WPD_DEVICE_IS_HUNG
inline constexpr DeviceResult kDeviceNotOpen = Code(0x802A0002);  // E_WPD_DEVICE_NOT_OPEN
inline constexpr DeviceResult kNotConnected = FromWin32(1167);    // ERROR_DEVICE_NOT_CONNECTED
inline constexpr DeviceResult kGenFailure = FromWin32(31);        // ERROR_GEN_FAILURE
inline constexpr DeviceResult kSemTimeout = FromWin32(121);       // ERROR_SEM_TIMEOUT
inline constexpr DeviceResult kGoneAnswers[] = {kDeviceHung, kDeviceNotOpen, kNotConnected,
                                                kGenFailure, kSemTimeout};

// WPD_STORAGE_ACCESS_CAPABILITY_READ_ONLY_WITHOUT_OBJECT_DELETION: a storage from which
// nothing may be deleted.
inline constexpr std::uint32_t kReadOnlyWithoutObjectDeletion = 1;

inline bool Failed(DeviceResult result) { return result < 0; }

inline bool AnswersGone(DeviceResult result) {
  return std::find(std::begin(kGoneAnswers), std::end(kGoneAnswers), result) !=
         std::end(kGoneAnswers);
}

}  // namespace camvey::fuzz

#endif  // CAMVEY_FUZZ_PTP_DEVICE_ANSWERS_H_
