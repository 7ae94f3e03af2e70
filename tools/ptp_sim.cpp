#include "tools/ptp_sim.h"

#include <algorithm>
#include <fstream>
#include <iostream>
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
#include "standins/json_values/json_values.h"
#include "standins/phone/json_document.h"
#include "standins/phone/phone_json.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "text/wide_text.h"
#include "tools/phone_scan.h"
#include "tools/ptp_sim_wpd.h"

namespace camvey::tools {
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
    if (size != file.end() && !size->is_null() && !json_values::IsCodecInteger(*size)) {
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
  phone::Phone phone;
  bool scanned = false;
  const auto problem = [](const std::string& line) { WriteErrorLine("scan: " + line); };
  if (!WithWpdLayer(
          [&](ptp::DeviceLayer& layer) { scanned = ScanApplePhones(layer, &phone, problem); })) {
    WriteErrorLine(kNoWpd);
    return kInputError;
  }
  if (!scanned) return kScanFailed;
  for (const std::string& line : CameraRollLines(phone)) WriteErrorLine(line);
  const std::string text = phone::WritePhoneJson(phone);
  if (arguments.size() == 1) {
    std::cout << text << std::flush;
    return 0;
  }
  if (!WriteTextFile(arguments[1], text))
    return InputProblem(arguments[1], "cannot write the file");
  return 0;
}

// The program's own arguments: the phone file, then the request files, and the options.
struct SimArguments {
  std::string phone_path;
  std::vector<std::string> request_paths;
  std::string write_phone_path;
  bool through_wpd = false;
};

// The arguments of a run of requests; false, after the usage lines, when they are
// unusable.
bool ParseSimArguments(const std::vector<std::string>& arguments, SimArguments* parsed) {
  std::vector<std::string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--write-phone" && i + 1 < arguments.size() &&
        parsed->write_phone_path.empty()) {
      parsed->write_phone_path = arguments[++i];
    } else if (arguments[i] == "--through-wpd" && !parsed->through_wpd) {
      parsed->through_wpd = true;
    } else {
      files.push_back(arguments[i]);
    }
  }
  const bool unusable = std::any_of(files.begin(), files.end(), [](const std::string& file) {
    return file.empty() || file.rfind("--", 0) == 0;
  });
  if (files.size() < 2 || unusable) {
    WriteErrorLine(kUsage);
    return false;
  }
  parsed->phone_path = files[0];
  parsed->request_paths.assign(files.begin() + 1, files.end());
  return true;
}

// The phone file; false, after its problem line, when it cannot be read.
bool ReadPhoneFile(const std::string& path, phone::Phone* phone) {
  std::string text;
  std::string problem;
  if (!ReadFile(path, &text)) {
    InputProblem(path, "cannot read the file");
    return false;
  }
  if (!phone::ReadPhoneJson(text, phone, &problem)) {
    InputProblem(path, problem);
    return false;
  }
  return true;
}

// One request file as the service would parse the call's arguments; false, after its
// problem line, when it cannot be read or has the wrong shape.
bool ReadRequestFile(const std::string& path, std::vector<ptp::WantedFile>* wanted) {
  std::string text;
  if (!ReadFile(path, &text)) {
    InputProblem(path, "cannot read the file");
    return false;
  }
  json request;
  std::string problem;
  const bool parsed = phone::ParseJsonDocument(text, &request, &problem);
  if (parsed) problem = RequestShapeProblem(request);
  if (!parsed || !problem.empty()) {
    InputProblem(path, problem);
    return false;
  }
  const flutter::MethodCall call("deleteFiles", std::make_unique<flutter::EncodableValue>(
                                                    json_values::ToEncodableValue(request)));
  *wanted = ptp::ParseWantedFiles(call);
  return true;
}

// Runs the requests one after another, as the service meets them, with one memory of
// what was sent for deletion. Each one's output ends with its error line.
void RunPasses(ptp::DeviceLayer& layer, const std::vector<std::vector<ptp::WantedFile>>& requests,
               ptp::DeletionMemory* memory) {
  ptp::SetDeleteTraceWriter(&WriteErrorLine);
  for (const std::vector<ptp::WantedFile>& wanted : requests) {
    std::string error;
    std::vector<std::u16string> deleted;
    ptp::DeleteWantedFiles(layer, wanted, memory, &deleted, &error);
    for (const std::u16string& name : deleted) {
      std::cout << "deleted: " << text::WideToUtf8(name) << "\n";
    }
    std::cout << "error: " << (error.empty() ? "none" : error) << std::endl;
  }
  ptp::SetDeleteTraceWriter(nullptr);
}

// The passes through the WPD layer against the simulated server serving the phone file.
int RunThroughWpd(const SimArguments& arguments, const phone::Phone& phone,
                  const std::vector<std::vector<ptp::WantedFile>>& requests) {
  // The simulated server reads the phone file itself and writes it back after each
  // deletion request, so that the phone left behind is the server's own. It is written
  // here first, as read, for passes that never reach the server.
  if (!arguments.write_phone_path.empty() &&
      !WriteTextFile(arguments.write_phone_path, phone::WritePhoneJson(phone))) {
    return InputProblem(arguments.write_phone_path, "cannot write the file");
  }
  ptp::DeletionMemory memory;
  if (!ServeSimulatedPhone(arguments.phone_path, arguments.write_phone_path) ||
      !WithWpdLayer([&](ptp::DeviceLayer& layer) { RunPasses(layer, requests, &memory); })) {
    WriteErrorLine(kNoWpd);
    return kInputError;
  }
  return 0;
}

// The passes through the simulated device layer over the phone as read.
int RunOnSimulatedLayer(const SimArguments& arguments, phone::Phone* phone,
                        const std::vector<std::vector<ptp::WantedFile>>& requests) {
  {
    phone::SimulatedDeviceLayer layer(phone);
    ptp::DeletionMemory memory;
    RunPasses(layer, requests, &memory);
  }
  if (!arguments.write_phone_path.empty() &&
      !WriteTextFile(arguments.write_phone_path, phone::WritePhoneJson(*phone))) {
    return InputProblem(arguments.write_phone_path, "cannot write the file");
  }
  return 0;
}

// camvey-ptp-sim PHONE.json REQUEST.json [REQUEST.json ...] [--write-phone OUT.json]
// [--through-wpd].
int RunRequests(const std::vector<std::string>& argument_list) {
  SimArguments arguments;
  if (!ParseSimArguments(argument_list, &arguments)) return kInputError;
  phone::Phone phone;
  if (!ReadPhoneFile(arguments.phone_path, &phone)) return kInputError;
  // Every request is read before the first pass, so that a typo in the last one does
  // not leave the phone half cleaned.
  std::vector<std::vector<ptp::WantedFile>> requests(arguments.request_paths.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (!ReadRequestFile(arguments.request_paths[i], &requests[i])) return kInputError;
  }
  return arguments.through_wpd ? RunThroughWpd(arguments, phone, requests)
                               : RunOnSimulatedLayer(arguments, &phone, requests);
}

}  // namespace

int RunPtpSim(const std::vector<std::string>& arguments) {
  if (!arguments.empty() && arguments[0] == "scan") return RunScan(arguments);
  return RunRequests(arguments);
}

}  // namespace camvey::tools
