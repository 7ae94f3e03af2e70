#include "messaging/standard_method_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tests/messaging/stderr_capture.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kInvalidRead = "Invalid read in StandardCodecByteStreamReader\n";
const std::string kNotAString = "Invalid method call; method name is not a string.\n";

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

// Records the one answer it gets; a value or details given as null are kept absent.
class RecordingResult : public MethodResult {
 public:
  void Success(const EncodableValue* result) override {
    answers.push_back("success");
    if (result != nullptr) value = *result;
  }
  void Error(const std::string& code, const std::string& message,
             const EncodableValue* details) override {
    answers.push_back("error " + code + " [" + message + "]");
    if (details != nullptr) value = *details;
  }
  void NotImplemented() override { answers.push_back("not implemented"); }

  std::vector<std::string> answers;
  std::optional<EncodableValue> value;
};

const StandardMethodCodec& Codec() { return StandardMethodCodec::GetInstance(); }

TEST(StandardMethodCodecTest, EncodesCallsAndEnvelopes) {
  const MethodCall available("available", nullptr);
  const EncodableValue list_of_a(EncodableList{EncodableValue("a")});
  const EncodableValue one_and_a_half(1.5);
  const EncodableValue details(int32_t{9});
  const struct {
    const char* name;
    std::unique_ptr<Bytes> encoded;
    Bytes expected;
  } cases[] = {
      {"call without arguments", Codec().EncodeMethodCall(available),
       Concat({{0x07, 9}, Text("available"), {0x00}})},
      {"success without result", Codec().EncodeSuccessEnvelope(nullptr), {0x00, 0x00}},
      {"success with a list",
       Codec().EncodeSuccessEnvelope(&list_of_a),
       {0x00, 0x0C, 1, 0x07, 1, 'a'}},
      {"alignment counts the envelope byte", Codec().EncodeSuccessEnvelope(&one_and_a_half),
       Concat({{0x00, 0x06}, Bytes(6, 0), {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}})},
      {"error", Codec().EncodeErrorEnvelope("ptp_failed", "not_found", nullptr),
       Concat({{0x01, 0x07, 10}, Text("ptp_failed"), {0x07, 9}, Text("not_found"), {0x00}})},
      {"error with empty message and details",
       Codec().EncodeErrorEnvelope("e", "", &details),
       {0x01, 0x07, 1, 'e', 0x00, 0x03, 9, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(*c.encoded, c.expected) << c.name;
  }
}

TEST(StandardMethodCodecTest, DecodesCalls) {
  StderrCapture capture;
  const Bytes available = Concat({{0x07, 9}, Text("available"), {0x00}});
  std::unique_ptr<MethodCall> call = Codec().DecodeMethodCall(available.data(), available.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "available");
  ASSERT_NE(call->arguments(), nullptr) << "a missing argument is null, not absent";
  EXPECT_TRUE(call->arguments()->IsNull());
  EXPECT_TRUE(capture.Flushes().empty());

  const Bytes name_only = {0x07, 3, 'a', 'b', 'c'};
  call = Codec().DecodeMethodCall(name_only.data(), name_only.size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->method_name(), "abc");
  EXPECT_TRUE(call->arguments()->IsNull());
  EXPECT_EQ(capture.Flushes(), std::vector<std::string>{kInvalidRead});
}

TEST(StandardMethodCodecTest, RefusesCallsWithoutAStringName) {
  StderrCapture capture;
  const Bytes int_name = {0x03, 1, 0, 0, 0, 0x00};
  EXPECT_EQ(Codec().DecodeMethodCall(int_name.data(), int_name.size()), nullptr);
  EXPECT_EQ(Codec().DecodeMethodCall(nullptr, 0), nullptr);
  EXPECT_EQ(capture.Flushes(), (std::vector<std::string>{kNotAString, kInvalidRead, kNotAString}));
}

TEST(StandardMethodCodecTest, DecodesResponseEnvelopes) {
  const struct {
    const char* name;
    Bytes bytes;
    bool recognised;
    std::vector<std::string> answers;
    std::optional<EncodableValue> value;
    std::vector<std::string> lines;
  } cases[] = {
      {"success without value", {0x00, 0x00}, true, {"success"}, std::nullopt, {}},
      {"success with value", {0x00, 0x03, 7, 0, 0, 0}, true, {"success"}, EncodableValue(7), {}},
      {"empty answer", {}, true, {"success"}, std::nullopt, {kInvalidRead, kInvalidRead}},
      {"unknown flag", {0x02}, false, {}, std::nullopt, {}},
      {"error without message",
       {0x01, 0x07, 1, 'e', 0x00, 0x00},
       true,
       {"error e []"},
       std::nullopt,
       {}},
      {"error with details",
       {0x01, 0x07, 1, 'e', 0x07, 1, 'm', 0x01},
       true,
       {"error e [m]"},
       EncodableValue(true),
       {}},
  };
  for (const auto& c : cases) {
    StderrCapture capture;
    RecordingResult result;
    EXPECT_EQ(Codec().DecodeResponseEnvelope(c.bytes.data(), c.bytes.size(), &result), c.recognised)
        << c.name;
    EXPECT_EQ(result.answers, c.answers) << c.name;
    EXPECT_EQ(result.value.has_value(), c.value.has_value()) << c.name;
    if (result.value && c.value) {
      EXPECT_FALSE(*result.value < *c.value || *c.value < *result.value) << c.name;
    }
    EXPECT_EQ(capture.Flushes(), c.lines) << c.name;
  }
}

TEST(StandardMethodCodecTest, MalformedErrorEnvelopeThrowsBadVariantAccess) {
  const Bytes int_code = {0x01, 0x03, 1, 0, 0, 0, 0x00, 0x00};
  const Bytes int_message = {0x01, 0x07, 1, 'e', 0x03, 1, 0, 0, 0, 0x00};
  for (const Bytes& bytes : {int_code, int_message}) {
    RecordingResult result;
    EXPECT_THROW(Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result),
                 std::bad_variant_access);
    EXPECT_TRUE(result.answers.empty());
  }
}

TEST(StandardMethodCodecTest, OneCodecPerSerializer) {
  const StandardMethodCodec& shared = StandardMethodCodec::GetInstance();
  EXPECT_EQ(&shared, &StandardMethodCodec::GetInstance());
  EXPECT_EQ(&shared, &StandardMethodCodec::GetInstance(&StandardCodecSerializer::GetInstance()));

  static const StandardCodecSerializer other;
  const StandardMethodCodec& own = StandardMethodCodec::GetInstance(&other);
  EXPECT_NE(&own, &shared);
  EXPECT_EQ(&own, &StandardMethodCodec::GetInstance(&other));
}

}  // namespace
}  // namespace flutter
