#ifndef CAMVEY_PTP_REQUEST_WANTED_FILE_H_
#define CAMVEY_PTP_REQUEST_WANTED_FILE_H_

// The request of "deleteFiles" read from its arguments, as channel values:
//
//   {"files": [{"name": <string>, "month": <string>, "size": <integer>}, ...]}
//
// "name" is the file name as the application knows it; "month" the folder hint in the
// form "%04d%02d"; "size", optional, the byte size of the application's copy, a 32- or
// 64-bit integer (null or absent: no size). Other keys, at either level, are ignored;
// keys match only as strings, byte for byte.

#include <string>
#include <vector>

#include "messaging/method_call.h"
#include "ptp/device/deletion_pass.h"

namespace camvey::ptp {

// The requested files in request order, duplicates kept. Never fails: arguments that
// are missing or of the wrong type give an empty list, and an element without a
// usable name is skipped. An element whose month is missing or not a string keeps an
// empty month. A size that is present but no non-negative integer marks the element's
// size unusable; the element stays, so that the pass can say why nothing of it went.
std::vector<WantedFile> ParseWantedFiles(const flutter::MethodCall& call);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_REQUEST_WANTED_FILE_H_
