#include "ptp/ptp_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ptp/device/device_layer.h"
#include "ptp/reply_queue.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/ptp/service_fixture.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

using ::testing::IsEmpty;

using PtpJobTest = PtpServiceTest;

// A wake-up that never reaches the platform thread, as when the reply window's message
// queue is full.
class LostWakeUp : public ReplyWakeUp {
 public:
  static std::unique_ptr<ReplyWakeUp> Make(ReplyQueue& /*replies*/) {
    return std::make_unique<LostWakeUp>();
  }
  bool Ready() override { return true; }
  void Wake() noexcept override {}
};

TEST_F(PtpJobTest, AWorkerThatCannotStartLeavesTheRequestToThePlatformThread) {
  parts_.start_worker = &Workers::Refuse;
  UsePhone(kApplePhone);
  StderrCapture stderr_capture;

  const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));

  EXPECT_EQ(AnswerTo(id), NamesBytes({"IMG_0001.HEIC"})) << "not answered before returning";
  EXPECT_EQ(phone_.deleted.size(), 1u);
  EXPECT_THAT(WithoutTrace(stderr_capture.Flushes()), IsEmpty())
      << "a result was dropped unanswered";
}

// A reply whose wake-up is lost waits in the queue and is answered, once, on the
// platform thread at the next drain or at the next call, whichever comes first.
TEST_F(PtpJobTest, AReplyWhoseWakeUpIsLostIsAnsweredOnceAtTheNextChance) {
  enum class Next { kCall, kDrain };
  parts_.make_wake_up = &LostWakeUp::Make;
  for (Next next : {Next::kCall, Next::kDrain}) {
    SCOPED_TRACE(next == Next::kCall ? "next call" : "next drain");
    UsePhone(kApplePhone);
    StderrCapture stderr_capture;

    const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));
    ASSERT_TRUE(Workers::WaitUntilAllEnded());
    EXPECT_EQ(AnswerTo(id), std::nullopt);

    if (next == Next::kCall) {
      EXPECT_EQ(AnswerTo(Call("available")), SuccessBytes(EncodableValue(true)));
    } else {
      EXPECT_EQ(DeliverQueued(), 1u);
    }
    EXPECT_EQ(AnswerTo(id), NamesBytes({"IMG_0001.HEIC"}));
    EXPECT_EQ(DeliverQueued(), 0u) << "answered twice";
    EXPECT_EQ(phone_.deleted.size(), 1u);
    EXPECT_THAT(WithoutTrace(stderr_capture.Flushes()), IsEmpty());
  }
}

// A layer over its own copy of a phone that keeps its job at the first device call
// until its gate opens, and reports what its copy lost when it goes.
class GatedLayer : public DeviceLayer {
 public:
  GatedLayer(phone::Phone phone, std::shared_future<void> gate,
             std::function<void(std::vector<std::u16string>)> on_end)
      : phone_(std::move(phone)),
        layer_(&phone_),
        gate_(std::move(gate)),
        on_end_(std::move(on_end)) {}
  ~GatedLayer() override {
    std::vector<std::u16string> deleted;
    for (const phone::DeletedObject& object : phone_.deleted) deleted.push_back(object.name);
    on_end_(std::move(deleted));
  }

  DeviceResult CreateManager(std::unique_ptr<DeviceManager>* manager) override {
    gate_.wait();
    return layer_.CreateManager(manager);
  }
  DeviceResult CreateKeyCollection(std::unique_ptr<KeyCollection>* keys) override {
    return layer_.CreateKeyCollection(keys);
  }
  DeviceResult CreateClientInformation(std::unique_ptr<ClientInformation>* info) override {
    return layer_.CreateClientInformation(info);
  }
  DeviceResult CreateDevice(std::unique_ptr<PortableDevice>* device) override {
    return layer_.CreateDevice(device);
  }
  DeviceResult CreateIdCollection(std::unique_ptr<IdCollection>* ids) override {
    return layer_.CreateIdCollection(ids);
  }

 private:
  phone::Phone phone_;
  phone::SimulatedDeviceLayer layer_;
  std::shared_future<void> gate_;
  std::function<void(std::vector<std::u16string>)> on_end_;
};

// Passes take turns: a request that arrives while another runs waits on its own worker
// (the platform thread answers "device_busy" rather than wait), and a request sent again
// after its answer is answered from what the first deleted, taking no namesake.
TEST_F(PtpJobTest, RequestsTakeTurnsAndRememberWhatWasDeleted) {
  std::promise<void> gate;
  const std::shared_future<void> opened = gate.get_future().share();
  std::mutex mutex;
  std::vector<std::vector<std::u16string>> deleted_by;  // by layer, in the order made
  int layers_made = 0;
  bool refuse_workers = false;
  parts_.start_worker = [&refuse_workers](std::function<void()> body) {
    return !refuse_workers && Workers::CountedStart(std::move(body));
  };
  // Each layer serves its own fresh copy of the phone: one that did not remember would
  // delete IMG_0001.HEIC from every copy. Only the first layer waits for the gate.
  parts_.make_device_layer = [&]() -> std::unique_ptr<DeviceLayer> {
    std::lock_guard<std::mutex> lock(mutex);
    const std::size_t index = static_cast<std::size_t>(layers_made++);
    deleted_by.emplace_back();
    std::promise<void> open_now;
    open_now.set_value();
    return std::make_unique<GatedLayer>(PhoneFrom(kApplePhone),
                                        index == 0 ? opened : open_now.get_future().share(),
                                        [&, index](std::vector<std::u16string> deleted) {
                                          std::lock_guard<std::mutex> end_lock(mutex);
                                          deleted_by[index] = std::move(deleted);
                                        });
  };
  StartService();
  bool gate_open = false;
  struct Guard {
    std::function<void()> release;
    ~Guard() { release(); }
  } guard{[&] {
    if (!gate_open) gate.set_value();
    Workers::WaitUntilAllEnded();
  }};

  const auto layers = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    return layers_made;
  };
  const engine_standin::MessageId first = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));
  // The first pass has its turn once it has made its layer.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (layers() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(layers(), 1);
  const engine_standin::MessageId second = Call("deleteFiles", Files({{kFeteUtf8, "202401"}}));
  refuse_workers = true;
  EXPECT_EQ(AnswerTo(Call("deleteFiles", Files({{kFeteUtf8, "202401"}}))),
            FailedBytes("device_busy"));
  refuse_workers = false;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(layers(), 1) << "the second pass did not wait for the first";
  EXPECT_EQ(AnswerTo(first), std::nullopt);

  gate.set_value();
  gate_open = true;
  EXPECT_EQ(AwaitAnswer(first), NamesBytes({"IMG_0001.HEIC"}));
  EXPECT_EQ(AwaitAnswer(second), NamesBytes({kFeteUtf8}));
  EXPECT_EQ(AwaitAnswer(Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}))),
            NamesBytes({"IMG_0001.HEIC"}));
  ASSERT_TRUE(Workers::WaitUntilAllEnded());
  ASSERT_EQ(layers(), 3);
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(deleted_by[0], std::vector<std::u16string>{u"IMG_0001.HEIC"});
  EXPECT_EQ(deleted_by[1], std::vector<std::u16string>{u"F\u00eate.JPG"});
  EXPECT_THAT(deleted_by[2], IsEmpty());
}

// A job still running when its service goes (the window closed) keeps what it shares
// with the platform thread: it finishes its pass, and its reply dies unanswered with
// the queue when the worker ends, touching nothing of the service.
TEST_F(PtpJobTest, AJobThatOutlivesItsServiceFinishesAndDropsItsReply) {
  std::promise<void> gate;
  const std::shared_future<void> opened = gate.get_future().share();
  std::vector<std::u16string> deleted;  // written by the worker before it ends
  parts_.make_device_layer = [&]() -> std::unique_ptr<DeviceLayer> {
    return std::make_unique<GatedLayer>(
        PhoneFrom(kApplePhone), opened,
        [&deleted](std::vector<std::u16string> names) { deleted = std::move(names); });
  };
  StartService();
  StderrCapture stderr_capture;

  const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));
  service_.reset();
  gate.set_value();
  ASSERT_TRUE(Workers::WaitUntilAllEnded());

  EXPECT_EQ(deleted, std::vector<std::u16string>{u"IMG_0001.HEIC"});
  EXPECT_EQ(AnswerTo(id), std::nullopt);
  EXPECT_EQ(WithoutTrace(stderr_capture.Flushes()),
            std::vector<std::string>{
                "Warning: Failed to respond to a message. This is a memory leak.\n"});
  StartService();
}

}  // namespace
}  // namespace camvey::ptp
