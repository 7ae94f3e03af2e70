#ifndef CAMVEY_TESTS_PTP_DEVICE_SIM_PHONE_H_
#define CAMVEY_TESTS_PTP_DEVICE_SIM_PHONE_H_

// Helpers for tests that run device code over the simulated phone.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ptp/device/delete_trace.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "text/wide_text.h"

namespace camvey::ptp {

// A phone from its JSON form; an unreadable one fails the test.
inline phone::Phone PhoneFromJson(const std::string& text) {
  phone::Phone phone;
  std::string problem;
  EXPECT_TRUE(phone::ReadPhoneJson(text, &phone, &problem)) << problem;
  return phone;
}

// Collects the deletion pass's trace lines while it lives.
class TraceCapture {
 public:
  TraceCapture() {
    Lines().clear();
    SetDeleteTraceWriter(&Append);
  }
  ~TraceCapture() { SetDeleteTraceWriter(nullptr); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  const std::vector<std::string>& lines() const { return Lines(); }

 private:
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Append(const std::string& line) { Lines().push_back(line); }
};

inline std::vector<std::string> Utf8(const std::vector<std::u16string>& texts) {
  std::vector<std::string> narrow;
  narrow.reserve(texts.size());
  for (const std::u16string& text : texts) narrow.push_back(text::WideToUtf8(text));
  return narrow;
}

}  // namespace camvey::ptp

#endif  // CAMVEY_TESTS_PTP_DEVICE_SIM_PHONE_H_
