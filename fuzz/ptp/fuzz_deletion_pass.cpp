// Runs the deletion pass one to three times in a row, as the service meets a request
// and its repeats, over devices whose every answer comes from the fuzz input and that
// keep, from one pass to the next, what they hold less what left them; the passes
// share one memory of what was sent for deletion. After each pass it checks what must
// hold whatever the devices answered (pass_checks.h and fuzzed_device_layer.h say
// which checks). A broken check aborts with its number and line, after a description
// of the run. With CAMVEY_FUZZ_TRACE set, every run also prints the pass's trace points
// and that description, to read a finding or a seed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/ptp/answer_reader.h"
#include "fuzz/ptp/fuzz_check.h"
#include "fuzz/ptp/fuzzed_device_layer.h"
#include "fuzz/ptp/fuzzed_phone.h"
#include "fuzz/ptp/pass_checks.h"
#include "fuzz/ptp/photo_terms.h"
#include "fuzz/ptp/run_description.h"
#include "ptp/device/delete_trace.h"
#include "ptp/device/deletion_memory.h"
#include "ptp/device/deletion_pass.h"
#include "ptp/request/wanted_file.h"

namespace camvey::fuzz {
namespace {

// Months as the application sends them, and text it should not: the neighbours of the
// folder months, an empty month, a year alone, months out of range or not of six
// digits, a month of year 0.
constexpr const char16_t* kMonths[] = {
    u"202401", u"202312", u"202402", u"",       u"2024", u"abc", u"202413", u"202501",
    u"202412", u"2024 1", u"000101", u"202311", u"1",    u"D",   u"+20401", u"202400"};

bool g_trace = false;

// The size of the application's copy: mostly none or one many objects have, else one
// no object has, the one that agrees with the commonest only in its low 32 bits, or a
// size that is no byte count.
void DrawSize(AnswerReader& reader, ptp::WantedFile* file) {
  file->size.reset();
  file->size_unusable = false;
  switch (reader.Below(8)) {
    case 0:
    case 1:
      break;
    case 2:
    case 3:
      file->size = kObjectSizes[0];
      break;
    case 4:
      file->size = kObjectSizes[1];
      break;
    case 5:
      file->size = 5000;
      break;
    case 6:
      file->size = kObjectSizes[6];
      break;
    default:
      file->size_unusable = true;
      break;
  }
}

// Names upper-cased and never empty, as the request parser makes them.
std::vector<ptp::WantedFile> DrawRequest(AnswerReader& reader) {
  std::vector<ptp::WantedFile> wanted;
  for (std::uint32_t count = reader.Below(9); count > 0; --count) {
    ptp::WantedFile file;
    file.name = Folded(reader.Text(kFileNames));
    file.month = reader.Text(kMonths);
    DrawSize(reader, &file);
    if (!file.name.empty()) wanted.push_back(std::move(file));
  }
  return wanted;
}

// A later request of the run: mostly the one before it again, as the application
// resends a request whose answer it did not get; else that one with one month or one
// size changed, or another.
std::vector<ptp::WantedFile> DrawLaterRequest(AnswerReader& reader,
                                              const std::vector<ptp::WantedFile>& before) {
  const std::uint32_t choice = reader.Below(5);
  switch (choice) {
    case 0:
    case 1:
      return before;
    case 2:
    case 3: {
      std::vector<ptp::WantedFile> changed = before;
      if (changed.empty()) return changed;
      ptp::WantedFile& file = changed[reader.Byte() % changed.size()];
      if (choice == 2) {
        file.month = reader.Text(kMonths);
      } else {
        DrawSize(reader, &file);
      }
      return changed;
    }
    default:
      return DrawRequest(reader);
  }
}

// What left the devices in a pass is gone for the passes after it.
void ApplyDeletions(FuzzedPhone& phone, const PassRecord& pass) {
  for (const std::unique_ptr<Connection>& connection : pass.layer->connections()) {
    for (const ServedDeletion& deletion : connection->deletions) {
      for (std::size_t i = 0; i < deletion.ids.size(); ++i) {
        if (deletion.left[i]) phone.Remove(*connection->device, deletion.ids[i]);
      }
    }
  }
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
  const std::size_t passes = 1 + reader.Below(3);
  FuzzedPhone phone(&reader);
  camvey::ptp::DeletionMemory memory;
  std::vector<PassRecord> run;
  SetRunDescription([&] { return DescribeRun(run, &phone); });
  for (std::size_t i = 0; i < passes; ++i) {
    PassRecord pass;
    pass.wanted = run.empty() ? DrawRequest(reader) : DrawLaterRequest(reader, run.back().wanted);
    if (!run.empty()) phone.Replug();
    pass.layer = std::make_unique<FuzzedDeviceLayer>(&phone);
    run.push_back(std::move(pass));
    PassRecord& current = run.back();
    camvey::ptp::DeleteWantedFiles(*current.layer, current.wanted, &memory, &current.reported,
                                   &current.error);
    current.finished = true;
    PassChecks(&phone, run).Run();
    ApplyDeletions(phone, current);
  }
  if (g_trace) std::fputs(DescribeRun(run, &phone).c_str(), stderr);
  SetRunDescription(nullptr);
  return 0;
}
