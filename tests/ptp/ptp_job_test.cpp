#include "ptp/ptp_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"
#include "ptp/reply_delivery.h"
#include "ptp/reply_queue.h"
#include "ptp/wide_text.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/ptp/service_fixture.h"

namespace camvey::ptp {
namespace {

using ::testing::IsEmpty;

using PtpJobTest = PtpServiceTest;

// Refuses a number of posts (returning false, or throwing), then forwards to the
// process's reply queue. Outlives the workers of every test, as a delivery must.
class RefusingDelivery : public ReplyDelivery {
 public:
  static RefusingDelivery& Instance() {
    static RefusingDelivery* const delivery = new RefusingDelivery;
    return *delivery;
  }

  // Refuses the next `count` posts; a negative count refuses every post.
  void Refuse(int count, bool by_throwing = false) {
    refusals_ = count;
    by_throwing_ = by_throwing;
    posts_ = 0;
  }
  int posts() const { return posts_; }

  bool Ready() override { return true; }
  bool Post(std::unique_ptr<PtpReply>* reply) override {
    const int post = ++posts_;
    if (refusals_ < 0 || post <= refusals_) {
      if (by_throwing_) throw std::bad_alloc();
      return false;
    }
    return ProcessReplyQueue().Post(reply);
  }

 private:
  std::atomic<int> refusals_{0};
  std::atomic<bool> by_throwing_{false};
  std::atomic<int> posts_{0};
};

TEST_F(PtpJobTest, AWorkerThatCannotStartLeavesTheRequestToThePlatformThread) {
  UsePhone(kApplePhone);
  SetWorkerStarter(&Workers::Refuse);
  StderrCapture stderr_capture;

  const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));

  EXPECT_EQ(AnswerTo(id), NamesBytes({"IMG_0001.HEIC"})) << "not answered before returning";
  EXPECT_EQ(phone_.deleted.size(), 1u);
  EXPECT_THAT(stderr_capture.Flushes(), IsEmpty()) << "a result was dropped unanswered";
}

TEST_F(PtpJobTest, AFailedPostIsRetried) {
  for (const bool by_throwing : {false, true}) {
    SCOPED_TRACE(by_throwing ? "posts throw" : "posts fail");
    UsePhone(kApplePhone);
    RefusingDelivery& delivery = RefusingDelivery::Instance();
    delivery.Refuse(kReplyPostAttempts - 1, by_throwing);
    SetReplyDelivery(&delivery);
    StderrCapture stderr_capture;

    const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));

    EXPECT_EQ(AwaitAnswer(id), NamesBytes({"IMG_0001.HEIC"}));
    EXPECT_EQ(delivery.posts(), kReplyPostAttempts);
    ASSERT_TRUE(Workers::WaitUntilAllEnded());
    EXPECT_EQ(
        stderr_capture.Flushes(),
        std::vector<std::string>(by_throwing ? kReplyPostAttempts - 1 : 0,
                                 "Exception while handing a reply to the platform thread.\n"));
  }
}

// A reply that no post gets through is kept and answered, once, on the platform thread
// at its next delivery or at the next call, whichever comes first.
TEST_F(PtpJobTest, AReplyThatCannotBePostedIsAnsweredAtTheNextChance) {
  enum class Next { kCall, kDelivery };
  for (Next next : {Next::kCall, Next::kDelivery}) {
    SCOPED_TRACE(next == Next::kCall ? "next call" : "next delivery");
    UsePhone(kApplePhone);
    RefusingDelivery& delivery = RefusingDelivery::Instance();
    delivery.Refuse(-1);
    SetReplyDelivery(&delivery);
    StderrCapture stderr_capture;

    const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));
    ASSERT_TRUE(Workers::WaitUntilAllEnded());
    EXPECT_EQ(delivery.posts(), kReplyPostAttempts);
    EXPECT_EQ(AnswerTo(id), std::nullopt);

    if (next == Next::kCall) {
      EXPECT_EQ(AnswerTo(Call("available")), SuccessBytes(EncodableValue(true)));
    } else {
      EXPECT_EQ(ProcessReplyQueue().DeliverQueued(std::chrono::milliseconds(0)), 0u);
    }
    EXPECT_EQ(AnswerTo(id), NamesBytes({"IMG_0001.HEIC"}));
    EXPECT_EQ(phone_.deleted.size(), 1u);
    EXPECT_THAT(stderr_capture.Flushes(), IsEmpty());
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

TEST_F(PtpJobTest, OverlappingRequestsAreAnsweredOnceEachInTheOrderTheyFinish) {
  std::promise<void> gates[2];
  const std::shared_future<void> opened[2] = {gates[0].get_future().share(),
                                              gates[1].get_future().share()};
  std::mutex mutex;
  int layers_made = 0;
  std::vector<std::u16string> deleted_by[2];
  // Each worker gets its own phone, so the single-threaded simulation is never shared;
  // the order in which the workers make their layers decides their gates.
  SetServiceDeviceLayerFactory([&]() -> std::unique_ptr<DeviceLayer> {
    std::lock_guard<std::mutex> lock(mutex);
    const int index = layers_made++;
    return std::make_unique<GatedLayer>(PhoneFrom(kApplePhone), opened[index],
                                        [&, index](std::vector<std::u16string> deleted) {
                                          std::lock_guard<std::mutex> end_lock(mutex);
                                          deleted_by[index] = std::move(deleted);
                                        });
  });

  bool open[2] = {false, false};
  const auto open_gate = [&](int index) {
    if (!open[index]) gates[index].set_value();
    open[index] = true;
  };
  // Even when an assertion ends the test early, no worker may outlive what it uses here.
  struct Guard {
    std::function<void()> release;
    ~Guard() { release(); }
  } guard{[&] {
    open_gate(0);
    open_gate(1);
    Workers::WaitUntilAllEnded();
  }};

  const engine_standin::MessageId first = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));
  const engine_standin::MessageId second = Call("deleteFiles", Files({{kFeteUtf8, "202401"}}));
  EXPECT_EQ(AnswerTo(first), std::nullopt);
  EXPECT_EQ(AnswerTo(second), std::nullopt);

  // The job that made the second layer finishes first and is answered first.
  open_gate(1);
  size_t delivered = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (delivered == 0 && std::chrono::steady_clock::now() < deadline) {
    delivered = ProcessReplyQueue().DeliverQueued(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(delivered, 1u);
  std::vector<std::u16string> finished_first;
  {
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(layers_made, 2);
    finished_first = deleted_by[1];
  }
  ASSERT_EQ(finished_first.size(), 1u);
  const bool first_finished_first = finished_first[0] == u"IMG_0001.HEIC";
  const engine_standin::MessageId early = first_finished_first ? first : second;
  const engine_standin::MessageId late = first_finished_first ? second : first;
  const Bytes early_answer = NamesBytes({WideToUtf8(finished_first[0])});
  EXPECT_EQ(AnswerTo(early), early_answer);
  EXPECT_EQ(AnswerTo(late), std::nullopt);

  open_gate(0);
  EXPECT_EQ(AwaitAnswer(late),
            NamesBytes({first_finished_first ? std::string(kFeteUtf8) : "IMG_0001.HEIC"}));
  EXPECT_EQ(AnswerTo(early), early_answer);
}

}  // namespace
}  // namespace camvey::ptp
