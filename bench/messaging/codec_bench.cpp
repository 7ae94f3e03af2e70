// Throughput of the standard codecs beside baselines measured in the same run.
//
// Block values (16 MiB typed lists and strings): each iteration copies the same number
// of bytes with memcpy and then encodes or decodes the value; the counter "vs_memcpy"
// is memcpy time / codec time, the codec's share of memcpy throughput (goal >= 0.9).
//
// The "deleteFiles" call with 1,000 files: each iteration builds the argument tree in
// code and then decodes the same call; "vs_build" is decode time / build time (goal <= 2).
//
// Both counters compare the fastest iteration of each side.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "messaging/byte_streams.h"
#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/standard_codec_serializer.h"
#include "messaging/standard_method_codec.h"

namespace flutter {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kBlockBytes = size_t{16} << 20;
constexpr int kFileCount = 1000;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Runs `baseline` and `operation` in turn each iteration; the benchmark's time is the
// operation's. The counter compares the fastest iteration of each, which a busy machine
// disturbs least: baseline / operation, or operation / baseline when `inverse` is set.
template <typename Baseline, typename Operation>
void RunBeside(benchmark::State& state, const char* counter, bool inverse, Baseline baseline,
               Operation operation) {
  double baseline_best = std::numeric_limits<double>::max();
  double operation_best = std::numeric_limits<double>::max();
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    baseline();
    const Clock::time_point middle = Clock::now();
    operation();
    const Clock::time_point end = Clock::now();
    baseline_best = std::min(baseline_best, Seconds(start, middle));
    operation_best = std::min(operation_best, Seconds(middle, end));
    state.SetIterationTime(Seconds(middle, end));
  }
  state.counters[counter] =
      inverse ? operation_best / baseline_best : baseline_best / operation_best;
}

template <typename List>
EncodableValue MakeBlockValue() {
  List list(kBlockBytes / sizeof(typename List::value_type), typename List::value_type());
  for (size_t i = 0; i < list.size(); ++i) {
    list[i] = static_cast<typename List::value_type>(i * 7 + 3);
  }
  return EncodableValue(std::move(list));
}

std::vector<uint8_t> Encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

// memcpy of kBlockBytes between two buffers that stay allocated and touched.
class MemcpyBaseline {
 public:
  MemcpyBaseline() : source_(kBlockBytes, 1), target_(kBlockBytes, 2) {}
  void operator()() {
    std::memcpy(target_.data(), source_.data(), kBlockBytes);
    benchmark::DoNotOptimize(target_.data());
    benchmark::ClobberMemory();
  }

 private:
  std::vector<uint8_t> source_;
  std::vector<uint8_t> target_;
};

template <typename List>
void BM_EncodeBlock(benchmark::State& state) {
  const EncodableValue value = MakeBlockValue<List>();
  MemcpyBaseline baseline;
  RunBeside(state, "vs_memcpy", false, std::ref(baseline), [&value] {
    std::vector<uint8_t> bytes;
    ByteBufferStreamWriter writer(&bytes);
    StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
    benchmark::DoNotOptimize(bytes.data());
  });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockBytes));
}

template <typename List>
void BM_DecodeBlock(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Encode(MakeBlockValue<List>());
  MemcpyBaseline baseline;
  RunBeside(state, "vs_memcpy", false, std::ref(baseline), [&bytes] {
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EncodableValue value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
    benchmark::DoNotOptimize(&value);
  });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockBytes));
}

struct FileRecord {
  std::string name;
  std::string month;
};

std::vector<FileRecord> MakeFileRecords() {
  std::vector<FileRecord> records;
  for (int i = 0; i < kFileCount; ++i) {
    char name[32];
    char month[8];
    std::snprintf(name, sizeof(name), "IMG_%04d.HEIC", i);
    std::snprintf(month, sizeof(month), "%04d%02d", 2020 + i / 300, 1 + i % 12);
    records.push_back({name, month});
  }
  return records;
}

EncodableValue BuildDeleteFilesArguments(const std::vector<FileRecord>& records) {
  EncodableList files;
  files.reserve(records.size());
  for (const FileRecord& record : records) {
    files.push_back(EncodableValue(EncodableMap{
        {EncodableValue("name"), EncodableValue(record.name)},
        {EncodableValue("month"), EncodableValue(record.month)},
    }));
  }
  return EncodableValue(EncodableMap{{EncodableValue("files"), EncodableValue(std::move(files))}});
}

void BM_DecodeDeleteFilesCall(benchmark::State& state) {
  const std::vector<FileRecord> records = MakeFileRecords();
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  const MethodCall call("deleteFiles",
                        std::make_unique<EncodableValue>(BuildDeleteFilesArguments(records)));
  const std::vector<uint8_t> message = *codec.EncodeMethodCall(call);
  RunBeside(
      state, "vs_build", true,
      [&records] {
        EncodableValue arguments = BuildDeleteFilesArguments(records);
        benchmark::DoNotOptimize(&arguments);
      },
      [&codec, &message] {
        std::unique_ptr<MethodCall> decoded =
            codec.DecodeMethodCall(message.data(), message.size());
        benchmark::DoNotOptimize(decoded.get());
      });
  state.counters["message_bytes"] = static_cast<double>(message.size());
}

BENCHMARK_TEMPLATE(BM_EncodeBlock, std::vector<uint8_t>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_EncodeBlock, std::vector<int32_t>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_EncodeBlock, std::vector<int64_t>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_EncodeBlock, std::vector<double>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_EncodeBlock, std::vector<float>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_EncodeBlock, std::string)->UseManualTime();
BENCHMARK_TEMPLATE(BM_DecodeBlock, std::vector<uint8_t>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_DecodeBlock, std::vector<int32_t>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_DecodeBlock, std::vector<int64_t>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_DecodeBlock, std::vector<double>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_DecodeBlock, std::vector<float>)->UseManualTime();
BENCHMARK_TEMPLATE(BM_DecodeBlock, std::string)->UseManualTime();
BENCHMARK(BM_DecodeDeleteFilesCall)->UseManualTime();

}  // namespace
}  // namespace flutter

BENCHMARK_MAIN();
