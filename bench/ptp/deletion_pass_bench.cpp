// The deletion pass over a simulated iPhone storage of 30,000 objects in 60 folders in
// DCIM (24 older 100APPLE-style folders, 36 month folders) with a request of 1,000 names, beside
// the bare enumeration of the same listings through the same simulated layer in the same run.
// Prints the ratio of the two and the operation counts of each.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ptp/device/deletion_pass.h"
#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "text/wide_text.h"
#include "tools/benchmark_phone.h"

namespace camvey::ptp {
namespace {

struct Fixture {
  phone::Phone phone = tools::MakeBenchmarkPhone();
  std::vector<WantedFile> wanted = tools::MakeBenchmarkRequest();
  tools::PassListings listings;  // what one pass lists
  phone::OperationCounts pass_counts;
  std::size_t deleted = 0;
  std::string error;
};

const Fixture& GetFixture() {
  static const Fixture* fixture = [] {
    auto* made = new Fixture();
    phone::Phone copy = made->phone;
    phone::SimulatedDeviceLayer layer(&copy);
    made->deleted = DeleteWantedFiles(layer, made->wanted, &made->error).size();
    made->pass_counts = layer.counts();
    made->listings = tools::ListingsOfThePass(layer);
    return made;
  }();
  return *fixture;
}

// Lists what the pass listed, through a simulated layer of its own.
std::size_t EnumerateLikeThePass(phone::Phone* phone, phone::OperationCounts* counts) {
  phone::SimulatedDeviceLayer layer(phone);
  const std::size_t listed = tools::EnumerateLikeThePass(layer, GetFixture().listings);
  if (counts != nullptr) *counts = layer.counts();
  return listed;
}

constexpr int kIterations = 16;

// A fresh copy of the phone for each iteration of a repetition, all made before it is
// measured and dropped after it, so that neither the copies nor their frees are charged
// to what is measured. Both benchmarks meet the phone alike.
std::vector<phone::Phone> FreshPhones() {
  return std::vector<phone::Phone>(kIterations, GetFixture().phone);
}

void BM_BareEnumeration(benchmark::State& state) {
  std::vector<phone::Phone> phones = FreshPhones();
  std::size_t next = 0;
  for (auto _ : state) benchmark::DoNotOptimize(EnumerateLikeThePass(&phones[next++], nullptr));
}

void BM_DeletionPass(benchmark::State& state) {
  std::vector<phone::Phone> phones = FreshPhones();
  std::size_t next = 0;
  for (auto _ : state) {
    phone::SimulatedDeviceLayer layer(&phones[next++]);
    std::string error;
    benchmark::DoNotOptimize(DeleteWantedFiles(layer, GetFixture().wanted, &error));
  }
}

// Keeps each benchmark's fastest repetition, in real and in CPU time, beside the
// console output: on a shared machine the fastest run is the least disturbed one.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real = 0;
    double cpu = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Times& times = fastest_[run.run_name.function_name];
      const double real = run.GetAdjustedRealTime();
      const double cpu = run.GetAdjustedCPUTime();
      if (times.real == 0 || real < times.real) times.real = real;
      if (times.cpu == 0 || cpu < times.cpu) times.cpu = cpu;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  Times fastest(const std::string& name) const {
    const auto found = fastest_.find(name);
    return found == fastest_.end() ? Times() : found->second;
  }

 private:
  std::map<std::string, Times> fastest_;
};

void PrintCounts(const char* label, const phone::OperationCounts& counts) {
  std::printf(
      "%-18s enum_objects=%d next=%d get_values=%d get_string_value=%d get_guid_value=%d "
      "add_id=%d delete_request=%d results_element=%d\n",
      label, counts.enum_objects, counts.next, counts.get_values, counts.get_string_value,
      counts.get_guid_value, counts.add_id, counts.delete_request, counts.results_element);
}

}  // namespace
}  // namespace camvey::ptp

int main(int argc, char** argv) {
  using camvey::ptp::GetFixture;
  benchmark::RegisterBenchmark("BM_BareEnumeration", camvey::ptp::BM_BareEnumeration)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(camvey::ptp::kIterations)
      ->Repetitions(10);
  benchmark::RegisterBenchmark("BM_DeletionPass", camvey::ptp::BM_DeletionPass)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(camvey::ptp::kIterations)
      ->Repetitions(10);
  // Repetitions of the two alternate, so that a disturbance of the machine meets both;
  // flags given on the command line come after and win.
  std::vector<char*> arguments(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave);
  int argument_count = static_cast<int>(arguments.size());
  benchmark::Initialize(&argument_count, arguments.data());
  camvey::ptp::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& fixture = GetFixture();
  camvey::phone::Phone phone = fixture.phone;
  camvey::phone::OperationCounts bare_counts;
  const std::size_t listed = camvey::ptp::EnumerateLikeThePass(&phone, &bare_counts);
  std::printf("\nstorage: %d objects in %d folders; request: %zu names\n",
              camvey::tools::kBenchmarkFolders * camvey::tools::kBenchmarkObjectsPerFolder,
              camvey::tools::kBenchmarkFolders, fixture.wanted.size());
  std::printf("pass: %zu deleted, error \"%s\"; %zu folders listed, %zu objects listed\n",
              fixture.deleted, fixture.error.c_str(),
              fixture.listings.read.size() + fixture.listings.counted.size(), listed);
  camvey::ptp::PrintCounts("pass", fixture.pass_counts);
  camvey::ptp::PrintCounts("bare enumeration", bare_counts);
  {
    // The device calls of an import of 300 photos, one of which the owner had deleted
    // on the phone already: the one name left seeks its uniqueness over 30,000 objects.
    camvey::phone::Phone import_phone = fixture.phone;
    camvey::phone::SimulatedDeviceLayer layer(&import_phone);
    std::string error;
    const std::size_t deleted =
        camvey::ptp::DeleteWantedFiles(layer, camvey::tools::MakeImportRequest(), &error).size();
    std::printf("import of 301 names: %zu deleted, error \"%s\"\n", deleted, error.c_str());
    camvey::ptp::PrintCounts("import", layer.counts());
  }
  const auto bare = reporter.fastest("BM_BareEnumeration");
  const auto pass = reporter.fastest("BM_DeletionPass");
  if (bare.real > 0 && bare.cpu > 0) {
    std::printf(
        "ratio pass / bare enumeration, fastest repetition: %.2f real time, %.2f CPU time "
        "(goal: at most 1.5)\n",
        pass.real / bare.real, pass.cpu / bare.cpu);
  }
  return 0;
}
