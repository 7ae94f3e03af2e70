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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ptp/device/deletion_pass.h"
#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "ptp/device/wpd_device_layer_win.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "standins/wpd_server/wpd_sim_control.h"
#include "text/wide_text.h"
#include "tools/benchmark_phone.h"

namespace camvey::ptp {
namespace {

constexpr int kRuns = 5;

double Milliseconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

int Run() {
  const phone::Phone original = phone::MakeBenchmarkPhone();
  const std::vector<WantedFile> wanted = phone::MakeBenchmarkRequest();

  // The pass over the simulated layer: its counts and the folders it listed.
  phone::Phone copy = original;
  phone::SimulatedDeviceLayer simulated(&copy);
  std::string simulated_error;
  const std::size_t simulated_deleted =
      DeleteWantedFiles(simulated, wanted, &simulated_error).size();
  const phone::PassListings listings = phone::ListingsOfThePass(simulated);

  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring phone_path = std::wstring(temp) + L"camvey_wpd_bench_phone.json";
  {
    const std::string text = phone::WritePhoneJson(original);
    FILE* file = _wfopen(phone_path.c_str(), L"wb");
    if (file == nullptr) return 1;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  SetEnvironmentVariableW(L"CAMVEY_SIM_PHONE", phone_path.c_str());
  SetEnvironmentVariableW(L"CAMVEY_SIM_PHONE_OUT", nullptr);

  const std::unique_ptr<DeviceLayer> wpd = MakeWpdDeviceLayer();
  std::unique_ptr<KeyCollection> loader;
  if (FAILED(wpd->CreateKeyCollection(&loader))) {
    std::fprintf(stderr, "camvey-wpd-bench: the simulated WPD server is not registered\n");
    return 1;
  }
  loader.reset();
  const phone::wpd::WpdSimControl control = phone::wpd::WpdSimControl::Find();
  if (!control.found()) {
    std::fprintf(stderr, "camvey-wpd-bench: the WPD classes are not the simulated server's\n");
    return 1;
  }

  double fastest_pass = 0;
  double fastest_bare = 0;
  nlohmann::json pass_calls;
  std::size_t wpd_deleted = 0;
  std::string wpd_error;
  std::size_t listed = 0;
  for (int run = 0; run < kRuns; ++run) {
    control.reload();  // the phone as it was before the previous pass
    auto start = std::chrono::steady_clock::now();
    wpd_error.clear();
    wpd_deleted = DeleteWantedFiles(*wpd, wanted, &wpd_error).size();
    const double pass = Milliseconds(std::chrono::steady_clock::now() - start);
    pass_calls = nlohmann::json::parse(control.Records())["calls"];

    control.reload();
    start = std::chrono::steady_clock::now();
    listed = phone::EnumerateLikeThePass(*wpd, listings);
    const double bare = Milliseconds(std::chrono::steady_clock::now() - start);
    if (run == 0 || pass < fastest_pass) fastest_pass = pass;
    if (run == 0 || bare < fastest_bare) fastest_bare = bare;
    std::printf("run %d: pass %.1f ms, bare enumeration %.1f ms\n", run + 1, pass, bare);
  }

  const phone::OperationCounts& counts = simulated.counts();
  const auto wpd_count = [&](const char* method) {
    return pass_calls.contains(method) ? pass_calls[method].get<int>() : 0;
  };
  std::printf(
      "\nstorage: %d objects in %d folders; request: %zu names; %zu folders listed, "
      "%zu objects listed by the bare enumeration\n",
      phone::kBenchmarkFolders * phone::kBenchmarkObjectsPerFolder, phone::kBenchmarkFolders,
      wanted.size(), listings.read.size() + listings.counted.size(), listed);
  std::printf(
      "pass over the simulated layer: %zu deleted, error \"%s\"; through WPD: %zu "
      "deleted, error \"%s\"\n",
      simulated_deleted, simulated_error.c_str(), wpd_deleted, wpd_error.c_str());
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
  std::printf(
      "fastest of %d: pass %.1f ms, bare enumeration %.1f ms; ratio pass / bare "
      "enumeration %.2f (goal: at most 2)\n",
      kRuns, fastest_pass, fastest_bare, fastest_pass / fastest_bare);
  DeleteFileW(phone_path.c_str());
  return 0;
}

}  // namespace
}  // namespace camvey::ptp

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const int result = camvey::ptp::Run();
  CoUninitialize();
  return result;
}
