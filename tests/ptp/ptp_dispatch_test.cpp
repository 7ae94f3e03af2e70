#include "ptp/ptp_dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "ptp/reply_queue.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/ptp/service_fixture.h"

namespace camvey::ptp {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

using PtpDispatchTest = PtpServiceTest;

// A wake-up that is never ready, as when no reply window can be made.
class NoWakeUp : public ReplyWakeUp {
 public:
  static std::unique_ptr<ReplyWakeUp> Make(ReplyQueue& /*replies*/) {
    return std::make_unique<NoWakeUp>();
  }
  bool Ready() override { return false; }
  void Wake() noexcept override { ADD_FAILURE() << "woken although not ready"; }
};

TEST_F(PtpDispatchTest, AvailableTellsWhetherAnAppleDeviceIsAttached) {
  struct Case {
    const char* label;
    std::string phone;
    bool available;
  };
  const Case cases[] = {
      {"Apple phone", kApplePhone, true},
      {"no device", R"({"devices": []})", false},
      {"only a camera",
       R"({"devices": [{"id": "cam", "friendly_name": "Camera", "manufacturer": "Contoso"}]})",
       false},
      {"no device manager", R"({"faults": ["create_manager"], "devices": []})", false},
  };
  const std::optional<EncodableValue> arguments[] = {
      std::nullopt, EncodableValue(), EncodableValue(EncodableList{EncodableValue(1)}),
      Files({{"IMG_0001.HEIC", "202401"}}), EncodableValue("x")};
  for (const Case& test : cases) {
    UsePhone(test.phone);
    for (const std::optional<EncodableValue>& argument : arguments) {
      SCOPED_TRACE(test.label);
      const engine_standin::MessageId id =
          argument ? Call("available", *argument) : Call("available");
      EXPECT_EQ(AnswerTo(id), SuccessBytes(EncodableValue(test.available)));
    }
  }
  EXPECT_THAT(phone_.deleted, IsEmpty());
  EXPECT_EQ(Workers::started(), 0);
}

TEST_F(PtpDispatchTest, WithoutDeviceSupportNothingIsAvailable) {
  EXPECT_EQ(AnswerTo(Call("available")), SuccessBytes(EncodableValue(false)));
  EXPECT_EQ(AwaitAnswer(Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}))),
            FailedBytes("wpd_unavailable"));
}

TEST_F(PtpDispatchTest, NearMissNamesAreNotImplemented) {
  UsePhone(kApplePhone);
  for (const char* name : {"Available", "available ", "availabl", "DeleteFiles", "deleteFiles ",
                           "deleteFile", "deletefiles", "", "ptp"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(AnswerTo(Call(name, Files({{"IMG_0001.HEIC", "202401"}}))), Bytes());
  }
  EXPECT_THAT(phone_.deleted, IsEmpty());
  EXPECT_EQ(Workers::started(), 0);
}

TEST_F(PtpDispatchTest, DeleteFilesWithoutUsableEntriesAnswersAnEmptyListAtOnce) {
  UsePhone(kApplePhone);
  int layers_made = 0;
  parts_.make_device_layer = [&] {
    ++layers_made;
    return std::make_unique<phone::SimulatedDeviceLayer>(&phone_);
  };
  StartService();
  const std::optional<EncodableValue> arguments[] = {
      std::nullopt,
      EncodableValue(),
      EncodableValue(EncodableList{EncodableValue("IMG_0001.HEIC")}),
      EncodableValue(EncodableMap{{EncodableValue("names"), EncodableValue(EncodableList{})}}),
      Files({}),
      EncodableValue(EncodableMap{{EncodableValue("files"), EncodableValue("IMG_0001.HEIC")}}),
      Files({{"", "202401"}}),
  };
  for (const std::optional<EncodableValue>& argument : arguments) {
    const engine_standin::MessageId id =
        argument ? Call("deleteFiles", *argument) : Call("deleteFiles");
    EXPECT_EQ(AnswerTo(id), NamesBytes({}));
  }
  EXPECT_EQ(Workers::started(), 0);
  EXPECT_EQ(layers_made, 0);
}

TEST_F(PtpDispatchTest, DeleteFilesIsAnsweredOnceAfterTheHandlerReturns) {
  UsePhone(kApplePhone);
  const engine_standin::MessageId id =
      Call("deleteFiles", Files({{"img_0001.heic", "202401"}, {kFeteUtf8, "202312"}}));
  EXPECT_EQ(AnswerTo(id), std::nullopt) << "answered before the handler returned";
  EXPECT_EQ(Workers::started(), 1);

  EXPECT_EQ(AwaitAnswer(id), NamesBytes({"IMG_0001.HEIC", kFeteUtf8}));
  EXPECT_EQ(phone_.deleted.size(), 2u);
  // Once answered, nothing more comes for the call; the stand-in records a second
  // response as misuse, which the fixture checks.
  EXPECT_EQ(DeliverQueued(), 0u);
}

// The outcomes of the deletion pass as the application sees them, on the worker's path
// and on the synchronous one, which must agree.
TEST_F(PtpDispatchTest, DeleteFilesAnswersWhatThePhoneDeleted) {
  struct Case {
    const char* label;
    EncodableValue files;
    Bytes answer;
  };
  const Case cases[] = {
      {"all deleted", Files({{"IMG_0001.HEIC", "202401"}}), NamesBytes({"IMG_0001.HEIC"})},
      {"nothing found", Files({{"IMG_9999.JPG", "202401"}}), FailedBytes("not_found")},
      {"all refused", Files({{"IMG_0003.JPG", "202401"}}), FailedBytes("delete_refused")},
      {"partly refused", Files({{"IMG_0003.JPG", "202401"}, {kFeteUtf8, "202401"}}),
       NamesBytes({kFeteUtf8})},
  };
  for (bool synchronous : {false, true}) {
    parts_.make_wake_up = synchronous ? &NoWakeUp::Make : nullptr;
    for (const Case& test : cases) {
      SCOPED_TRACE(std::string(test.label) + (synchronous ? ", synchronous" : ", on a worker"));
      UsePhone(kApplePhone);
      const engine_standin::MessageId id = Call("deleteFiles", test.files);
      if (synchronous) {
        EXPECT_EQ(AnswerTo(id), test.answer) << "not answered before the handler returned";
      } else {
        EXPECT_EQ(AnswerTo(id), std::nullopt);
        EXPECT_EQ(AwaitAnswer(id), test.answer);
      }
    }
  }
  EXPECT_EQ(Workers::started(), 4);
}

TEST_F(PtpDispatchTest, WithoutAWakeUpTheRequestRunsOnThePlatformThread) {
  parts_.make_wake_up = &NoWakeUp::Make;
  UsePhone(kApplePhone);
  StderrCapture stderr_capture;

  const engine_standin::MessageId id = Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}}));

  EXPECT_EQ(AnswerTo(id), NamesBytes({"IMG_0001.HEIC"}));
  EXPECT_EQ(Workers::started(), 0);
  // The pass says on the standard error stream why it chose what it chose, a flushed
  // line at a time.
  EXPECT_THAT(stderr_capture.Flushes(),
              ElementsAre(StartsWith("delete: \"Internal Storage\" holds 1 folder(s), listed in "),
                          "delete: looking in 202401__\n"));
  ASSERT_EQ(phone_.deleted.size(), 1u);
  EXPECT_EQ(phone_.deleted[0].object_id, u"f/1");
}

// The simulated phone behind a layer that throws std::bad_alloc when it makes its
// manager (requests_before_throw < 0) or when it makes the id collection of its
// (requests_before_throw + 1)-th deletion request.
class ThrowingLayer : public phone::SimulatedDeviceLayer {
 public:
  ThrowingLayer(phone::Phone* phone, int requests_before_throw)
      : SimulatedDeviceLayer(phone), requests_left_(requests_before_throw) {}

  DeviceResult CreateManager(std::unique_ptr<DeviceManager>* manager) override {
    if (requests_left_ < 0) throw std::bad_alloc();
    return SimulatedDeviceLayer::CreateManager(manager);
  }
  DeviceResult CreateIdCollection(std::unique_ptr<IdCollection>* ids) override {
    if (requests_left_-- == 0) throw std::bad_alloc();
    return SimulatedDeviceLayer::CreateIdCollection(ids);
  }

 private:
  int requests_left_;
};

// Two Apple phones, each with one photo of January 2024.
constexpr char kTwoPhones[] = R"({"devices": [
  {"id": "usb#one", "friendly_name": "iPhone", "storages": [{"id": "s", "children": [
    {"id": "f", "name": "202401__", "children": [{"id": "f/1", "name": "IMG_0001.HEIC"}]}]}]},
  {"id": "usb#two", "friendly_name": "iPhone", "storages": [{"id": "s", "children": [
    {"id": "f", "name": "202401__", "children": [{"id": "f/2", "name": "IMG_0002.HEIC"}]}]}]}]})";

TEST_F(PtpDispatchTest, AnExceptionEndsInTheServiceAndTheCallIsStillAnswered) {
  const std::string handler_line = "Exception in the handler of camvey/ptp.\n";
  const std::string pass_line =
      "Exception in the deletion pass; answering with what was deleted.\n";
  UsePhone(kTwoPhones);
  parts_.make_device_layer = [this] { return std::make_unique<ThrowingLayer>(&phone_, -1); };
  StartService();
  {
    StderrCapture stderr_capture;
    EXPECT_EQ(AnswerTo(Call("available")), SuccessBytes(EncodableValue(false)));
    EXPECT_THAT(stderr_capture.Flushes(), ElementsAre(handler_line));
  }

  struct Case {
    const char* label;
    std::string phone;
    int requests_before_throw;  // negative: the layer does not throw
    Bytes answer;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"throws before anything is deleted", kTwoPhones, 0, FailedBytes("device_busy"), {pass_line}},
      {"throws after the first phone deleted its photo",
       kTwoPhones,
       1,
       NamesBytes({"IMG_0001.HEIC"}),
       {pass_line}},
      {"a driver that reports 4,294,967,295 devices",
       std::string(R"({"faults": ["huge_device_count"], )") + (kTwoPhones + 1),
       -1,
       NamesBytes({"IMG_0001.HEIC", "IMG_0002.HEIC"}),
       {}},
  };
  for (bool synchronous : {false, true}) {
    parts_.make_wake_up = synchronous ? &NoWakeUp::Make : nullptr;
    for (const Case& test : cases) {
      SCOPED_TRACE(std::string(test.label) + (synchronous ? ", synchronous" : ", on a worker"));
      UsePhone(test.phone);
      if (test.requests_before_throw >= 0) {
        parts_.make_device_layer = [this, requests = test.requests_before_throw] {
          return std::make_unique<ThrowingLayer>(&phone_, requests);
        };
        StartService();
      }
      StderrCapture stderr_capture;
      const engine_standin::MessageId id =
          Call("deleteFiles", Files({{"IMG_0001.HEIC", "202401"}, {"IMG_0002.HEIC", "202401"}}));
      EXPECT_EQ(synchronous ? AnswerTo(id) : AwaitAnswer(id), test.answer);
      ASSERT_TRUE(Workers::WaitUntilAllEnded());
      EXPECT_EQ(WithoutTrace(stderr_capture.Flushes()), test.lines);
    }
  }
}

}  // namespace
}  // namespace camvey::ptp
