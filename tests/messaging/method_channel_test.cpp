#include "messaging/method_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/binary_messenger_impl.h"
#include "messaging/standard_method_codec.h"
#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace flutter {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kChannel[] = "camvey/test";
constexpr char kLeakWarning[] = "Warning: Failed to respond to a message. This is a memory leak.\n";

class MethodChannelTest : public EngineStandinTest {
 protected:
  static std::vector<uint8_t> EncodeCall(const std::string& method, EncodableValue arguments) {
    MethodCall call(method, std::make_unique<EncodableValue>(std::move(arguments)));
    return *StandardMethodCodec::GetInstance().EncodeMethodCall(call);
  }

  engine_standin::MessageId Inject(const std::vector<uint8_t>& message) {
    std::optional<engine_standin::MessageId> id =
        engine_standin::InjectMessage(messenger_, kChannel, message);
    EXPECT_TRUE(id.has_value());
    return id.value_or(0);
  }

  static int OutstandingReferences() {
    const engine_standin::CallCounts counts = engine_standin::Counts();
    return counts.add_refs - counts.releases;
  }

  FlutterDesktopMessengerRef messenger_ = NewMessenger();
  BinaryMessengerImpl messenger_impl_{messenger_};
  MethodChannel channel_{&messenger_impl_, kChannel, &StandardMethodCodec::GetInstance()};
};

TEST_F(MethodChannelTest, DecodedCallReachesTheHandlerAndItsAnswerTheEngine) {
  std::string method;
  std::optional<EncodableValue> arguments;
  channel_.SetMethodCallHandler([&](const MethodCall& call, std::unique_ptr<MethodResult> result) {
    method = call.method_name();
    arguments = *call.arguments();
    result->Success(EncodableValue(true));
  });

  const engine_standin::MessageId id = Inject(EncodeCall("available", EncodableValue()));

  EXPECT_EQ(method, "available");
  ASSERT_TRUE(arguments);
  EXPECT_TRUE(arguments->IsNull());
  std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
  ASSERT_TRUE(response);
  EXPECT_THAT(response->bytes, ElementsAre(0, 1));
}

TEST_F(MethodChannelTest, UndecodableMessageIsAnsweredNotImplementedWithTheChannelLine) {
  const std::string line =
      std::string("Unable to construct method call from message on channel ") + kChannel + "\n";
  struct Case {
    const char* name;
    std::vector<uint8_t> message;
  };
  const Case cases[] = {
      {"method name is an int32", {3, 1, 0, 0, 0}},
      {"empty message", {}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    bool handled = false;
    channel_.SetMethodCallHandler(
        [&](const MethodCall&, std::unique_ptr<MethodResult>) { handled = true; });
    StderrCapture stderr_capture;

    const engine_standin::MessageId id = Inject(test_case.message);

    EXPECT_FALSE(handled);
    std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
    ASSERT_TRUE(response);
    EXPECT_THAT(response->bytes, IsEmpty());
    // The codec reports its own finding first; the channel's line comes last.
    std::vector<std::string> flushes = stderr_capture.Flushes();
    ASSERT_FALSE(flushes.empty());
    EXPECT_EQ(flushes.back(), line);
  }
}

TEST_F(MethodChannelTest, ResultAnsweredLaterFromAQueuedTaskKeepsTheMessengerReferenced) {
  std::deque<std::function<void()>> platform_tasks;
  channel_.SetMethodCallHandler([&](const MethodCall&, std::unique_ptr<MethodResult> result) {
    platform_tasks.push_back([pending = std::shared_ptr<MethodResult>(std::move(result))] {
      pending->Error("ptp_failed", "not_found", nullptr);
    });
  });

  const engine_standin::MessageId id = Inject(EncodeCall("deleteFiles", EncodableList()));

  EXPECT_FALSE(engine_standin::ResponseTo(id));
  EXPECT_EQ(OutstandingReferences(), 1);
  while (!platform_tasks.empty()) {
    platform_tasks.front()();
    platform_tasks.pop_front();
  }
  std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->bytes, *StandardMethodCodec::GetInstance().EncodeErrorEnvelope(
                                 "ptp_failed", "not_found", nullptr));
  EXPECT_EQ(OutstandingReferences(), 0);
}

TEST_F(MethodChannelTest, UnansweredResultWarnsAndTheEngineNeverGetsAnAnswer) {
  channel_.SetMethodCallHandler([](const MethodCall&, std::unique_ptr<MethodResult>) {});
  StderrCapture stderr_capture;

  const engine_standin::MessageId id = Inject(EncodeCall("available", EncodableValue()));

  EXPECT_FALSE(engine_standin::ResponseTo(id));
  EXPECT_THAT(stderr_capture.Flushes(), ElementsAre(kLeakWarning));
  EXPECT_EQ(OutstandingReferences(), 0);
}

TEST_F(MethodChannelTest, AnswerAfterTheEngineIsGoneIsDroppedSilently) {
  std::unique_ptr<MethodResult> kept;
  channel_.SetMethodCallHandler(
      [&](const MethodCall&, std::unique_ptr<MethodResult> result) { kept = std::move(result); });
  const engine_standin::MessageId id = Inject(EncodeCall("available", EncodableValue()));
  engine_standin::SetAvailable(messenger_, false);
  StderrCapture stderr_capture;

  kept->Success(EncodableValue(true));
  kept.reset();

  EXPECT_FALSE(engine_standin::ResponseTo(id));
  EXPECT_THAT(stderr_capture.Flushes(), IsEmpty());
  EXPECT_EQ(OutstandingReferences(), 0);
}

TEST_F(MethodChannelTest, HandlerOutlivesTheChannelUntilRemoved) {
  int calls = 0;
  {
    MethodChannel short_lived(&messenger_impl_, "short", &StandardMethodCodec::GetInstance());
    short_lived.SetMethodCallHandler([&](const MethodCall&, std::unique_ptr<MethodResult> result) {
      ++calls;
      result->NotImplemented();
    });
  }
  engine_standin::InjectMessage(messenger_, "short", EncodeCall("m", EncodableValue()));
  EXPECT_EQ(calls, 1);

  MethodChannel again(&messenger_impl_, "short", &StandardMethodCodec::GetInstance());
  again.SetMethodCallHandler(nullptr);
  EXPECT_FALSE(engine_standin::CallbackOn(messenger_, "short"));
}

}  // namespace
}  // namespace flutter
