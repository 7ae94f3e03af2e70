// One "available" call through the whole channel path (message bytes into the engine
// stand-in, messenger, method channel decode, a handler answering Success(true), the
// response bytes back in the stand-in) beside two baselines from the same run: the codec
// work alone (decode the call, encode the success envelope), and the stand-in alone (the
// same message answered by a bare engine callback making the reply's interface calls).
// Prints the round trip over the codec alone, and the host's share: the round trip less
// the stand-in alone, over the codec alone.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messaging/binary_messenger_impl.h"
#include "messaging/method_channel.h"
#include "messaging/standard_method_codec.h"
#include "standins/engine/engine_standin.h"

namespace {

using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::MethodResult;
using flutter::StandardMethodCodec;

constexpr char kChannel[] = "camvey/ptp";

std::vector<uint8_t> AvailableCall() {
  MethodCall call("available", std::make_unique<EncodableValue>());
  return *StandardMethodCodec::GetInstance().EncodeMethodCall(call);
}

void AnswerAvailable(const MethodCall& call, std::unique_ptr<MethodResult> result) {
  if (call.method_name() == "available") {
    result->Success(EncodableValue(true));
  } else {
    result->NotImplemented();
  }
}

void BM_CodecAlone(benchmark::State& state) {
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  const std::vector<uint8_t> message = AvailableCall();
  const EncodableValue answer(true);
  for (auto _ : state) {
    std::unique_ptr<MethodCall> call = codec.DecodeMethodCall(message.data(), message.size());
    benchmark::DoNotOptimize(call->method_name() == "available");
    std::unique_ptr<std::vector<uint8_t>> response = codec.EncodeSuccessEnvelope(&answer);
    benchmark::DoNotOptimize(response->data());
  }
}
BENCHMARK(BM_CodecAlone);

FlutterDesktopMessengerRef FreshMessenger() {
  engine_standin::Reset();
  FlutterDesktopEngineProperties properties = {};
  properties.dart_entrypoint = "";
  return FlutterDesktopEngineGetMessenger(FlutterDesktopEngineCreate(&properties));
}

// Runs `message` through the stand-in until the benchmark ends.
void Exchange(benchmark::State& state, FlutterDesktopMessengerRef messenger) {
  const std::vector<uint8_t> message = AvailableCall();
  const std::string channel_name = kChannel;
  std::vector<uint8_t> response;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        engine_standin::ExchangeMessage(messenger, channel_name, message, &response));
    benchmark::DoNotOptimize(response.data());
  }
  if (!engine_standin::Failures().empty()) {
    state.SkipWithError("the stand-in recorded misuse");
  }
}

// The engine side of a reply, with no host code: the calls that a BinaryReply makes.
void AnswerTrueDirectly(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                        void* /*user_data*/) {
  static const uint8_t kSuccessTrue[] = {0, 1};
  FlutterDesktopMessengerAddRef(messenger);
  FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger);
  if (FlutterDesktopMessengerIsAvailable(messenger)) {
    FlutterDesktopMessengerSendResponse(messenger, message->response_handle, kSuccessTrue,
                                        sizeof(kSuccessTrue));
  }
  FlutterDesktopMessengerUnlock(locked);
  FlutterDesktopMessengerRelease(messenger);
}

void BM_StandinAlone(benchmark::State& state) {
  FlutterDesktopMessengerRef messenger = FreshMessenger();
  FlutterDesktopMessengerSetCallback(messenger, kChannel, &AnswerTrueDirectly, nullptr);
  Exchange(state, messenger);
}
BENCHMARK(BM_StandinAlone);

void BM_AvailableRoundTrip(benchmark::State& state) {
  FlutterDesktopMessengerRef messenger = FreshMessenger();
  flutter::BinaryMessengerImpl messenger_impl(messenger);
  flutter::MethodChannel channel(&messenger_impl, kChannel, &StandardMethodCodec::GetInstance());
  channel.SetMethodCallHandler(&AnswerAvailable);
  Exchange(state, messenger);
}
BENCHMARK(BM_AvailableRoundTrip);

// Keeps each benchmark's CPU time per iteration as the console shows it: the median of
// the repetitions when there are several, else the one run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      if (run.error_occurred) {
        continue;
      }
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[name] = run.GetAdjustedCPUTime();
      } else if (run.run_type == Run::RT_Iteration) {
        singles_[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // CPU time per iteration of `name`, if it ran.
  std::optional<double> PerIteration(const std::string& name) const {
    for (const auto* times : {&medians_, &singles_}) {
      auto found = times->find(name);
      if (found != times->end()) {
        return found->second;
      }
    }
    return std::nullopt;
  }

 private:
  std::map<std::string, double> medians_;
  std::map<std::string, double> singles_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::optional<double> round_trip = reporter.PerIteration("BM_AvailableRoundTrip");
  std::optional<double> codec = reporter.PerIteration("BM_CodecAlone");
  std::optional<double> standin = reporter.PerIteration("BM_StandinAlone");
  if (round_trip && codec && *codec > 0) {
    std::printf("round trip / codec alone: %.2f\n", *round_trip / *codec);
    if (standin) {
      std::printf("(round trip - stand-in alone) / codec alone: %.2f\n",
                  (*round_trip - *standin) / *codec);
    }
  }
  benchmark::Shutdown();
  return 0;
}
