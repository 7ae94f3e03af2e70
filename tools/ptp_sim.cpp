#include "tools/ptp_sim.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "messaging/encodable_value.h"
#include "messaging/method_call.h"
#include "ptp/device/delete_trace.h"
#include "ptp/device/deletion_memory.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/request/wanted_file.h"
#include "standins/phone/json_document.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "text/wide_text.h"
#include "tools/phone_scan.h"
#include "tools/ptp_sim_wpd.h"

namespace camvey::phone {
namespace {

using nlohmann::json;

constexpr int kInputError = 2;
constexpr int kScanFailed = 1;
constexpr char kUsage[] =
    "usage: camvey-ptp-sim PHONE.json REQUEST.json [REQUEST.json ...] [--write-phone OUT.json]\n"
    "                      [--through-wpd]\n"
    "       camvey-ptp-sim scan [OUT.json]";
constexpr char kNoWpd[] =
    "camvey-ptp-sim: Windows Portable Devices exist only in the Windows build";

// Standard error is unbuffered: each line goes out in one write, then is flushed.
void WriteErrorLine(const std::string& line) { std::cerr << (line + "\n") << std::flush; }

int InputProblem(const std::string& file, const std::string& problem) {
  WriteErrorLine(file + ": " + problem);
  return kInputError;
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return false;
  *text = contents.str();
  return true;
}

flutter::EncodableValue ToEncodable(const json& value) {
  switch (value.type()) {
    case json::value_t::boolean:
      return flutter::EncodableValue(value.get<bool>());
    case json::value_t::number_integer: {
      const auto number = value.get<std::int64_t>();
      if (number >= std::numeric_limits<std::int32_t>::min() &&
          number <= std::numeric_limits<std::int32_t>::max()) {
        return flutter::EncodableValue(static_cast<std::int32_t>(number));
      }
      return flutter::EncodableValue(number);
    }
    case json::value_t::number_unsigned: {
      const auto number = value.get<std::uint64_t>();
      if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return flutter::EncodableValue(static_cast<std::int32_t>(number));
      }
      if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return flutter::EncodableValue(static_cast<std::int64_t>(number));
      }
      return flutter::EncodableValue(value.get<double>());
    }
    case json::value_t::number_float:
      return flutter::EncodableValue(value.get<double>());
    case json::value_t::string:
      return flutter::EncodableValue(value.get<std::string>());
    case json::value_t::array: {
      flutter::EncodableList list;
      for (const json& element : value) list.push_back(ToEncodable(element));
      return flutter::EncodableValue(std::move(list));
    }
    case json::value_t::object: {
      flutter::EncodableMap map;
      for (const auto& item : value.items()) {
        map.emplace(flutter::EncodableValue(item.key()), ToEncodable(item.value()));
      }
      return flutter::EncodableValue(std::move(map));
    }
    default:
      return flutter::EncodableValue();
  }
}

// Whether `value` travels as an integer of the codec, which has 32- and 64-bit signed
// ones: larger numbers become floating point (see ToEncodable).
bool IsCodecInteger(const json& value) {
  if (value.is_number_unsigned()) {
    return value.get<std::uint64_t>() <=
           static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  }
  return value.is_number_integer();
}

// What is wrong with the shape of a request, or empty. The service itself skips what
// it cannot use; this tool says so instead, since a typo would otherwise pass unseen.
std::string RequestShapeProblem(const json& request) {
  if (!request.is_object()) return "the request must be an object";
  const auto files = request.find("files");
  if (files == request.end() || !files->is_array()) return "\"files\" must be a list";
  for (std::size_t i = 0; i < files->size(); ++i) {
    const json& file = (*files)[i];
    const std::string where = "files[" + std::to_string(i) + "]";
    if (!file.is_object()) return where + ": must be an object";
    const auto name = file.find("name");
    if (name == file.end() || !name->is_string()) return where + ": \"name\" must be a string";
    const auto month = file.find("month");
    if (month != file.end() && !month->is_string()) {
      return where + ": \"month\" must be a string";
    }
    // The pass itself judges an integer's value, a negative one included.
    const auto size = file.find("size");
    if (size != file.end() && !size->is_null() && !IsCodecInteger(*size)) {
      return where + ": \"size\" must be a 64-bit integer or null";
    }
  }
  return {};
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

// camvey-ptp-sim scan [OUT.json]: the attached Apple phones through the WPD layer, as
// a phone file (standard output without OUT.json). Problems go to standard error.
int RunScan(const std::vector<std::string>& arguments) {
  if (arguments.size() > 2 || (arguments.size() == 2 && arguments[1].empty())) {
    WriteErrorLine(kUsage);
    return kInputError;
  }
  Phone phone;
  bool scanned = false;
  const auto problem = [](const std::string& line) { WriteErrorLine("scan: " + line); };
  if (!WithWpdLayer(
          [&](ptp::DeviceLayer& layer) { scanned = ScanApplePhones(layer, &phone, problem); })) {
    WriteErrorLine(kNoWpd);
    return kInputError;
  }
  if (!scanned) return kScanFailed;
  for (const std::string& line : CameraRollLines(phone)) WriteErrorLine(line);
  const std::string text = WritePhoneJson(phone);
  if (arguments.size() == 1) {
    std::cout << text << std::flush;
    return 0;
  }
  if (!WriteTextFile(arguments[1], text))
    return InputProblem(arguments[1], "cannot write the file");
  return 0;
}

}  // namespace

int RunPtpSim(const std::vector<std::string>& arguments) {
  if (!arguments.empty() && arguments[0] == "scan") return RunScan(arguments);
  std::vector<std::string> files;
  std::string write_phone_path;
  bool through_wpd = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--write-phone" && i + 1 < arguments.size() && write_phone_path.empty()) {
      write_phone_path = arguments[++i];
    } else if (arguments[i] == "--through-wpd" && !through_wpd) {
      through_wpd = true;
    } else {
      files.push_back(arguments[i]);
    }
  }
  const bool unusable = std::any_of(files.begin(), files.end(), [](const std::string& file) {
    return file.empty() || file.rfind("--", 0) == 0;
  });
  if (files.size() < 2 || unusable) {
    WriteErrorLine(kUsage);
    return kInputError;
  }
  const std::string& phone_path = files[0];

  std::string text;
  if (!ReadFile(phone_path, &text)) return InputProblem(phone_path, "cannot read the file");
  Phone phone;
  std::string problem;
  if (!ReadPhoneJson(text, &phone, &problem)) return InputProblem(phone_path, problem);

  // Every request is read before the first pass, so that a typo in the last one does
  // not leave the phone half cleaned.
  std::vector<std::vector<ptp::WantedFile>> requests;
  for (std::size_t i = 1; i < files.size(); ++i) {
    const std::string& request_path = files[i];
    if (!ReadFile(request_path, &text)) return InputProblem(request_path, "cannot read the file");
    json request;
    if (!ParseJsonDocument(text, &request, &problem)) return InputProblem(request_path, problem);
    problem = RequestShapeProblem(request);
    if (!problem.empty()) return InputProblem(request_path, problem);
    const flutter::MethodCall call("deleteFiles",
                                   std::make_unique<flutter::EncodableValue>(ToEncodable(request)));
    requests.push_back(ptp::ParseWantedFiles(call));
  }

  // The requests meet the phone one after another, as the service meets them, with one
  // memory of what was sent for deletion. Each one's output ends with its error line.
  ptp::DeletionMemory memory;
  const auto run_passes = [&](ptp::DeviceLayer& layer) {
    ptp::SetDeleteTraceWriter(&WriteErrorLine);
    for (const std::vector<ptp::WantedFile>& wanted : requests) {
      std::string error;
      std::vector<std::u16string> deleted;
      ptp::DeleteWantedFiles(layer, wanted, &memory, &deleted, &error);
      for (const std::u16string& name : deleted) {
        std::cout << "deleted: " << text::WideToUtf8(name) << "\n";
      }
      std::cout << "error: " << (error.empty() ? "none" : error) << std::endl;
    }
    ptp::SetDeleteTraceWriter(nullptr);
  };
  if (through_wpd) {
    // The simulated server reads the phone file itself and writes it back after each
    // deletion request, so that the phone left behind is the server's own. It is
    // written here first, as read, for passes that never reach the server.
    if (!write_phone_path.empty() && !WriteTextFile(write_phone_path, WritePhoneJson(phone))) {
      return InputProblem(write_phone_path, "cannot write the file");
    }
    if (!ServeSimulatedPhone(phone_path, write_phone_path) || !WithWpdLayer(run_passes)) {
      WriteErrorLine(kNoWpd);
      return kInputError;
    }
  } else {
    SimulatedDeviceLayer layer(&phone);
    run_passes(layer);
  }

  if (!write_phone_path.empty() && !through_wpd &&
      !WriteTextFile(write_phone_path, WritePhoneJson(phone))) {
    return InputProblem(write_phone_path, "cannot write the file");
  }
  return 0;
}

}  // namespace camvey::phone
