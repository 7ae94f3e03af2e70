#include "messaging/engine_method_result.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/standard_method_codec.h"
#include "tests/messaging/stderr_capture.h"

namespace flutter {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and it can be called "
    "exactly once. Ignoring duplicate result.\n";
constexpr char kLeakWarning[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

// What a BinaryReply was called with.
struct SentReply {
  bool data_was_null;
  std::vector<uint8_t> bytes;
};

class EngineMethodResultTest : public ::testing::Test {
 protected:
  // A result whose reply records into sent_ and holds token_ while it lives.
  std::unique_ptr<EngineMethodResult> MakeResult() {
    return std::make_unique<EngineMethodResult>(
        [this, token = token_](const uint8_t* data, size_t size) {
          sent_.push_back({data == nullptr, data ? std::vector<uint8_t>(data, data + size)
                                                 : std::vector<uint8_t>()});
        },
        &StandardMethodCodec::GetInstance());
  }

  std::vector<SentReply> sent_;
  std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

TEST_F(EngineMethodResultTest, EachAnswerReachesTheReplyInItsWireForm) {
  struct Case {
    const char* name;
    void (*answer)(MethodResult& result);
    bool data_was_null;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"success true", [](MethodResult& r) { r.Success(EncodableValue(true)); }, false, {0, 1}},
      {"success without a value", [](MethodResult& r) { r.Success(); }, false, {0, 0}},
      {"error with empty message",
       [](MethodResult& r) { r.Error("e", "", nullptr); },
       false,
       {1, 7, 1, 'e', 0, 0}},
      {"error with details",
       [](MethodResult& r) {
         const EncodableValue details(int32_t{5});
         r.Error("e", "m", &details);
       },
       false,
       {1, 7, 1, 'e', 7, 1, 'm', 3, 5, 0, 0, 0}},
      {"not implemented", [](MethodResult& r) { r.NotImplemented(); }, true, {}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    sent_.clear();
    std::unique_ptr<EngineMethodResult> result = MakeResult();
    StderrCapture stderr_capture;

    test_case.answer(*result);
    result.reset();

    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0].data_was_null, test_case.data_was_null);
    EXPECT_THAT(sent_[0].bytes, ElementsAreArray(test_case.bytes));
    EXPECT_THAT(stderr_capture.Flushes(), IsEmpty());
  }
}

TEST_F(EngineMethodResultTest, SuccessThenErrorSendsOnlyTheSuccess) {
  std::unique_ptr<EngineMethodResult> result = MakeResult();
  StderrCapture stderr_capture;

  result->Success(EncodableValue(true));
  result->Error("late", "too late", nullptr);
  result->NotImplemented();

  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_THAT(sent_[0].bytes, ElementsAre(0, 1));
  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre(kDuplicateResult, kDuplicateResult));
}

TEST_F(EngineMethodResultTest, AnsweringLetsGoOfTheReply) {
  std::unique_ptr<EngineMethodResult> result = MakeResult();
  EXPECT_EQ(token_.use_count(), 2);

  result->Success();

  EXPECT_EQ(token_.use_count(), 1) << "the answered result still holds its reply";
}

TEST_F(EngineMethodResultTest, UnansweredResultWarnsAndSendsNothing) {
  std::unique_ptr<EngineMethodResult> result = MakeResult();
  StderrCapture stderr_capture;

  result.reset();

  EXPECT_THAT(sent_, IsEmpty());
  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre(kLeakWarning));
  EXPECT_EQ(token_.use_count(), 1);
}

}  // namespace
}  // namespace flutter
