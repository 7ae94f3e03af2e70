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

// A reply window with the queue it drains, joined as a service joins them: adding a
// reply to the queue wakes the window.
class ReplyWindowTest : public ::testing::Test {
 protected:
  ReplyWindowTest() { replies_.SetWakeUp(&window_); }
  ~ReplyWindowTest() override { replies_.SetWakeUp(nullptr); }

  // Queues `reply` as a worker does, which wakes the window.
  void Queue(ReplyList reply) { replies_.Add(reply); }

  ReplyQueue replies_;
  ReplyWindow window_{replies_};
};

TEST_F(ReplyWindowTest, IsOneMessageOnlyWindowOfItsClassUntilItsObjectGoes) {
  EXPECT_EQ(window_.window(), nullptr) << "made before it was needed";
  ASSERT_TRUE(window_.Ready());
  const HWND window = window_.window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window_.Ready());
  EXPECT_EQ(window_.window(), window);
  EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kReplyWindowClass, nullptr), window);
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  EXPECT_EQ(std::wstring(class_name), L"CamveyPtpReply");
  EXPECT_EQ(kPtpReplyMessage, 32849u);

  HWND gone = nullptr;
  {
    ReplyQueue other_replies;
    ReplyWindow other(other_replies);
    ASSERT_TRUE(other.Ready());
    gone = other.window();
    EXPECT_NE(gone, window);
  }
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_TRUE(IsWindow(window)) << "one window's end took another's";
}

TEST_F(ReplyWindowTest, AQueuedReplyIsAnsweredAndDestroyedByTheLoopAtTheWakeUp) {
  ASSERT_TRUE(window_.Ready());
  RecordingResult::Record record;
  Queue(RecordedReply(&record));
  EXPECT_EQ(record.answers, 0) << "answered before the loop ran";

  EXPECT_TRUE(PumpUntil([&] { return record.destroyed; }));
  EXPECT_EQ(record.answers, 1);
  EXPECT_EQ(record.answer, NamesBytes({"IMG_0001.HEIC"}));
}

// A wake-up that cannot be posted (here: no window yet) is lost and not counted as one
// of the window's own, and the reply waits in the queue for the next wake-up.
TEST_F(ReplyWindowTest, ALostWakeUpLeavesTheReplyQueued) {
  RecordingResult::Record record;
  Queue(RecordedReply(&record));
  ASSERT_TRUE(window_.Ready());
  StderrCapture stderr_capture;
  EXPECT_TRUE(PostMessageW(window_.window(), kPtpReplyMessage, 0, 0));
  EXPECT_TRUE(PumpUntil([&] { return !stderr_capture.Flushes().empty(); }));
  EXPECT_EQ(record.answers, 0);
  EXPECT_FALSE(record.destroyed);
  EXPECT_EQ(stderr_capture.Flushes(),
            std::vector<std::string>{"Ignoring a reply message that carries no reply in "
                                     "flight.\n"});

  window_.Wake();
  EXPECT_TRUE(PumpUntil([&] { return record.destroyed; }));
  EXPECT_EQ(record.answers, 1);
}

TEST_F(ReplyWindowTest, TheProcedureDestroysTheReplyEvenWhenAnsweringThrows) {
  ASSERT_TRUE(window_.Ready());
  RecordingResult::Record record;
  StderrCapture stderr_capture;
  Queue(RecordedReply(&record, /*throws=*/true));
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
TEST_F(ReplyWindowTest, StrangersPostsAreIgnoredAndRealRepliesStillAnsweredOnce) {
  const std::string ignored = "Ignoring a reply message that carries no reply in flight.\n";
  ASSERT_TRUE(window_.Ready());
  const HWND window = window_.window();
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

TEST_F(ReplyWindowTest, OtherMessagesLeaveTheirParametersAlone) {
  ASSERT_TRUE(window_.Ready());
  RecordingResult::Record record;
  ReplyList reply = RecordedReply(&record);
  for (UINT message : {kPtpReplyMessage - 1, kPtpReplyMessage + 1, static_cast<UINT>(WM_USER)}) {
    SendMessageW(window_.window(), message, 0, reinterpret_cast<LPARAM>(&reply.front()));
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
    parts_.make_wake_up = PlatformParts().make_wake_up;
    phone_ = PhoneFrom(kApplePhone);
    // Record where and in which apartment each layer is made, then hand out the phone.
    parts_.make_device_layer = [this] {
      APTTYPE type = APTTYPE_CURRENT;
      APTTYPEQUALIFIER qualifier;
      const bool known = CoGetApartmentType(&type, &qualifier) == S_OK;
      std::lock_guard<std::mutex> lock(mutex_);
      layer_threads_.push_back(GetCurrentThreadId());
      layer_in_sta_.push_back(known && IsSingleThreaded(type));
      return std::make_unique<phone::SimulatedDeviceLayer>(&phone_);
    };
    StartService();
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

}  // namespace
}  // namespace camvey::ptp
