#ifndef CAMVEY_TOOLS_BENCHMARK_PHONE_H_
#define CAMVEY_TOOLS_BENCHMARK_PHONE_H_

// The phone and request every deletion-pass benchmark measures, whatever the device layer:
// one Apple device laid out as a current iPhone, its storage "s" holding the folder "DCIM"
// ("d") with 30,000 objects in 60 month folders (24 older ones, 201901__ to 202012__,
// then 36 recent ones, 202101__ to 202312__), and 1,000 wanted names.

#include <cstddef>
#include <string>
#include <vector>

#include "ptp/device/deletion_pass.h"
#include "ptp/device/device_layer.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"

namespace camvey::tools {

inline constexpr int kBenchmarkFolders = 60;
inline constexpr int kBenchmarkObjectsPerFolder = 500;

phone::Phone MakeBenchmarkPhone();

// 600 names from six recent folders, asked under their month, whose neighbours make 18
// folders (9,000 objects) month folders of the request; 300 from the first four older
// folders, asked under a month the phone does not have, which the unique-name search
// looks for until the listed-object limit stops it (and then, having not seen the whole
// storage, leaves them on the phone); 100 that are not on the phone, asked under
// 202101. Upper-cased.
std::vector<ptp::WantedFile> MakeBenchmarkRequest();

// A realistic import: 300 names from three recent folders, asked under their month, and
// one photo of a month the phone has that the owner already deleted on the phone.
std::vector<ptp::WantedFile> MakeImportRequest();

// The folders a pass listed below the storage: those whose objects it read (DCIM among
// them), and those whose ids alone it counted.
struct PassListings {
  std::vector<std::u16string> read;
  std::vector<std::u16string> counted;
};

// What the pass that ran through `layer` listed on the benchmark phone.
PassListings ListingsOfThePass(const phone::SimulatedDeviceLayer& layer);

// Opens the benchmark phone through `layer` and lists the root, the storage and the
// folders of `listings` as a pass does (ids, then the objects of the folders it read),
// without deciding anything. Returns the objects listed.
std::size_t EnumerateLikeThePass(ptp::DeviceLayer& layer, const PassListings& listings);

}  // namespace camvey::tools

#endif  // CAMVEY_TOOLS_BENCHMARK_PHONE_H_
