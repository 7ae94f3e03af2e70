#ifndef CAMVEY_PTP_DEVICE_DELETION_REQUEST_H_
#define CAMVEY_PTP_DEVICE_DELETION_REQUEST_H_

// The one deletion request a pass sends to a device for everything it took there, and
// what the device's answer makes of it: the names it deleted, the code of a refusal, and
// the memory of what was sent.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "ptp/device/deletion_memory.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/device/device_layer.h"
#include "ptp/device/folder_listing.h"

namespace camvey::ptp {

// One object a pass took, with the wanted photos it was taken for.
struct ChosenObject {
  const PhoneObject* object = nullptr;
  std::vector<const WantedFile*> photos;
  // Storage, camera-roll folder and position on its device.
  std::array<std::size_t, 3> place = {};
};

// Records `code` unless a code is recorded already: the first stays.
void RecordError(std::string* error, const char* code);

// Sends `chosen` (not empty) to the device as one deletion request through `content`.
// Appends the names of the objects the device deleted, as it spells them, to
// `*deleted`; records "delete_refused" when the device refused any or the request
// failed, unless the device went away; remembers in `*memory` what became of each
// wanted photo. Ids and names stay paired: an object whose id could not be added to the
// request is neither sent nor reported. Gives the objects the device deleted.
std::vector<const ChosenObject*> SendDeletionRequest(DeviceLayer& layer, DeviceContent& content,
                                                     const std::u16string& device_id,
                                                     const std::vector<ChosenObject>& chosen,
                                                     DeletionMemory* memory,
                                                     std::vector<std::u16string>* deleted,
                                                     std::string* error);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETION_REQUEST_H_
