#ifndef CAMVEY_TOOLS_PHONE_SCAN_H_
#define CAMVEY_TOOLS_PHONE_SCAN_H_

// Reading a real phone's layout into the simulated phone model, for support: when a
// deletion surprises a user, the scan of their phone replays in the simulator.
//
// The scan is read-only. It opens each device asking for read access only, reads
// object names, original file names, content types and sizes, and what the phone
// declares of deletion (each object's can-delete flag, each storage's access capability:
// 1, read-only without object deletion, is what an iPhone with iCloud Photos on reports),
// and never makes a deletion request (it never even creates an id collection). No file
// contents are read.

#include <functional>
#include <string>
#include <vector>

#include "ptp/device/device_layer.h"
#include "standins/phone/phone_model.h"

namespace camvey::tools {

// Problems met on the way, one line each, e.g. a device that cannot be opened.
using ScanProblem = std::function<void(const std::string& line)>;

// Walks every storage of every Apple device attached through `layer` into `phone`
// (devices in the manager's order, objects in enumeration order). False, after one
// problem line, when no device manager or key set can be made; a device that cannot
// be opened or listed is reported and left out or cut short, and the scan goes on.
bool ScanApplePhones(ptp::DeviceLayer& layer, phone::Phone* phone, const ScanProblem& problem);

// Where the camera roll of each storage of `phone` lies, one line per storage, for a
// user to confirm their phone's layout: the folders, at any depth, that hold folders the
// service takes for a month's ("202401__", "202401_a") or named as cameras name theirs
// ("100APPLE"), with their path of names and how many such folders each holds, e.g.
//   scan: Anna's iPhone: camera roll in Internal Storage\DCIM (7 folders)
// A holder other than the storage itself or a top-level "DCIM" is marked "too deep for
// the service", which looks nowhere else; a storage without one gets
//   scan: Anna's iPhone: no camera roll in Internal Storage
std::vector<std::string> CameraRollLines(const phone::Phone& phone);

}  // namespace camvey::tools

#endif  // CAMVEY_TOOLS_PHONE_SCAN_H_
