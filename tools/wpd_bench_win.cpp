// camvey-wpd-bench: the deletion pass through the service's WPD layer against the
// simulated WPD server, beside a bare enumeration of the same listings through the same
// layer and server in the same run, on the benchmark phone and request (30,000 objects
// in 60 folders in DCIM, 1,000 names). Prints the device calls of the pass through WPD
// beside those through the simulated layer, and the ratio of the fastest of five timed
// runs of each.
//
//   camvey-wpd-bench        (Windows build, under Wine with the server registered)

#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ptp/device/deletion_pass.h"
#include "ptp/device/wpd_device_layer_win.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "standins/wpd_server/wpd_sim_control.h"
#include "text/wide_text.h"
#include "tools/benchmark_phone.h"

namespace camvey::tools {
namespace {

constexpr int kRuns = 5;

double Milliseconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

// The pass over the simulated layer: its outcome, its device calls and the folders it
// listed, which the bare enumeration lists again.
struct SimulatedPass {
  std::size_t deleted = 0;
  std::string error;
  phone::OperationCounts counts;
  PassListings listings;
};

SimulatedPass RunOnSimulatedLayer(const phone::Phone& original,
                                  const std::vector<ptp::WantedFile>& wanted) {
  phone::Phone copy = original;
  phone::SimulatedDeviceLayer simulated(&copy);
  SimulatedPass pass;
  pass.deleted = ptp::DeleteWantedFiles(simulated, wanted, &pass.error).size();
  pass.counts = simulated.counts();
  pass.listings = ListingsOfThePass(simulated);
  return pass;
}

// Writes the phone to a file in the temporary folder and points the simulated WPD
// server at it, with no write-back. False when the file cannot be made.
bool ServePhone(const phone::Phone& phone, std::wstring* phone_path) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  *phone_path = std::wstring(temp) + L"camvey_wpd_bench_phone.json";
  const std::string text = phone::WritePhoneJson(phone);
  FILE* file = _wfopen(phone_path->c_str(), L"wb");
  if (file == nullptr) return false;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  SetEnvironmentVariableW(L"CAMVEY_SIM_PHONE", phone_path->c_str());
  SetEnvironmentVariableW(L"CAMVEY_SIM_PHONE_OUT", nullptr);
  return true;
}

// The control functions of the simulated server behind `wpd`, loaded by making one WPD
// object; false, after one line, when the WPD classes are not the server's.
bool FindSimulatedServer(ptp::DeviceLayer& wpd, phone::wpd::WpdSimControl* control) {
  std::unique_ptr<ptp::KeyCollection> loader;
  if (FAILED(wpd.CreateKeyCollection(&loader))) {
    std::fprintf(stderr, "camvey-wpd-bench: the simulated WPD server is not registered\n");
    return false;
  }
  loader.reset();
  *control = phone::wpd::WpdSimControl::Find();
  if (!control->found()) {
    std::fprintf(stderr, "camvey-wpd-bench: the WPD classes are not the simulated server's\n");
    return false;
  }
  return true;
}

// The pass through WPD and the bare enumeration, each on the phone as it was before the
// pass: the fastest of kRuns runs of each, and what the last pass did.
struct TimedRuns {
  double fastest_pass = 0;
  double fastest_bare = 0;
  nlohmann::json pass_calls;  // the server's count of each WPD method the pass called
  std::size_t deleted = 0;
  std::string error;
  std::size_t listed = 0;  // objects listed by the bare enumeration
};

TimedRuns TimeRuns(ptp::DeviceLayer& wpd, const phone::wpd::WpdSimControl& control,
                   const std::vector<ptp::WantedFile>& wanted, const PassListings& listings) {
  TimedRuns timed;
  for (int run = 0; run < kRuns; ++run) {
    control.reload();  // the phone as it was before the previous pass
    auto start = std::chrono::steady_clock::now();
    timed.error.clear();
    timed.deleted = ptp::DeleteWantedFiles(wpd, wanted, &timed.error).size();
    const double pass = Milliseconds(std::chrono::steady_clock::now() - start);
    timed.pass_calls = nlohmann::json::parse(control.Records())["calls"];

    control.reload();
    start = std::chrono::steady_clock::now();
    timed.listed = EnumerateLikeThePass(wpd, listings);
    const double bare = Milliseconds(std::chrono::steady_clock::now() - start);
    if (run == 0 || pass < timed.fastest_pass) timed.fastest_pass = pass;
    if (run == 0 || bare < timed.fastest_bare) timed.fastest_bare = bare;
    std::printf("run %d: pass %.1f ms, bare enumeration %.1f ms\n", run + 1, pass, bare);
  }
  return timed;
}

// The device calls of one pass through each layer, side by side.
void PrintCallTable(const phone::OperationCounts& counts, const nlohmann::json& pass_calls) {
  const auto wpd_count = [&](const char* method) {
    return pass_calls.contains(method) ? pass_calls[method].get<int>() : 0;
  };
  std::printf("%-52s %8s %10s\n", "device call per pass", "simulated", "WPD");
  const struct {
    const char* method;
    int simulated;
  } rows[] = {
      {"IPortableDeviceManager::GetDevices", counts.get_devices},
      {"IPortableDevice::Open", counts.open},
      {"IPortableDeviceContent::EnumObjects", counts.enum_objects},
      {"IEnumPortableDeviceObjectIDs::Next", counts.next},
      {"IPortableDeviceProperties::GetValues", counts.get_values},
      {"IPortableDeviceValues::GetStringValue", counts.get_string_value},
      {"IPortableDeviceValues::GetGuidValue", counts.get_guid_value},
      {"IPortableDeviceValues::GetUnsignedLargeIntegerValue",
       counts.get_unsigned_large_integer_value},
      {"IPortableDeviceValues::GetUnsignedIntegerValue", counts.get_unsigned_integer_value},
      {"IPortableDeviceValues::GetBoolValue", counts.get_bool_value},
      {"IPortableDevicePropVariantCollection::Add", counts.add_id},
      {"IPortableDeviceContent::Delete", counts.delete_request},
      {"IPortableDevicePropVariantCollection::GetAt", counts.results_element},
      {"IPortableDevice::Close", counts.close},
  };
  for (const auto& row : rows) {
    std::printf("%-52s %8d %10d\n", row.method, row.simulated, wpd_count(row.method));
  }
}

void PrintReport(const std::vector<ptp::WantedFile>& wanted, const SimulatedPass& simulated,
                 const TimedRuns& timed) {
  std::printf(
      "\nstorage: %d objects in %d folders; request: %zu names; %zu folders listed, "
      "%zu objects listed by the bare enumeration\n",
      kBenchmarkFolders * kBenchmarkObjectsPerFolder, kBenchmarkFolders, wanted.size(),
      simulated.listings.read.size() + simulated.listings.counted.size(), timed.listed);
  std::printf(
      "pass over the simulated layer: %zu deleted, error \"%s\"; through WPD: %zu "
      "deleted, error \"%s\"\n",
      simulated.deleted, simulated.error.c_str(), timed.deleted, timed.error.c_str());
  PrintCallTable(simulated.counts, timed.pass_calls);
  std::printf(
      "fastest of %d: pass %.1f ms, bare enumeration %.1f ms; ratio pass / bare "
      "enumeration %.2f (goal: at most 2)\n",
      kRuns, timed.fastest_pass, timed.fastest_bare, timed.fastest_pass / timed.fastest_bare);
}

int Run() {
  const phone::Phone original = MakeBenchmarkPhone();
  const std::vector<ptp::WantedFile> wanted = MakeBenchmarkRequest();
  const SimulatedPass simulated = RunOnSimulatedLayer(original, wanted);

  std::wstring phone_path;
  if (!ServePhone(original, &phone_path)) return 1;
  const std::unique_ptr<ptp::DeviceLayer> wpd = ptp::MakeWpdDeviceLayer();
  phone::wpd::WpdSimControl control;
  if (!FindSimulatedServer(*wpd, &control)) return 1;
  const TimedRuns timed = TimeRuns(*wpd, control, wanted, simulated.listings);
  PrintReport(wanted, simulated, timed);
  DeleteFileW(phone_path.c_str());
  return 0;
}

}  // namespace
}  // namespace camvey::tools

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const int result = camvey::tools::Run();
  CoUninitialize();
  return result;
}
