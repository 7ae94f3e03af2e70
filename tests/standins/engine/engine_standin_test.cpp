// The stand-in's own guarantees that the other suites lean on: misuse is recorded
// rather than crashing, and what it reports matches what was called.

#include "standins/engine/engine_standin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine_api/flutter_desktop_api.h"
#include "tests/standins/engine/standin_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Answers every message twice with the raw interface, the second time with a spent handle.
void AnswerTwice(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                 void*) {
  const uint8_t first[] = {1};
  const uint8_t second[] = {2};
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, first, 1);
  FlutterDesktopMessengerSendResponse(messenger, message->response_handle, second, 1);
}

// Keeps the response handle of the last message for a later answer.
const FlutterDesktopMessageResponseHandle* g_kept_response = nullptr;
void KeepResponse(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void*) {
  g_kept_response = message->response_handle;
}

class EngineStandinSelfTest : public EngineStandinTest {
 protected:
  // Takes the failures recorded so far, leaving a reset stand-in to the fixture's checks.
  static std::vector<std::string> TakeFailures() {
    std::vector<std::string> failures = engine_standin::Failures();
    engine_standin::Reset();
    return failures;
  }
};

TEST_F(EngineStandinSelfTest, SecondUseOfAResponseHandleIsRecordedAndKeepsTheFirstAnswer) {
  FlutterDesktopMessengerRef messenger = NewMessenger();
  FlutterDesktopMessengerSetCallback(messenger, "chan", &AnswerTwice, nullptr);

  std::optional<engine_standin::MessageId> id =
      engine_standin::InjectMessage(messenger, "chan", {0});

  ASSERT_TRUE(id);
  std::optional<engine_standin::Response> response = engine_standin::ResponseTo(*id);
  ASSERT_TRUE(response);
  EXPECT_THAT(response->bytes, ElementsAre(1));
  EXPECT_FALSE(response->sent_under_lock);
  EXPECT_THAT(TakeFailures(), ElementsAre(HasSubstr("used twice")));
}

TEST_F(EngineStandinSelfTest, LockMisuseIsRecorded) {
  FlutterDesktopMessengerRef messenger = NewMessenger();

  FlutterDesktopMessengerUnlock(messenger);
  FlutterDesktopMessengerRelease(messenger);

  EXPECT_THAT(TakeFailures(), ElementsAre(HasSubstr("did not hold the lock"),
                                          HasSubstr("more releases than references")));
}

TEST_F(EngineStandinSelfTest, HandedOverEngineDestroyedByTheHostIsRecorded) {
  FlutterDesktopEngineProperties properties = {};
  properties.dart_entrypoint = "";
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  FlutterDesktopViewControllerRef controller = FlutterDesktopViewControllerCreate(1, 1, engine);
  ASSERT_NE(controller, nullptr);

  FlutterDesktopEngineDestroy(engine);
  FlutterDesktopViewControllerDestroy(controller);
  FlutterDesktopViewControllerDestroy(controller);

  EXPECT_THAT(TakeFailures(),
              ElementsAre(HasSubstr("belongs to a view controller"), HasSubstr("destroyed twice")));
}

TEST_F(EngineStandinSelfTest, EndingTheEngineMakesItsMessengerUnavailable) {
  FlutterDesktopEngineProperties properties = {};
  properties.dart_entrypoint = "";
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  FlutterDesktopMessengerSetCallback(messenger, "chan", &AnswerTwice, nullptr);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopMessengerAddRef(messenger);  // as a pending answer holds it

  FlutterDesktopEngineDestroy(engine);

  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  EXPECT_FALSE(engine_standin::InjectMessage(messenger, "chan", {0}));
  FlutterDesktopMessengerRelease(messenger);
}

TEST_F(EngineStandinSelfTest, CallsTheRealLibraryWouldCrashOnAreRecorded) {
  FlutterDesktopEngineProperties properties = {};
  properties.dart_entrypoint = "";
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  FlutterDesktopViewControllerRef controller = FlutterDesktopViewControllerCreate(1, 1, engine);
  FlutterDesktopViewRef view = FlutterDesktopViewControllerGetView(controller);
  FlutterDesktopMessengerSetCallback(messenger, "chan", &KeepResponse, nullptr);
  ASSERT_TRUE(engine_standin::InjectMessage(messenger, "chan", {0}));
  std::thread([&] {
    FlutterDesktopMessengerSetCallback(messenger, "other", &KeepResponse, nullptr);
    const uint8_t answer[] = {1};
    FlutterDesktopMessengerSendResponse(messenger, g_kept_response, answer, 1);
    // What any thread may do: reference, lock, ask, answer under the lock.
    FlutterDesktopMessengerAddRef(messenger);
    FlutterDesktopMessengerLock(messenger);
    FlutterDesktopMessengerIsAvailable(messenger);
    FlutterDesktopMessengerUnlock(messenger);
  }).join();

  FlutterDesktopViewControllerDestroy(controller);
  FlutterDesktopViewControllerForceRedraw(controller);
  FlutterDesktopViewGetHWND(view);
  FlutterDesktopEngineReloadSystemFonts(engine);
  // A reference keeps the messenger of an ended engine; the last release ends it.
  FlutterDesktopMessengerSend(messenger, "chan", nullptr, 0);
  FlutterDesktopMessengerRelease(messenger);
  FlutterDesktopMessengerSend(messenger, "chan", nullptr, 0);
  FlutterDesktopViewGetHWND(nullptr);

  EXPECT_THAT(
      TakeFailures(),
      ElementsAre("FlutterDesktopMessengerSetCallback: called off the platform thread",
                  "FlutterDesktopMessengerSendResponse: called off the platform thread without the "
                  "messenger's lock",
                  "FlutterDesktopViewControllerForceRedraw: the view controller was destroyed",
                  "FlutterDesktopViewGetHWND: the view's controller was destroyed",
                  "FlutterDesktopEngineReloadSystemFonts: the engine has ended",
                  "FlutterDesktopMessengerSend: the messenger is gone (its engine ended and no "
                  "reference is held)",
                  "FlutterDesktopViewGetHWND: null view handle"));
}

}  // namespace
