#ifndef CAMVEY_STANDINS_PHONE_JSON_DOCUMENT_H_
#define CAMVEY_STANDINS_PHONE_JSON_DOCUMENT_H_

// Parsing the JSON files the stand-ins and tools read from outside the process: phone
// files and request files. The parser itself keeps its nesting on the heap, but what
// walks a document afterwards (the phone reader, the request's conversion to channel
// values) recurses once per level, so a document nested deeper than any phone is
// refused before anything walks it.

#include <nlohmann/json.hpp>
#include <string>

namespace camvey::phone {

// The deepest nesting of lists and objects a document may have; the document itself is
// level 1. In a phone file the storages are level 5 and each level of objects below
// them two more, so that this leaves room for objects 62 levels below the device (a
// storage is 1), twice as deep as the scan follows folders; a real iPhone's photos, in
// DCIM's month folders, are 4 levels below it (level 11).
inline constexpr int kMaxJsonNesting = 128;

// Parses `text` as one JSON document. On failure returns false, leaves `*document` as it
// was and sets `*problem` to one line: where the text stops being JSON, or that it
// nests deeper than kMaxJsonNesting, whichever comes first in the text.
bool ParseJsonDocument(const std::string& text, nlohmann::json* document, std::string* problem);

}  // namespace camvey::phone

#endif  // CAMVEY_STANDINS_PHONE_JSON_DOCUMENT_H_
