// Answers given on threads other than the platform thread: the reply takes the
// engine's messenger lock and its reference count is atomic.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "messaging/binary_messenger_impl.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace flutter {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

constexpr char kDuplicateResponse[] =
    "Error: Response can be set only once. Ignoring duplicate response.\n";

class ChannelConcurrencyTest : public EngineStandinTest {
 protected:
  FlutterDesktopMessengerRef messenger_ = NewMessenger();
  BinaryMessengerImpl messenger_impl_{messenger_};
};

TEST_F(ChannelConcurrencyTest, ResultAnsweredFromAnotherThread) {
  MethodChannel channel(&messenger_impl_, "camvey/ptp", &StandardMethodCodec::GetInstance());
  std::vector<std::thread> workers;
  channel.SetMethodCallHandler([&](const MethodCall&, std::unique_ptr<MethodResult> result) {
    workers.emplace_back([result = std::move(result)]() mutable {
      result->Success(EncodableValue(EncodableList{EncodableValue("IMG_0001.HEIC")}));
      result.reset();
    });
  });
  MethodCall call("deleteFiles", std::make_unique<EncodableValue>(EncodableList()));
  const std::vector<uint8_t> message = *StandardMethodCodec::GetInstance().EncodeMethodCall(call);

  constexpr int kMessages = 8;
  std::vector<engine_standin::MessageId> ids;
  ids.reserve(kMessages);
  for (int i = 0; i < kMessages; ++i) {
    ids.push_back(engine_standin::InjectMessage(messenger_, "camvey/ptp", message).value_or(0));
  }
  for (std::thread& worker : workers) {
    worker.join();
  }

  const std::vector<uint8_t> expected = *StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(
      std::make_unique<EncodableValue>(EncodableList{EncodableValue("IMG_0001.HEIC")}).get());
  for (engine_standin::MessageId id : ids) {
    std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->bytes, expected);
    EXPECT_TRUE(response->sent_under_lock);
  }
}

TEST_F(ChannelConcurrencyTest, ReplyWaitsForTheMessengerLock) {
  std::vector<BinaryReply> replies;
  messenger_impl_.SetMessageHandler("chan", [&](const uint8_t*, size_t, BinaryReply reply) {
    replies.push_back(std::move(reply));
  });
  const engine_standin::MessageId id =
      engine_standin::InjectMessage(messenger_, "chan", {1}).value_or(0);
  ASSERT_EQ(replies.size(), 1u);

  ASSERT_EQ(FlutterDesktopMessengerLock(messenger_), messenger_);
  std::atomic<bool> answered{false};
  std::thread worker([&] {
    const uint8_t answer[] = {2};
    replies[0](answer, 1);
    answered = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(answered) << "the reply went past a held messenger lock";
  FlutterDesktopMessengerUnlock(messenger_);
  worker.join();

  std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
  ASSERT_TRUE(response);
  EXPECT_THAT(response->bytes, ElementsAre(2));
}

TEST_F(ChannelConcurrencyTest, CopiesOfOneReplyRacingOnTwoThreadsSendOnce) {
  constexpr int kMessages = 50;
  std::vector<BinaryReply> replies;
  messenger_impl_.SetMessageHandler("chan", [&](const uint8_t*, size_t, BinaryReply reply) {
    replies.push_back(std::move(reply));
  });
  std::vector<engine_standin::MessageId> ids;
  ids.reserve(kMessages);
  for (int i = 0; i < kMessages; ++i) {
    ids.push_back(engine_standin::InjectMessage(messenger_, "chan", {1}).value_or(0));
  }
  ASSERT_EQ(replies.size(), static_cast<size_t>(kMessages));
  std::vector<BinaryReply> copies = replies;
  StderrCapture stderr_capture;

  auto answer_all = [](std::vector<BinaryReply>* own, uint8_t value) {
    for (BinaryReply& reply : *own) {
      reply(&value, 1);
      reply = nullptr;
    }
  };
  std::thread first(answer_all, &replies, uint8_t{1});
  std::thread second(answer_all, &copies, uint8_t{2});
  first.join();
  second.join();

  for (engine_standin::MessageId id : ids) {
    std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->bytes.size(), 1u);
  }
  std::vector<std::string> flushes = stderr_capture.Flushes();
  EXPECT_EQ(flushes.size(), static_cast<size_t>(kMessages));
  EXPECT_THAT(flushes, Each(std::string(kDuplicateResponse)));
}

}  // namespace
}  // namespace flutter
