// The converters on Windows: the system's own. Without the error flag it makes U+FFFD
// of ill-formed input instead of failing; with it (IllFormedUtf16::kReject) it fails.

#include <windows.h>

#include <climits>

#include "text/wide_text.h"

namespace camvey::text {

std::u16string Utf8ToWide(const std::string& text) {
  // The system takes 32-bit counts; text longer than that is not a file name.
  if (text.empty() || text.size() > INT_MAX) return {};
  const int input_size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), input_size, nullptr, 0);
  if (length <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), input_size, reinterpret_cast<wchar_t*>(wide.data()),
                      length);
  return wide;
}

std::optional<std::string> WideToUtf8(const std::u16string& text, IllFormedUtf16 policy) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const auto failed = [policy]() -> std::optional<std::string> {
    if (policy == IllFormedUtf16::kReject) return std::nullopt;
    return std::string();
  };
  const int input_size = static_cast<int>(text.size());
  const auto* input = reinterpret_cast<const wchar_t*>(text.data());
  const DWORD flags = policy == IllFormedUtf16::kReject ? WC_ERR_INVALID_CHARS : 0;
  const int length =
      WideCharToMultiByte(CP_UTF8, flags, input, input_size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return failed();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_UTF8, flags, input, input_size, narrow.data(), length, nullptr,
                          nullptr) == 0) {
    return failed();
  }
  return narrow;
}

}  // namespace camvey::text
