#include "ptp/ptp_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "engine/engine_project.h"
#include "engine/flutter_engine.h"
#include "tests/ptp/service_fixture.h"

namespace camvey::ptp {
namespace {

using PtpChannelTest = PtpServiceTest;

TEST_F(PtpChannelTest, RegisteringAgainLeavesOneHandlerThatAnswers) {
  UsePhone(kApplePhone);
  const int registrations = engine_standin::SetCallbackCalls(messenger_, kPtpChannelName);
  RegisterPtpChannel(engine_.Messenger(), *service_);

  EXPECT_EQ(engine_standin::SetCallbackCalls(messenger_, kPtpChannelName), registrations + 1);
  EXPECT_TRUE(engine_standin::CallbackOn(messenger_, kPtpChannelName).has_value());
  EXPECT_EQ(AnswerTo(Call("available")), SuccessBytes(EncodableValue(true)));
}

// The slot's earlier channel is destroyed by a later registration; the handler it
// installed keeps working without it.
TEST_F(PtpChannelTest, AHandlerOutlivesTheChannelThatInstalledIt) {
  UsePhone(kApplePhone);
  flutter::FlutterEngine other(flutter::EngineProject(u"data"));
  RegisterPtpChannel(other.Messenger(), *service_);
  const FlutterDesktopMessengerRef other_messenger =
      FlutterDesktopEngineGetMessenger(engine_standin::Engines().at(1));

  const std::optional<engine_standin::MessageId> id = engine_standin::InjectMessage(
      other_messenger, kPtpChannelName,
      *Codec().EncodeMethodCall(flutter::MethodCall("available", nullptr)));
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(AnswerTo(*id), SuccessBytes(EncodableValue(true)));
  EXPECT_EQ(AnswerTo(Call("available")), SuccessBytes(EncodableValue(true)));
}

}  // namespace
}  // namespace camvey::ptp
