#include "tools/benchmark_phone.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "ptp/device/deletion_pass.h"
#include "ptp/device/discovery.h"
#include "ptp/device/folder_listing.h"
#include "text/wide_text.h"

namespace camvey::tools {
namespace {

constexpr char16_t kDeviceId[] = u"usb#iphone";

std::u16string Text(const std::string& text) { return text::Utf8ToWide(text); }

std::u16string FileName(int folder, int index) {
  char name[32];
  std::snprintf(name, sizeof(name), "IMG_%02d%03d.HEIC", folder, index);
  return Text(name);
}

// DCIM holds one month folder a month, as a current iPhone shows its photos, from
// 201901__ on: two older years, then the three recent ones requests are made of.
constexpr int kOlderFolders = 24;
bool IsRecent(int folder) { return folder >= kOlderFolders; }
std::u16string MonthOf(int folder) {
  char month[32];
  std::snprintf(month, sizeof(month), "%04d%02d", 2019 + folder / 12, folder % 12 + 1);
  return Text(month);
}

}  // namespace

phone::Phone MakeBenchmarkPhone() {
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
  phone::SimObject dcim;
  dcim.id = u"d";
  dcim.parent_id = u"s";
  dcim.name = dcim.file_name = u"DCIM";
  dcim.type = phone::ContentType::kFolder;
  device.Add(dcim);
  for (int folder = 0; folder < kBenchmarkFolders; ++folder) {
    phone::SimObject roll;
    roll.id = u"f" + Text(std::to_string(folder));
    roll.parent_id = u"d";
    roll.name = roll.file_name = MonthOf(folder) + u"__";
    roll.type = phone::ContentType::kFolder;
    device.Add(roll);
    for (int i = 0; i < kBenchmarkObjectsPerFolder; ++i) {
      phone::SimObject file;
      file.id = roll.id + u"/" + Text(std::to_string(i));
      file.parent_id = roll.id;
      file.name = file.file_name = FileName(folder, i);
      device.Add(file);
    }
  }
  phone.devices.push_back(std::move(device));
  return phone;
}

std::vector<ptp::WantedFile> MakeBenchmarkRequest() {
  std::vector<int> month_folders;
  std::vector<int> other_folders;
  for (int folder = 0; folder < kBenchmarkFolders; ++folder) {
    (IsRecent(folder) ? month_folders : other_folders).push_back(folder);
  }
  std::vector<ptp::WantedFile> wanted;
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
  for (ptp::WantedFile& file : wanted) file.name = text::UpperCaseWide(file.name);
  return wanted;
}

PassListings ListingsOfThePass(const phone::SimulatedDeviceLayer& layer) {
  PassListings listings;
  for (const auto& [where, count] : layer.all_enumerations()) {
    if (where.second == ptp::kDeviceObjectId || where.second == u"s") continue;
    (layer.reads_by_parent().count(where) != 0 ? listings.read : listings.counted)
        .push_back(where.second);
  }
  return listings;
}

std::vector<ptp::WantedFile> MakeImportRequest() {
  std::vector<int> month_folders;
  for (int folder = 0; folder < kBenchmarkFolders; ++folder) {
    if (IsRecent(folder)) month_folders.push_back(folder);
  }
  std::vector<ptp::WantedFile> wanted;
  for (const int month_index : {30, 31, 32}) {
    const int folder = month_folders[static_cast<std::size_t>(month_index)];
    for (int i = 0; i < 100; ++i) wanted.push_back({FileName(folder, i * 5), MonthOf(folder)});
  }
  wanted.push_back({u"IMG_DELETED.HEIC", MonthOf(month_folders[33])});
  for (ptp::WantedFile& file : wanted) file.name = text::UpperCaseWide(file.name);
  return wanted;
}

std::size_t EnumerateLikeThePass(ptp::DeviceLayer& layer, const PassListings& listings) {
  std::unique_ptr<ptp::DeviceManager> manager;
  layer.CreateManager(&manager);
  const std::vector<std::u16string> devices = ptp::ListAppleDevices(*manager);
  manager.reset();
  const std::unique_ptr<ptp::KeyCollection> keys = ptp::CreateKeySet(layer);
  const ptp::PhoneConnection connection(ptp::OpenPhone(layer, devices.front()));
  const auto list = [&](const std::u16string& parent, std::size_t limit) {
    return ptp::ListChildren(connection.content(), connection.properties(), *keys, parent, limit)
        .objects.size();
  };
  std::size_t listed = list(ptp::kDeviceObjectId, ptp::kStorageLimit) + list(u"s", 0);
  for (const std::u16string& folder : listings.read) listed += list(folder, 0);
  for (const std::u16string& folder : listings.counted) {
    listed += ptp::ListChildIds(connection.content(), folder, 0).ids.size();
  }
  return listed;
}

}  // namespace camvey::tools
