// The Windows hand-over: the hidden reply window, the wake-ups posted to it, and workers
// in their own single-threaded apartments. The test's thread is the platform thread and
// pumps its messages as the host's loop does.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ptp/ptp_service.h"
#include "ptp/reply_queue.h"
#include "ptp/reply_window_win.h"
#include "ptp/worker_apartment.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/ptp/service_fixture.h"

namespace camvey::ptp {
namespace {

// Dispatches this thread's messages until `done` holds or a generous time has passed.
bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) break;
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

// The first single-threaded apartment of a process is its main one.
bool IsSingleThreaded(APTTYPE type) { return type == APTTYPE_STA || type == APTTYPE_MAINSTA; }

// A finished reply in a list of its own, as a job makes it.
ReplyList RecordedReply(RecordingResult::Record* record, bool throws = false) {
  ReplyList reply(1);
  reply.front().result = std::make_unique<RecordingResult>(record, throws);
  reply.front().names = {u"IMG_0001.HEIC"};
  return reply;
}

// Queues `reply` in the service's queue, as a worker does before its wake-up.
void Queue(ReplyList reply) { PtpService::Process().replies().Add(reply); }

// A window of the reply window's class that is gone again.
HWND GoneWindow() {
  EnsureReplyWindow();
  HWND window = CreateWindowExW(0, kReplyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  EXPECT_NE(window, nullptr);
  DestroyWindow(window);
  return window;
}

// Wakes a window that no longer exists, so that every wake-up is lost for real.
class GoneWindowWakeUp : public ReplyWakeUp {
 public:
  static GoneWindowWakeUp& Instance() {
    static GoneWindowWakeUp* const wake_up = new GoneWindowWakeUp(GoneWindow());
    return *wake_up;
  }
  bool Ready() override { return true; }
  void Wake() noexcept override { static_cast<void>(WakeReplyWindow(window_)); }

 private:
  explicit GoneWindowWakeUp(HWND window) : window_(window) {}
  HWND window_;
};

TEST(ReplyWindowTest, IsOneMessageOnlyWindowOfItsClass) {
  const HWND window = EnsureReplyWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(EnsureReplyWindow(), window);
  EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kReplyWindowClass, nullptr), window);
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  EXPECT_EQ(std::wstring(class_name), L"CamveyPtpReply");
  EXPECT_EQ(kPtpReplyMessage, 32849u);
}

TEST(ReplyWindowTest, AQueuedReplyIsAnsweredAndDestroyedByTheLoopAtTheWakeUp) {
  RecordingResult::Record record;
  Queue(RecordedReply(&record));
  ASSERT_TRUE(WakeReplyWindow(EnsureReplyWindow()));
  EXPECT_EQ(record.answers, 0) << "answered before the loop ran";

  EXPECT_TRUE(PumpUntil([&] { return record.destroyed; }));
  EXPECT_EQ(record.answers, 1);
  EXPECT_EQ(record.answer, NamesBytes({"IMG_0001.HEIC"}));
}

// A wake-up that cannot be posted says so, and the reply waits in the queue for the
// next one.
TEST(ReplyWindowTest, ALostWakeUpLeavesTheReplyQueued) {
  RecordingResult::Record record;
  Queue(RecordedReply(&record));
  for (HWND window : {GoneWindow(), static_cast<HWND>(nullptr)}) {
    EXPECT_FALSE(WakeReplyWindow(window));
  }
  PumpUntil([] { return true; });
  EXPECT_EQ(record.answers, 0);
  EXPECT_FALSE(record.destroyed);

  ASSERT_TRUE(WakeReplyWindow(EnsureReplyWindow()));
  EXPECT_TRUE(PumpUntil([&] { return record.destroyed; }));
  EXPECT_EQ(record.answers, 1);
}

TEST(ReplyWindowTest, TheProcedureDestroysTheReplyEvenWhenAnsweringThrows) {
  RecordingResult::Record record;
  Queue(RecordedReply(&record, /*throws=*/true));
  StderrCapture stderr_capture;
  ASSERT_TRUE(WakeReplyWindow(EnsureReplyWindow()));
  EXPECT_TRUE(PumpUntil([&] { return record.destroyed; }));
  EXPECT_EQ(record.answers, 1);
  EXPECT_EQ(stderr_capture.Flushes(),
            std::vector<std::string>{"Exception while answering a deleteFiles request.\n"});
}

// Posts the reply message to `window` from a process of its own; true when it ran and
// every post was accepted.
bool PostFromAnotherProcess(HWND window, const std::vector<LPARAM>& lparams) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring poster(path, length);
  poster.resize(poster.find_last_of(L"\\/") + 1);
  poster += L"camvey_reply_poster.exe";
  std::wstring command =
      L"\"" + poster + L"\" " + std::to_wstring(reinterpret_cast<ULONG_PTR>(window));
  for (LPARAM lparam : lparams) command += L" " + std::to_wstring(static_cast<ULONG_PTR>(lparam));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(poster.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start the poster: " << GetLastError();
    return false;
  }
  DWORD exit_code = 1;
  const bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended && exit_code == 0;
}

// Posts of the reply message that the service did not make, from another thread and
// from another process: numbers chosen by the poster, the address of a real reply that
// was never queued, the address of one that was, and a bare wake-up beyond the
// service's own. None is dereferenced, each leaves one line, and the queued reply is
// answered once.
TEST(ReplyWindowTest, StrangersPostsAreIgnoredAndRealRepliesStillAnsweredOnce) {
  const std::string ignored = "Ignoring a reply message that carries no reply in flight.\n";
  const HWND window = EnsureReplyWindow();
  RecordingResult::Record unqueued_record;
  ReplyList unqueued = RecordedReply(&unqueued_record);
  RecordingResult::Record real_record;
  ReplyList real = RecordedReply(&real_record);
  const auto real_address = reinterpret_cast<LPARAM>(&real.front());
  const std::vector<LPARAM> strangers = {0, static_cast<LPARAM>(0x41414140),
                                         reinterpret_cast<LPARAM>(&unqueued.front())};
  StderrCapture stderr_capture;

  std::thread([&] {
    for (LPARAM lparam : strangers) EXPECT_TRUE(PostMessageW(window, kPtpReplyMessage, 0, lparam));
  }).join();
  EXPECT_TRUE(PostFromAnotherProcess(window, strangers));
  Queue(std::move(real));
  ASSERT_TRUE(WakeReplyWindow(window));
  EXPECT_TRUE(PostFromAnotherProcess(window, {real_address, real_address}));

  // Every stranger's post from both senders, and then the two posts of the queued
  // reply's address.
  const std::size_t lines = 2 * strangers.size() + 2;
  EXPECT_TRUE(
      PumpUntil([&] { return real_record.destroyed && stderr_capture.Flushes().size() >= lines; }));
  PumpUntil([] { return true; });
  EXPECT_EQ(real_record.answers, 1);
  EXPECT_EQ(real_record.answer, NamesBytes({"IMG_0001.HEIC"}));
  EXPECT_EQ(unqueued_record.answers, 0);
  EXPECT_FALSE(unqueued_record.destroyed);
  EXPECT_EQ(stderr_capture.Flushes(), std::vector<std::string>(lines, ignored));
  unqueued.front().result->Success();
}

TEST(ReplyWindowTest, OtherMessagesLeaveTheirParametersAlone) {
  RecordingResult::Record record;
  ReplyList reply = RecordedReply(&record);
  for (UINT message : {kPtpReplyMessage - 1, kPtpReplyMessage + 1, static_cast<UINT>(WM_USER)}) {
    ReplyWindowProc(EnsureReplyWindow(), message, 0, reinterpret_cast<LPARAM>(&reply.front()));
  }
  EXPECT_EQ(record.answers, 0);
  EXPECT_FALSE(record.destroyed);
  reply.front().result->Success();
}

TEST(WorkerApartmentTest, IsSingleThreadedAndLeftAtTheEnd) {
  std::thread([] {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    {
      WorkerApartment apartment;
      EXPECT_TRUE(apartment.entered());
      ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
      EXPECT_TRUE(IsSingleThreaded(type)) << type;
    }
    EXPECT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED);
  }).join();
}

// The service over the real reply window: the platform's own wake-up.
class ReplyWindowServiceTest : public PtpServiceTest {
 protected:
  ReplyWindowServiceTest() {
    parts().wake_up = PlatformParts().wake_up;
    UsePhone(kApplePhone);
    // Record where and in which apartment each layer is made, then hand out the phone.
    parts().make_device_layer = [this] {
      APTTYPE type = APTTYPE_CURRENT;
      APTTYPEQUALIFIER qualifier;
      const bool known = CoGetApartmentType(&type, &qualifier) == S_OK;
      std::lock_guard<std::mutex> lock(mutex_);
      layer_threads_.push_back(GetCurrentThreadId());
      layer_in_sta_.push_back(known && IsSingleThreaded(type));
      return std::make_unique<phone::SimulatedDeviceLayer>(&phone_);
    };
  }

  std::optional<Bytes> PumpForAnswer(engine_standin::MessageId id) {
    PumpUntil([id] { return engine_standin::ResponseTo(id).has_value(); });
    return AnswerTo(id);
  }

  std::mutex mutex_;
  std::vector<DWORD> layer_threads_;
  std::vector<bool> layer_in_sta_;
};

TEST_F(ReplyWindowServiceTest, AnswersThroughTheWindowFromAWorkerInItsOwnApartment) {
  const engine_standin::MessageId id =
      Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}, {kFeteUtf8, "202401"}}));
  EXPECT_EQ(AnswerTo(id), std::nullopt);

  EXPECT_EQ(PumpForAnswer(id), NamesBytes({"IMG_0001.HEIC", kFeteUtf8}));
  std::lock_guard<std::mutex> lock(mutex_);
  ASSERT_EQ(layer_threads_.size(), 1u);
  EXPECT_NE(layer_threads_[0], GetCurrentThreadId());
  EXPECT_TRUE(layer_in_sta_[0]);
}

TEST_F(ReplyWindowServiceTest, AReplyWhoseWakeUpIsLostComesWithTheWindowsNextWakeUp) {
  parts().wake_up = &GoneWindowWakeUp::Instance();
  const engine_standin::MessageId stranded =
      Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));
  ASSERT_TRUE(Workers::WaitUntilAllEnded());
  EXPECT_EQ(AnswerTo(stranded), std::nullopt);
  PumpUntil([] { return true; });
  EXPECT_EQ(AnswerTo(stranded), std::nullopt) << "answered without a wake-up";

  ASSERT_TRUE(WakeReplyWindow(EnsureReplyWindow()));
  EXPECT_EQ(PumpForAnswer(stranded), NamesBytes({"IMG_0001.HEIC"}));
}

}  // namespace
}  // namespace camvey::ptp
