#ifndef CAMVEY_TESTS_PTP_SERVICE_FIXTURE_H_
#define CAMVEY_TESTS_PTP_SERVICE_FIXTURE_H_

// Helpers for tests of the clean-up service: calls on "camvey/ptp" as the engine sends
// them, their encoded answers, a simulated phone behind the service, and control over
// the service's worker threads and the draining of its reply queue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_project.h"
#include "engine/flutter_engine.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"
#include "messaging/standard_method_codec.h"
#include "ptp/ptp_channel.h"
#include "ptp/ptp_service.h"
#include "standins/engine/engine_standin.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "tests/standins/engine/standin_fixture.h"

namespace camvey::ptp {

using Bytes = std::vector<uint8_t>;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

inline const flutter::StandardMethodCodec& Codec() {
  return flutter::StandardMethodCodec::GetInstance();
}

inline Bytes SuccessBytes(const EncodableValue& value) {
  return *Codec().EncodeSuccessEnvelope(&value);
}

// A success carrying the list of `names`.
inline Bytes NamesBytes(const std::vector<std::string>& names) {
  EncodableList list;
  for (const std::string& name : names) list.emplace_back(name);
  return SuccessBytes(EncodableValue(list));
}

// The failure of a request: "ptp_failed" with `code` as message and no details.
inline Bytes FailedBytes(const std::string& code) {
  return *Codec().EncodeErrorEnvelope("ptp_failed", code, nullptr);
}

// The "files" argument of "deleteFiles" for (name, month) pairs.
inline EncodableValue Files(const std::vector<std::pair<std::string, std::string>>& files) {
  EncodableList list;
  for (const auto& [name, month] : files) {
    list.emplace_back(EncodableMap{{EncodableValue("name"), EncodableValue(name)},
                                   {EncodableValue("month"), EncodableValue(month)}});
  }
  return EncodableValue(EncodableMap{{EncodableValue("files"), EncodableValue(list)}});
}

inline phone::Phone PhoneFrom(const std::string& json) {
  phone::Phone phone;
  std::string problem;
  EXPECT_TRUE(phone::ReadPhoneJson(json, &phone, &problem)) << problem;
  return phone;
}

// The lines of `flushes` other than the deletion pass's trace ("delete: ..."), which
// the service writes beside them.
inline std::vector<std::string> WithoutTrace(std::vector<std::string> flushes) {
  flushes.erase(
      std::remove_if(flushes.begin(), flushes.end(),
                     [](const std::string& line) { return line.rfind("delete: ", 0) == 0; }),
      flushes.end());
  return flushes;
}

// One Apple phone whose January 2024 folder holds IMG_0001.HEIC, "Fête.JPG" and
// IMG_0003.JPG, which the phone refuses to delete.
inline constexpr char kApplePhone[] = R"({"devices": [{
  "id": "usb#iphone", "friendly_name": "Anna's iPhone", "manufacturer": "Apple Inc.",
  "storages": [{"id": "s", "name": "Internal Storage", "children": [
    {"id": "f", "name": "202401__", "children": [
      {"id": "f/1", "name": "IMG_0001.HEIC"},
      {"id": "f/2", "name": "F\u00eate.JPG"},
      {"id": "f/3", "name": "IMG_0003.JPG", "faults": ["refuse"]}]}]}]}]})";
inline constexpr char kFeteUtf8[] = "F\xC3\xAAte.JPG";

// A MethodResult that keeps its answer encoded, counts its answers and says when it is
// destroyed.
class RecordingResult : public flutter::MethodResult {
 public:
  struct Record {
    int answers = 0;
    Bytes answer;  // the last answer; empty for NotImplemented
    bool destroyed = false;
  };

  explicit RecordingResult(Record* record, bool throws = false)
      : record_(record), throws_(throws) {}
  ~RecordingResult() override { record_->destroyed = true; }

  using flutter::MethodResult::Success;
  void Success(const EncodableValue* result) override {
    Answer(*Codec().EncodeSuccessEnvelope(result));
  }
  void Error(const std::string& code, const std::string& message,
             const EncodableValue* details) override {
    Answer(*Codec().EncodeErrorEnvelope(code, message, details));
  }
  void NotImplemented() override { Answer({}); }

 private:
  void Answer(Bytes bytes) {
    ++record_->answers;
    record_->answer = std::move(bytes);
    if (throws_) throw std::runtime_error("answer failed");
  }

  Record* record_;
  bool throws_;
};

// The service's worker starters for tests. Counted starts every worker on a detached
// thread as the service would, and counts it until its body has returned, so that a
// test can wait until no worker touches anything any more.
class Workers {
 public:
  static bool CountedStart(std::function<void()> body) {
    State& state = TheState();
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      ++state.started;
      ++state.running;
    }
    const bool started = StartDetachedThread([body = std::move(body)] {
      body();
      State& ending = TheState();
      std::lock_guard<std::mutex> lock(ending.mutex);
      --ending.running;
      ending.ended.notify_all();
    });
    if (!started) {
      std::lock_guard<std::mutex> lock(state.mutex);
      --state.running;
    }
    return started;
  }

  // Starts nothing, as when the system has no thread to give. The body is taken by
  // value because that is a starter's signature.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  static bool Refuse(std::function<void()> /*body*/) { return false; }

  static void ResetCount() {
    std::lock_guard<std::mutex> lock(TheState().mutex);
    TheState().started = 0;
  }
  static int started() {
    std::lock_guard<std::mutex> lock(TheState().mutex);
    return TheState().started;
  }
  static bool WaitUntilAllEnded() {
    State& state = TheState();
    std::unique_lock<std::mutex> lock(state.mutex);
    return state.ended.wait_for(lock, std::chrono::seconds(20),
                                [&state] { return state.running == 0; });
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    int started = 0;
    int running = 0;
  };
  static State& TheState() {
    static State* const state = new State;
    return *state;
  }
};

// A service registered on a FlutterEngine over the engine stand-in, made with the
// test's parts: counted workers, no wake-up (the test drains the reply queue as the
// platform thread's loop would) and the platform's device layer and trace until the
// test picks others.
class PtpServiceTest : public EngineStandinTest {
 protected:
  PtpServiceTest() {
    Workers::ResetCount();
    parts_.start_worker = &Workers::CountedStart;
    parts_.make_wake_up = nullptr;
    StartService();
  }

  ~PtpServiceTest() override {
    EXPECT_TRUE(Workers::WaitUntilAllEnded()) << "a worker is still running";
    EXPECT_EQ(DeliverQueued(), 0u) << "a reply was never drained";
  }

  // Makes a service with `parts_`, which has sent nothing for deletion yet, and
  // registers it on the engine in place of the one before. Only while no worker runs.
  void StartService() {
    auto service = std::make_unique<PtpService>(parts_);
    RegisterPtpChannel(engine_.Messenger(), *service);
    service_ = std::move(service);
  }

  // Drains the service's reply queue as the platform thread would; how many replies it
  // answered.
  std::size_t DeliverQueued(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
    return service_->replies()->DeliverQueued(wait);
  }

  // Starts a service with the phone read from `json` behind it. Only while no worker
  // runs.
  void UsePhone(const std::string& json) {
    phone_ = PhoneFrom(json);
    parts_.make_device_layer = [this] {
      return std::make_unique<phone::SimulatedDeviceLayer>(&phone_);
    };
    StartService();
  }

  // Sends a call on "camvey/ptp" as the engine does; the handler has returned when this
  // returns.
  engine_standin::MessageId Call(const std::string& method,
                                 std::unique_ptr<EncodableValue> arguments = nullptr) {
    const flutter::MethodCall call(method, std::move(arguments));
    const std::optional<engine_standin::MessageId> id =
        engine_standin::InjectMessage(messenger_, kPtpChannelName, *Codec().EncodeMethodCall(call));
    EXPECT_TRUE(id.has_value()) << "no handler on the channel";
    return id.value_or(0);
  }
  engine_standin::MessageId Call(const std::string& method, const EncodableValue& arguments) {
    return Call(method, std::make_unique<EncodableValue>(arguments));
  }

  // The answer to `id` if it has come.
  static std::optional<Bytes> AnswerTo(engine_standin::MessageId id) {
    std::optional<engine_standin::Response> response = engine_standin::ResponseTo(id);
    if (!response) return std::nullopt;
    EXPECT_TRUE(response->sent_under_lock);
    return response->bytes;
  }

  // Drains the reply queue, as the platform thread would, until `id` is answered or
  // a generous time has passed.
  std::optional<Bytes> AwaitAnswer(engine_standin::MessageId id) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!engine_standin::ResponseTo(id) && std::chrono::steady_clock::now() < deadline) {
      DeliverQueued(std::chrono::milliseconds(20));
    }
    return AnswerTo(id);
  }

  // The parts of the next StartService.
  PtpServiceParts parts_ = PlatformParts();
  flutter::FlutterEngine engine_{flutter::EngineProject(u"data")};
  FlutterDesktopMessengerRef messenger_ =
      FlutterDesktopEngineGetMessenger(engine_standin::Engines().at(0));
  phone::Phone phone_;
  // Goes before the engine whose messenger holds its handler.
  std::unique_ptr<PtpService> service_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_TESTS_PTP_SERVICE_FIXTURE_H_
