#ifndef CAMVEY_STANDINS_PHONE_PHONE_JSON_H_
#define CAMVEY_STANDINS_PHONE_PHONE_JSON_H_

// Reading and writing simulated phones as JSON (the format is in README.md).

#include <string>

#include "standins/phone/phone_model.h"

namespace camvey::phone {

// Parses a phone. On failure returns false and sets `*problem` to one line naming
// where in the document it lies, e.g. `devices[0].storages[1]: "id" must be a string`;
// a document nested deeper than kMaxJsonNesting (json_document.h) is refused whole.
bool ReadPhoneJson(const std::string& text, Phone* phone, std::string* problem);

// The phone's current devices and objects in the same format, indented; what
// ReadPhoneJson reads back into the same phone (its deletion log aside).
std::string WritePhoneJson(const Phone& phone);

}  // namespace camvey::phone

#endif  // CAMVEY_STANDINS_PHONE_PHONE_JSON_H_
