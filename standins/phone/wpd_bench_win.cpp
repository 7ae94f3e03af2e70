// camvey-wpd-bench: the deletion pass through the service's WPD layer against the
// simulated WPD server, beside a bare enumeration of the same listings through the same
// layer and server in the same run, on the phone and request of
// bench/ptp/deletion_pass_bench.cpp (30,000 objects in 60 top-level folders, 1,000
// names). Prints the device calls of the pass through WPD beside those through the
// simulated layer, and the ratio of the fastest of five timed runs of each.
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
#include "ptp/wanted_file.h"
#include "ptp/wide_text.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "standins/phone/wpd_server/wpd_sim_control.h"

namespace camvey::ptp {
namespace {

constexpr int kFolders = 60;
constexpr int kObjectsPerFolder = 500;
constexpr int kRuns = 5;
constexpr char16_t kDeviceId[] = u"usb#iphone";

std::u16string Text(const std::string& text) { return Utf8ToWide(text); }

std::u16string FileName(int folder, int index) {
  char name[32];
  std::snprintf(name, sizeof(name), "IMG_%02d%03d.HEIC", folder, index);
  return Text(name);
}

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

// Opens the phone and lists the root, the storage and `folders`, as the pass does.
std::size_t EnumerateLikeThePass(DeviceLayer& layer, const std::vector<std::u16string>& folders) {
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
  for (const std::u16string& folder : folders) {
    listed += ListChildren(connection.content(), connection.properties(), *keys, folder, 0)
                  .objects.size();
  }
  return listed;
}

double Milliseconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

int Run() {
  const phone::Phone original = MakePhone();
  const std::vector<WantedFile> wanted = MakeRequest();

  // The pass over the simulated layer: its counts and the folders it listed.
  phone::Phone copy = original;
  phone::SimulatedDeviceLayer simulated(&copy);
  std::string simulated_error;
  const std::size_t simulated_deleted =
      DeleteWantedFiles(simulated, wanted, &simulated_error).size();
  std::vector<std::u16string> folders;
  for (const auto& [where, count] : simulated.all_enumerations()) {
    if (where.second != kDeviceObjectId && where.second != u"s") folders.push_back(where.second);
  }

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
    listed = EnumerateLikeThePass(*wpd, folders);
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
      kFolders * kObjectsPerFolder, kFolders, wanted.size(), folders.size(), listed);
  std::printf(
      "pass over the simulated layer: %zu deleted, error \"%s\"; through WPD: %zu "
      "deleted, error \"%s\"\n",
      simulated_deleted, simulated_error.c_str(), wpd_deleted, wpd_error.c_str());
  std::printf("%-46s %8s %10s\n", "device call per pass", "simulated", "WPD");
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
      {"IPortableDevicePropVariantCollection::Add", counts.add_id},
      {"IPortableDeviceContent::Delete", counts.delete_request},
      {"IPortableDevicePropVariantCollection::GetAt", counts.results_element},
      {"IPortableDevice::Close", counts.close},
  };
  for (const auto& row : rows) {
    std::printf("%-46s %8d %10d\n", row.method, row.simulated, wpd_count(row.method));
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
