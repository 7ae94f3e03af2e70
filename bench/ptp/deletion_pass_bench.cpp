// The deletion pass over a simulated storage of 30,000 objects in 60 top-level folders
// (36 month folders, 24 others) with a request of 1,000 names, beside the bare
// enumeration of the same listings through the same simulated layer in the same run.
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
#include "ptp/wanted_file.h"
#include "ptp/wide_text.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"

namespace camvey::ptp {
namespace {

constexpr int kFolders = 60;
constexpr int kObjectsPerFolder = 500;
constexpr char16_t kDeviceId[] = u"usb#iphone";

std::u16string Text(const std::string& text) { return Utf8ToWide(text); }

std::u16string FileName(int folder, int index) {
  char name[32];
  std::snprintf(name, sizeof(name), "IMG_%02d%03d.HEIC", folder, index);
  return Text(name);
}

// Folders alternate: three month folders (202101__ onwards), then two others.
bool IsMonth(int folder) { return folder % 5 < 3; }
std::u16string MonthOf(int folder) {
  const int month_index = folder / 5 * 3 + folder % 5;
  char month[16];
  std::snprintf(month, sizeof(month), "%04d%02d", 2021 + month_index / 12, month_index % 12 + 1);
  return Text(month);
}

phone::Phone MakePhone() {
  phone::Phone phone;
  phone::SimDevice device;
  device.id = kDeviceId;
  device.friendly_name = u"iPhone";
  device.manufacturer = u"Apple Inc.";
  phone::SimObject storage;
  storage.id = u"s";
  storage.parent_id = phone::kRootId;
  storage.name = storage.file_name = u"Internal Storage";
  storage.type = phone::ContentType::kFunctionalObject;
  device.Add(storage);
  for (int folder = 0; folder < kFolders; ++folder) {
    phone::SimObject top;
    top.id = u"f" + Text(std::to_string(folder));
    top.parent_id = u"s";
    top.name = top.file_name =
        IsMonth(folder) ? MonthOf(folder) + u"__" : u"Album " + Text(std::to_string(folder));
    top.type = phone::ContentType::kFolder;
    device.Add(top);
    for (int i = 0; i < kObjectsPerFolder; ++i) {
      phone::SimObject file;
      file.id = top.id + u"/" + Text(std::to_string(i));
      file.parent_id = top.id;
      file.name = file.file_name = FileName(folder, i);
      device.Add(file);
    }
  }
  phone.devices.push_back(std::move(device));
  return phone;
}

// 1,000 names: 600 from six month folders, asked under their month, whose neighbours
// make 18 folders (9,000 objects) month folders of the request; 300 from the first four
// other folders, asked under a month the phone does not have, which the unique-name
// search looks for until the listed-object limit stops it (and then, having not seen
// the whole storage, leaves them on the phone); 100 that are not on the phone.
std::vector<WantedFile> MakeRequest() {
  std::vector<int> month_folders;
  std::vector<int> other_folders;
  for (int folder = 0; folder < kFolders; ++folder) {
    (IsMonth(folder) ? month_folders : other_folders).push_back(folder);
  }
  std::vector<WantedFile> wanted;
  for (const int month_index : {1, 7, 13, 19, 25, 31}) {
    const int folder = month_folders[static_cast<std::size_t>(month_index)];
    for (int i = 0; i < 100; ++i) wanted.push_back({FileName(folder, i * 5), MonthOf(folder)});
  }
  for (std::size_t k = 0; k < 4; ++k) {
    for (int i = 0; i < 75; ++i)
      wanted.push_back({FileName(other_folders[k], i * 6 + 1), u"199901"});
  }
  for (int i = 0; i < 100; ++i) {
    wanted.push_back({u"MISSING_" + Text(std::to_string(i)) + u".JPG", u"202101"});
  }
  for (WantedFile& file : wanted) file.name = UpperCaseWide(file.name);
  return wanted;
}

struct Fixture {
  phone::Phone phone = MakePhone();
  std::vector<WantedFile> wanted = MakeRequest();
  std::vector<std::u16string> listed_folders;  // what one pass enumerates, in order
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
    for (const auto& [where, count] : layer.all_enumerations()) {
      if (where.second != kDeviceObjectId && where.second != u"s") {
        made->listed_folders.push_back(where.second);
      }
    }
    return made;
  }();
  return *fixture;
}

// Opens the phone and lists the root, the storage and every folder the pass listed.
std::size_t EnumerateLikeThePass(phone::Phone* phone, phone::OperationCounts* counts) {
  phone::SimulatedDeviceLayer layer(phone);
  std::unique_ptr<DeviceManager> manager;
  layer.CreateManager(&manager);
  const std::vector<std::u16string> devices = ListAppleDevices(*manager);
  manager.reset();
  const std::unique_ptr<KeyCollection> keys = CreateKeySet(layer);
  const PhoneConnection connection(OpenPhone(layer, devices.front()));
  std::size_t listed =
      ListChildren(connection.content(), connection.properties(), *keys, kDeviceObjectId, 20)
          .objects.size();
  listed +=
      ListChildren(connection.content(), connection.properties(), *keys, u"s", 0).objects.size();
  for (const std::u16string& folder : GetFixture().listed_folders) {
    listed += ListChildren(connection.content(), connection.properties(), *keys, folder, 0)
                  .objects.size();
  }
  if (counts != nullptr) *counts = layer.counts();
  return listed;
}

void BM_BareEnumeration(benchmark::State& state) {
  phone::Phone phone = GetFixture().phone;
  for (auto _ : state) benchmark::DoNotOptimize(EnumerateLikeThePass(&phone, nullptr));
}

// Puts back what a pass deleted, so that the next pass meets the same phone without
// the measurement paying for a copy of 30,000 objects.
void Restore(const phone::Phone& original, phone::Phone* phone) {
  phone::SimDevice& device = phone->devices.front();
  const phone::SimDevice& before = original.devices.front();
  for (const phone::DeletedObject& deleted : phone->deleted) {
    device.objects.emplace(deleted.object_id, *before.Find(deleted.object_id));
    device.Find(deleted.parent_id)->children = before.Find(deleted.parent_id)->children;
  }
  phone->deleted.clear();
}

void BM_DeletionPass(benchmark::State& state) {
  const Fixture& fixture = GetFixture();
  phone::Phone phone = fixture.phone;
  for (auto _ : state) {
    phone::SimulatedDeviceLayer layer(&phone);
    std::string error;
    benchmark::DoNotOptimize(DeleteWantedFiles(layer, fixture.wanted, &error));
    state.PauseTiming();
    Restore(fixture.phone, &phone);
    state.ResumeTiming();
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
      ->Repetitions(5);
  benchmark::RegisterBenchmark("BM_DeletionPass", camvey::ptp::BM_DeletionPass)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(5);
  benchmark::Initialize(&argc, argv);
  camvey::ptp::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& fixture = GetFixture();
  camvey::phone::Phone phone = fixture.phone;
  camvey::phone::OperationCounts bare_counts;
  const std::size_t listed = camvey::ptp::EnumerateLikeThePass(&phone, &bare_counts);
  std::printf("\nstorage: %d objects in %d folders; request: %zu names\n",
              camvey::ptp::kFolders * camvey::ptp::kObjectsPerFolder, camvey::ptp::kFolders,
              fixture.wanted.size());
  std::printf("pass: %zu deleted, error \"%s\"; %zu folders listed, %zu objects listed\n",
              fixture.deleted, fixture.error.c_str(), fixture.listed_folders.size(), listed);
  camvey::ptp::PrintCounts("pass", fixture.pass_counts);
  camvey::ptp::PrintCounts("bare enumeration", bare_counts);
  const auto bare = reporter.fastest("BM_BareEnumeration");
  const auto pass = reporter.fastest("BM_DeletionPass");
  if (bare.real > 0 && bare.cpu > 0) {
    std::printf(
        "ratio pass / bare enumeration, fastest repetition: %.2f real time, %.2f CPU time "
        "(goal: at most 2)\n",
        pass.real / bare.real, pass.cpu / bare.cpu);
  }
  return 0;
}
