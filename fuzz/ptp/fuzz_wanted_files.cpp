// Decodes arbitrary bytes as a method call and turns it into the deleteFiles request
// model, then checks what the model promises whatever the input: every name is
// non-empty and upper-cased a to z, and every name and month is well-formed UTF-16
// that survives a round trip through UTF-8.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "messaging/method_call.h"
#include "messaging/standard_method_codec.h"
#include "ptp/request/wanted_file.h"
#include "text/wide_text.h"

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

bool SurvivesRoundTrip(const std::u16string& text) {
  using camvey::text::Utf8ToWide;
  using camvey::text::WideToUtf8;
  return Utf8ToWide(WideToUtf8(text)) == text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::cerr.rdbuf(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::unique_ptr<flutter::MethodCall> call =
      flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(data, size);
  if (call == nullptr) return 0;
  for (const camvey::ptp::WantedFile& file : camvey::ptp::ParseWantedFiles(*call)) {
    Require(!file.name.empty());
    Require(camvey::text::UpperCaseWide(file.name) == file.name);
    Require(SurvivesRoundTrip(file.name));
    Require(SurvivesRoundTrip(file.month));
  }
  // The converters on the raw bytes: any input converts, and converting back and forth
  // again changes nothing.
  const std::u16string wide =
      camvey::text::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
  Require(SurvivesRoundTrip(wide));
  return 0;
}
