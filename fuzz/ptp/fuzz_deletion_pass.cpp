// Runs the deletion pass on a request and over devices whose every answer comes from
// the fuzz input, and checks what must hold whatever they answered (pass_checks.h and
// fuzzed_device_layer.h say which checks). A broken check aborts with its number and
// line, after a description of the run. With CAMVEY_FUZZ_TRACE set, every run also
// prints the pass's trace points and that description, to read a finding or a seed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/ptp/answer_reader.h"
#include "fuzz/ptp/fuzz_check.h"
#include "fuzz/ptp/fuzzed_device_layer.h"
#include "fuzz/ptp/fuzzed_phone.h"
#include "fuzz/ptp/pass_checks.h"
#include "ptp/device/delete_trace.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/wanted_file.h"
#include "ptp/wide_text.h"

namespace camvey::fuzz {
namespace {

// Months as the application sends them, and text it should not: the neighbours of the
// folder months, an empty month, a year alone, months out of range.
constexpr const char16_t* kMonths[] = {u"202401", u"202312", u"202402", u"",
                                       u"2024",   u"abc",    u"202413", u"202501",
                                       u"202412", u"2024 1", u"000101", u"202311"};

bool g_trace = false;

// Names upper-cased and never empty, as ParseWantedFiles makes them.
std::vector<ptp::WantedFile> DrawRequest(AnswerReader& reader) {
  std::vector<ptp::WantedFile> wanted;
  for (std::uint32_t count = reader.Below(9); count > 0; --count) {
    std::u16string name = ptp::UpperCaseWide(reader.Text(kFileNames));
    std::u16string month = reader.Text(kMonths);
    if (!name.empty()) wanted.push_back({std::move(name), std::move(month)});
  }
  return wanted;
}

// The text in UTF-8 between quotes, with control characters and surrogates as \uXXXX,
// so that a name with a NUL or a lone surrogate reads as what it is.
std::string Quoted(const std::u16string& text) {
  std::string quoted = "\"";
  std::u16string plain;
  for (const char16_t unit : text) {
    if (unit >= 0x20 && unit != 0x7F && (unit < 0xD800 || unit > 0xDFFF)) {
      plain += unit;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(unit));
    quoted += ptp::WideToUtf8(plain) + escaped;
    plain.clear();
  }
  return quoted + ptp::WideToUtf8(plain) + "\"";
}

std::string DescribeSeen(const SeenObject& seen) {
  std::string text = Quoted(seen.name);
  if (!seen.name_is_file_name) text += " (not the file name)";
  if (!seen.kind_known) return text + " kind unknown";
  return text + (seen.is_folder ? " folder" : " file");
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kImage:
      return "image";
    case Kind::kOther:
      return "other";
    case Kind::kFolder:
      return "folder";
    case Kind::kFunctionalObject:
      return "functional object";
  }
  return "?";
}

const char* EndName(const FuzzedListing& listing) {
  if (ptp::DeviceFailed(listing.enum_result)) return "EnumObjects fails";
  if (listing.enumerator_missing) return "no enumerator";
  switch (listing.end) {
    case ListingEnd::kNoMoreObjects:
      return "ends normally";
    case ListingEnd::kLastWithNoMore:
      return "ends with the last id";
    case ListingEnd::kFailure:
      return "fails early";
    case ListingEnd::kOkWithoutId:
      return "ends early without an id";
    case ListingEnd::kOtherSuccess:
      return "ends early with another success";
  }
  return "?";
}

// What the device holds, as far as the run drew it, and what of it cannot be read.
std::string DescribeDevice(const FuzzedDevice& device) {
  std::string text;
  for (const auto& [parent_id, listing] : device.listings) {
    text += "  " + Quoted(parent_id) + " holds, " + EndName(listing) + " after " +
            std::to_string(listing.EndsEarly() ? listing.handed_out : listing.children.size()) +
            ":\n";
    for (const std::u16string& id : listing.children) {
      const FuzzedObject& object = device.objects.at(id);
      text += "    " + Quoted(id) + " " + Quoted(object.file_name) + " " + KindName(object.kind);
      if (object.object_name != object.file_name) text += ", shows " + Quoted(object.object_name);
      if (ptp::DeviceFailed(object.values_result) || object.values_missing) {
        text += ", no values";
      }
      if (object.file_name_answer.answer != PropertyAnswer::kValue) text += ", file name unread";
      if (object.object_name_answer.answer != PropertyAnswer::kValue) text += ", name unread";
      if (object.content_type_answer.answer != PropertyAnswer::kValue) text += ", kind unread";
      text += "\n";
    }
  }
  return text;
}

std::string DescribeConnection(const Connection& connection) {
  std::string text = "device " + Quoted(connection.device_id) + ", " +
                     std::to_string(connection.calls) + " calls" +
                     (connection.gone ? ", gone" : "") +
                     ", keys asked:" + (connection.keys.file_name ? " file name" : "") +
                     (connection.keys.object_name ? " name" : "") +
                     (connection.keys.content_type ? " kind" : "") + "\n";
  for (const ServedListing& listing : connection.listings) {
    text += "  listed " + Quoted(listing.parent_id) +
            (listing.ended_normally ? "" : " (did not end normally)") + ":\n";
    for (const std::u16string& id : listing.ids) {
      const auto seen = connection.seen.find(id);
      text += "    " + Quoted(id) + " " +
              (seen == connection.seen.end() ? std::string("unread") : DescribeSeen(seen->second)) +
              "\n";
    }
  }
  for (const ServedDeletion& deletion : connection.deletions) {
    text += "  delete, answered " + std::to_string(deletion.result) + ":";
    for (const std::u16string& id : deletion.ids) text += " " + Quoted(id);
    text += "\n";
    for (const auto& [index, status] : deletion.statuses_read) {
      text += "    status " + std::to_string(index) + ": " +
              (status.has_value() ? std::to_string(*status) : std::string("no error value")) + "\n";
    }
  }
  return text;
}

std::string DescribeRun(const std::vector<ptp::WantedFile>& wanted, const FuzzedDeviceLayer& layer,
                        const std::vector<std::u16string>* reported, const std::string& error) {
  std::string text = "request:";
  for (const ptp::WantedFile& file : wanted) {
    text += " {" + Quoted(file.name) + ", " + Quoted(file.month) + "}";
  }
  text += "\n";
  std::set<const FuzzedDevice*> described;
  for (const auto& connection : layer.connections()) {
    text += DescribeConnection(*connection);
    if (described.insert(connection->device).second) {
      text += "device " + Quoted(connection->device_id) + " holds:\n" +
              DescribeDevice(*connection->device);
    }
  }
  if (reported != nullptr) {
    text += "reported:";
    for (const std::u16string& name : *reported) text += " " + Quoted(name);
    text += "\nerror: " + error + "\n";
  }
  return text;
}

void WriteTrace(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

}  // namespace
}  // namespace camvey::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  camvey::fuzz::g_trace = std::getenv("CAMVEY_FUZZ_TRACE") != nullptr;
  if (camvey::fuzz::g_trace) camvey::ptp::SetDeleteTraceWriter(camvey::fuzz::WriteTrace);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace camvey::fuzz;
  AnswerReader reader(data, size);
  const std::vector<camvey::ptp::WantedFile> wanted = DrawRequest(reader);
  FuzzedPhone phone(&reader);
  std::vector<std::u16string> reported;
  std::string error;
  bool passed = false;
  {
    FuzzedDeviceLayer layer(&phone);
    SetRunDescription(
        [&] { return DescribeRun(wanted, layer, passed ? &reported : nullptr, error); });
    reported = camvey::ptp::DeleteWantedFiles(layer, wanted, &error);
    passed = true;
    PassChecks(&phone, layer, wanted).Run(reported, error);
    if (g_trace) std::fputs(DescribeRun(wanted, layer, &reported, error).c_str(), stderr);
    SetRunDescription(nullptr);
  }
  return 0;
}
