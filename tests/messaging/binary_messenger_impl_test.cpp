#include "messaging/binary_messenger_impl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace flutter {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kDuplicateResponse[] =
    "Error: Response can be set only once. Ignoring duplicate response.\n";

class BinaryMessengerImplTest : public EngineStandinTest {
 protected:
  // Installs a handler on "chan" that keeps every reply it is given.
  void KeepReplies() {
    messenger_impl_.SetMessageHandler("chan", [this](const uint8_t*, size_t, BinaryReply reply) {
      replies_.push_back(std::move(reply));
    });
  }

  engine_standin::MessageId Inject(const std::vector<uint8_t>& message = {7}) {
    std::optional<engine_standin::MessageId> id =
        engine_standin::InjectMessage(messenger_, "chan", message);
    EXPECT_TRUE(id.has_value());
    return id.value_or(0);
  }

  FlutterDesktopMessengerRef messenger_ = NewMessenger();
  std::vector<BinaryReply> replies_;
  BinaryMessengerImpl messenger_impl_{messenger_};
};

TEST_F(BinaryMessengerImplTest, DeliversMessagesToTheChannelsHandler) {
  std::vector<uint8_t> received;
  messenger_impl_.SetMessageHandler("chan",
                                    [&](const uint8_t* message, size_t size, const BinaryReply&) {
                                      received.assign(message, message + size);
                                    });
  messenger_impl_.SetMessageHandler("other", [](const uint8_t*, size_t, const BinaryReply&) {
    ADD_FAILURE() << "message reached the wrong channel";
  });

  Inject({1, 2, 3});

  EXPECT_THAT(received, ElementsAre(1, 2, 3));
}

TEST_F(BinaryMessengerImplTest, ReplacedHandlerKeepsItsUserDataAddress) {
  int first_calls = 0;
  int second_calls = 0;
  messenger_impl_.SetMessageHandler(
      "chan", [&](const uint8_t*, size_t, const BinaryReply&) { ++first_calls; });
  const std::optional<engine_standin::ChannelCallback> first =
      engine_standin::CallbackOn(messenger_, "chan");
  messenger_impl_.SetMessageHandler(
      "chan", [&](const uint8_t*, size_t, const BinaryReply&) { ++second_calls; });
  const std::optional<engine_standin::ChannelCallback> second =
      engine_standin::CallbackOn(messenger_, "chan");

  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->callback, &BinaryMessengerImpl::ForwardIncomingMessage);
  EXPECT_EQ(second->callback, first->callback);
  EXPECT_EQ(second->user_data, first->user_data);
  EXPECT_EQ(engine_standin::SetCallbackCalls(messenger_, "chan"), 2);
  Inject();
  EXPECT_EQ(first_calls, 0);
  EXPECT_EQ(second_calls, 1);
}

TEST_F(BinaryMessengerImplTest, AHandlerThatReplacesOrRemovesItselfFinishesInItsOwnClosure) {
  // The closure's captured text is read after the handler has changed its channel; a
  // closure destroyed under the running call reads freed memory there.
  for (const bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "removes" : "replaces");
    std::vector<std::string> seen;
    const std::string label(64, remove ? 'r' : 'p');
    messenger_impl_.SetMessageHandler(
        "chan", [this, &seen, label, remove](const uint8_t*, size_t, const BinaryReply&) {
          if (remove) {
            messenger_impl_.SetMessageHandler("chan", nullptr);
          } else {
            messenger_impl_.SetMessageHandler("chan",
                                              [&seen](const uint8_t*, size_t, const BinaryReply&) {
                                                seen.emplace_back("replacement");
                                              });
          }
          seen.push_back(label);
        });

    Inject();
    EXPECT_THAT(seen, ElementsAre(label));
    if (remove) {
      EXPECT_FALSE(engine_standin::CallbackOn(messenger_, "chan"));
    } else {
      Inject();
      EXPECT_THAT(seen, ElementsAre(label, "replacement")) << "the next message";
    }
  }
}

TEST_F(BinaryMessengerImplTest, AThrowingHandlerGetsALineAndItsMessageAnEmptyAnswerOnce) {
  for (const bool answered_first : {false, true}) {
    SCOPED_TRACE(answered_first ? "answered, then threw" : "threw unanswered");
    messenger_impl_.SetMessageHandler(
        "chan", [answered_first](const uint8_t*, size_t, const BinaryReply& reply) {
          const uint8_t answer[] = {5};
          if (answered_first) reply(answer, 1);
          throw std::runtime_error("handler failed");
        });
    StderrCapture stderr_capture;

    const engine_standin::MessageId id = Inject();

    EXPECT_THAT(stderr_capture.Flushes(),
                ElementsAre("Exception in the message handler of channel chan.\n"));
    std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->bytes, answered_first ? std::vector<uint8_t>{5} : std::vector<uint8_t>{});
  }
}

TEST_F(BinaryMessengerImplTest, AThrowingReplyFunctionStopsAtTheEngineCallback) {
  const uint8_t message[] = {3};
  messenger_impl_.Send("out", message, 1,
                       [](const uint8_t*, size_t) { throw std::runtime_error("reply failed"); });
  StderrCapture stderr_capture;

  EXPECT_TRUE(engine_standin::DeliverReply(messenger_, 0, {8}));

  EXPECT_THAT(stderr_capture.Flushes(),
              ElementsAre("Exception in the reply handler of a sent message.\n"));
}

TEST_F(BinaryMessengerImplTest, RemovingAHandlerClearsTheEngineCallbackEvenIfNoneWasSet) {
  messenger_impl_.SetMessageHandler("never-set", nullptr);
  EXPECT_EQ(engine_standin::SetCallbackCalls(messenger_, "never-set"), 1);

  KeepReplies();
  messenger_impl_.SetMessageHandler("chan", nullptr);
  EXPECT_EQ(engine_standin::SetCallbackCalls(messenger_, "chan"), 2);
  EXPECT_FALSE(engine_standin::CallbackOn(messenger_, "chan"));
}

TEST_F(BinaryMessengerImplTest, ReplySendsOnceUnderTheLockAndHoldsAReferenceUntilDestroyed) {
  KeepReplies();
  const engine_standin::MessageId id = Inject();
  ASSERT_EQ(replies_.size(), 1u);
  engine_standin::CallCounts counts = engine_standin::Counts();
  EXPECT_EQ(counts.add_refs - counts.releases, 1);
  EXPECT_FALSE(engine_standin::ResponseTo(id));

  const uint8_t answer[] = {4, 5};
  replies_[0](answer, sizeof(answer));

  std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
  ASSERT_TRUE(response);
  EXPECT_THAT(response->bytes, ElementsAre(4, 5));
  EXPECT_TRUE(response->sent_under_lock);
  counts = engine_standin::Counts();
  EXPECT_EQ(counts.locks, 1);
  EXPECT_EQ(counts.add_refs - counts.releases, 1) << "released before the reply is gone";
  replies_.clear();
  counts = engine_standin::Counts();
  EXPECT_EQ(counts.add_refs, counts.releases);
}

TEST_F(BinaryMessengerImplTest, EmptyAnswerReachesTheEngineAsZeroBytes) {
  KeepReplies();
  const engine_standin::MessageId id = Inject();

  replies_.at(0)(nullptr, 0);

  std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
  ASSERT_TRUE(response);
  EXPECT_THAT(response->bytes, IsEmpty());
  EXPECT_TRUE(response->data_was_null);
}

TEST_F(BinaryMessengerImplTest, SecondAnswerPrintsTheDuplicateLineAndSendsNothing) {
  // The same reply called twice, and two copies of one reply each called once: the
  // response handle belongs to the message, not to one copy.
  for (bool use_a_copy : {false, true}) {
    SCOPED_TRACE(use_a_copy ? "copy" : "same reply");
    replies_.clear();
    KeepReplies();
    const engine_standin::MessageId id = Inject();
    BinaryReply first = replies_.at(0);
    BinaryReply second = use_a_copy ? first : nullptr;
    StderrCapture stderr_capture;

    const uint8_t one[] = {1};
    const uint8_t two[] = {2};
    first(one, 1);
    (use_a_copy ? second : first)(two, 1);

    EXPECT_THAT(stderr_capture.Flushes(), ElementsAre(kDuplicateResponse));
    std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
    ASSERT_TRUE(response);
    EXPECT_THAT(response->bytes, ElementsAre(1));
  }
}

TEST_F(BinaryMessengerImplTest, AnswerAfterTheEngineIsGoneIsDroppedSilently) {
  KeepReplies();
  const engine_standin::MessageId id = Inject();
  engine_standin::SetAvailable(messenger_, false);
  StderrCapture stderr_capture;

  const uint8_t answer[] = {9};
  replies_.at(0)(answer, 1);

  EXPECT_FALSE(engine_standin::ResponseTo(id));
  EXPECT_THAT(stderr_capture.Flushes(), IsEmpty());
  engine_standin::CallCounts counts = engine_standin::Counts();
  EXPECT_EQ(counts.locks, counts.unlocks);

  // A dropped answer leaves the handle fresh.
  engine_standin::SetAvailable(messenger_, true);
  replies_.at(0)(answer, 1);
  EXPECT_TRUE(engine_standin::ResponseTo(id));
}

TEST_F(BinaryMessengerImplTest, SendWithoutReplyUsesThePlainSend) {
  const uint8_t message[] = {1, 2};
  messenger_impl_.Send("out", message, sizeof(message), nullptr);

  std::vector<engine_standin::SentMessage> sent = engine_standin::SentMessages(messenger_);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].channel, "out");
  EXPECT_THAT(sent[0].bytes, ElementsAre(1, 2));
  EXPECT_FALSE(sent[0].with_reply);
}

TEST_F(BinaryMessengerImplTest, SendWithReplyRunsTheReplyOnceAndFreesItsRecord) {
  // The token's use count shows whether the engine-held copy of the reply still lives.
  struct Case {
    const char* name;
    bool refused;
  };
  for (const Case& test_case : {Case{"accepted", false}, Case{"refused", true}}) {
    SCOPED_TRACE(test_case.name);
    engine_standin::SetSendWithReplyRefused(messenger_, test_case.refused);
    auto token = std::make_shared<int>(0);
    std::vector<std::vector<uint8_t>> replies;
    const uint8_t message[] = {3};
    messenger_impl_.Send("out", message, 1, [token, &replies](const uint8_t* reply, size_t size) {
      replies.emplace_back(reply, reply + size);
    });
    const size_t index = engine_standin::SentMessages(messenger_).size() - 1;
    EXPECT_TRUE(engine_standin::SentMessages(messenger_)[index].with_reply);

    if (test_case.refused) {
      EXPECT_EQ(token.use_count(), 1);
      EXPECT_FALSE(engine_standin::DeliverReply(messenger_, index, {8}));
      EXPECT_THAT(replies, IsEmpty());
    } else {
      EXPECT_EQ(token.use_count(), 2);
      EXPECT_TRUE(engine_standin::DeliverReply(messenger_, index, {8}));
      EXPECT_THAT(replies, ElementsAre(ElementsAre(8)));
      EXPECT_EQ(token.use_count(), 1);
    }
  }
}

TEST_F(BinaryMessengerImplTest, DestructionLeavesEngineCallbacksSet) {
  {
    BinaryMessengerImpl short_lived(messenger_);
    short_lived.SetMessageHandler("kept", [](const uint8_t*, size_t, const BinaryReply&) {});
  }
  EXPECT_TRUE(engine_standin::CallbackOn(messenger_, "kept"));
  EXPECT_EQ(engine_standin::SetCallbackCalls(messenger_, "kept"), 1);
}

}  // namespace
}  // namespace flutter
