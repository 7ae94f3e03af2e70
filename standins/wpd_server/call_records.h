#ifndef CAMVEY_STANDINS_WPD_SERVER_CALL_RECORDS_H_
#define CAMVEY_STANDINS_WPD_SERVER_CALL_RECORDS_H_

// What the server's callers passed it, kept for tests to check the inputs the service
// must pass exactly, and how often each method was called. The JSON form is described
// in standins/phone/README.md.

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ptp/device/wpd_api_win.h"

namespace camvey::phone::wpd {

class CallRecords {
 public:
  // One call of `method`, named "Interface::Method".
  void CountCall(std::string_view method);
  // An Open call with the client information it passed, read in its own order.
  void RecordOpen(const std::u16string& device_id, IPortableDeviceValues* client_information);
  void RecordEnumeration(const std::u16string& device_id, const std::u16string& parent_id,
                         DWORD flags, bool filter);
  void RecordNext(ULONG count);
  // The keys one GetValues call asked for, in order.
  void RecordKeySet(const std::vector<PROPERTYKEY>& keys);
  // A Delete call: its options, the type of each element of the id collection, and the
  // ids among them that were strings.
  void RecordDelete(const std::u16string& device_id, DWORD options,
                    const std::vector<VARTYPE>& types, const std::vector<std::u16string>& ids);
  // The last Release of a device object, and whether it was still open then.
  void RecordDeviceRelease(const std::u16string& device_id, bool open);

  nlohmann::json ToJson() const;
  void Clear();

 private:
  std::map<std::string, int, std::less<>> calls_;
  nlohmann::json opens_ = nlohmann::json::array();
  std::map<std::string, std::map<std::string, int>> enumerations_;
  std::map<std::string, int> enumeration_flags_;
  int enumerations_with_filter_ = 0;
  std::map<ULONG, int> next_counts_;
  // Each distinct key list, in the order first seen, with its number of calls.
  std::vector<std::pair<std::vector<PROPERTYKEY>, int>> key_sets_;
  nlohmann::json deletes_ = nlohmann::json::array();
  std::map<std::string, int> delete_calls_;
  nlohmann::json released_devices_ = nlohmann::json::array();
};

// "WPD_OBJECT_NAME" for the keys the server knows, else "{format id} pid".
std::string PropertyKeyName(const PROPERTYKEY& key);
// "VT_LPWSTR" for the types the server knows, else the number.
std::string VarTypeName(VARTYPE type);

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_CALL_RECORDS_H_
