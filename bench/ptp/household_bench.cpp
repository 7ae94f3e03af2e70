// The deletion pass over realistic households, with requests sent as an importing
// application sends them.
//
// A household is an iPhone and an iPad, each laid out as Windows shows one ("Internal
// Storage" -> "DCIM" -> a folder per month, "202401__", and "202401_a" when a name
// recurs in a month), and an older iPad whose iOS files its photos in "100APPLE",
// "101APPLE", ... instead (a new folder every thousand files, a guess that only changes
// how its listing splits). Each holds three years of photos numbered by its own four-digit
// counter that wraps after 9999: Live Photos (HEIC and MOV of one stem), edits (IMG_E
// and an .AAE sidecar), screenshots, bursts and videos, every file of its own size.
// Two devices' counters are independent, so one name in one month on both is common.
// A request is the files of a date range of one device, in the order they were taken,
// each as (name, month of its folder, size): every scenario runs once without the sizes
// and once with them.
//
// Every scenario runs on a fresh copy of every household, with one memory shared by the
// requests of the scenario. The generator knows which object each request entry stands
// for, so a deletion is judged by identity, never by name. For each scenario the program
// prints the requests' entries, what became of them, the objects the pass deleted that
// no entry meant ("wrong"), the photos that were the only object of their name and size
// in their own month's folders across the attached devices ("must": a size-aware pass
// deletes them) and how many of those went, then the objects the attached devices hold
// beside those the pass listed, and the device calls it made. Below the table, why the
// entries that stayed were left alone: the last trace line that names each, with names
// and numbers taken out.
//
// Exits 1 when a promise fails: any wrong deletion, or, with sizes, a "must" photo not
// deleted. One kind of wrong deletion is counted apart ("untold") and not judged: without
// a size, an entry whose photo is on no attached device (and was not deleted by this
// process) looks to any pass the same as the lone namesake the rules take for it.
//
//   household_bench [--households N] [--small]
//
// --small builds households with a tenth of the photos and keeps only those whose devices
// use one name in a month of the iPad's request, for a quick check that still meets the
// case that matters.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ptp/device/delete_trace.h"
#include "ptp/device/deletion_memory.h"
#include "ptp/device/deletion_pass.h"
#include "standins/phone/phone_model.h"
#include "standins/phone/simulated_device_layer.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

// Fixed, so that every run builds the same households.
constexpr std::uint64_t kSeed = 20240331;
constexpr int kFirstYear = 2022;
constexpr int kMonths = 36;
// An iPad request takes January to March of the last year; an iPhone, which takes about
// three times as many photos, March alone: a few hundred files each.
constexpr int kIPadFirstMonth = 24;
constexpr int kIPadLastMonth = 26;
constexpr int kIPhoneFirstMonth = 26;
constexpr int kIPhoneLastMonth = 26;

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  // Uniform in [low, high]; the engine's output is the same on every platform.
  std::uint64_t Integer(std::uint64_t low, std::uint64_t high) {
    return low + engine_() % (high - low + 1);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  double Real(double low, double high) { return low + (high - low) * Unit(); }
  bool Chance(double probability) { return Unit() < probability; }
  // `mean` rounded up or down at random, so that small rates still happen.
  int Count(double mean) {
    const double whole = static_cast<double>(static_cast<int>(mean));
    return static_cast<int>(whole) + (Chance(mean - whole) ? 1 : 0);
  }
  template <typename T>
  void Shuffle(std::vector<T>* items) {
    for (std::size_t i = items->size(); i > 1; --i)
      std::swap((*items)[i - 1], (*items)[Integer(0, i - 1)]);
  }

 private:
  std::mt19937_64 engine_;
};

enum Kind : std::size_t { kIPhone = 0, kIPad = 1, kOlderIPad = 2 };
constexpr std::size_t kKinds = 3;
constexpr int kFilesPerOlderFolder = 1000;

// How one device's owner takes photos: rates per month.
struct Habits {
  double photos = 0;
  double live_share = 0;  // photos that are Live Photos: a MOV beside the picture
  double edit_share = 0;  // photos edited on the device: IMG_E... and an .AAE sidecar
  double screenshots = 0;
  double videos = 0;
  double bursts = 0;
  int burst_frames_max = 0;  // a burst takes 5 to this many frames, each numbered
  bool jpeg = false;         // "Most Compatible": pictures as JPG, not HEIC
};

Habits IPhoneHabits(Random& random, double scale) {
  Habits habits;
  habits.photos = random.Real(110.0, 170.0) * scale;
  habits.live_share = random.Real(0.4, 0.6);
  habits.edit_share = random.Real(0.04, 0.08);
  habits.screenshots = random.Real(25.0, 45.0) * scale;
  habits.videos = random.Real(4.0, 10.0) * scale;
  habits.bursts = random.Real(2.0, 3.5) * scale;
  habits.burst_frames_max = 60;
  return habits;
}

Habits IPadHabits(Random& random, double scale) {
  Habits habits;
  habits.photos = random.Real(40.0, 70.0) * scale;
  habits.live_share = random.Real(0.3, 0.6);
  habits.edit_share = random.Real(0.03, 0.06);
  habits.screenshots = random.Real(15.0, 30.0) * scale;
  habits.videos = random.Real(1.0, 4.0) * scale;
  habits.bursts = random.Real(0.2, 0.5) * scale;
  habits.burst_frames_max = 30;
  habits.jpeg = random.Chance(0.5);
  return habits;
}

// One file the generator put on a device.
struct File {
  std::u16string id;
  std::string name;  // upper case, as an iPhone names its files
  int month = 0;     // months from January of the first year
  std::uint64_t size = 0;
};

struct Device {
  phone::SimDevice sim;
  std::vector<File> files;  // in the order they were taken
  bool by_month = true;     // its folders are months, not 100APPLE and onwards
};

using Household = std::array<Device, kKinds>;

std::u16string Wide(const std::string& text) { return text::Utf8ToWide(text); }

std::string MonthText(int month) {
  char text[16];
  std::snprintf(text, sizeof(text), "%04d%02d", kFirstYear + month / 12, month % 12 + 1);
  return text;
}

// Builds one device's three years, month by month, as the camera numbers them.
class DeviceBuilder {
 public:
  DeviceBuilder(Random& random, Kind kind, const Habits& habits)
      : random_(random), habits_(habits), counter_(static_cast<int>(random.Integer(1, 9999))) {
    phone::SimDevice& sim = device_.sim;
    device_.by_month = kind != kOlderIPad;
    sim.id = kind == kIPhone ? u"\\\\?\\usb#vid_05ac&pid_12a8&mi_00#6&1f2e3d4c&0&0000#"
                               u"{6ac27878-a6fa-4155-ba85-f98f491d4f33}"
             : kind == kIPad ? u"\\\\?\\usb#vid_05ac&pid_12ab&mi_00#6&5a6b7c8d&0&0000#"
                               u"{6ac27878-a6fa-4155-ba85-f98f491d4f33}"
                             : u"\\\\?\\usb#vid_05ac&pid_129a&mi_00#6&2b3c4d5e&0&0000#"
                               u"{6ac27878-a6fa-4155-ba85-f98f491d4f33}";
    sim.friendly_name = kind == kIPhone ? u"Apple iPhone" : u"Apple iPad";
    sim.manufacturer = u"Apple Inc.";
    AddObject(u"s10001", phone::kRootId, "Internal Storage", phone::ContentType::kFunctionalObject,
              std::nullopt);
    AddObject(kDcimId, u"s10001", "DCIM", phone::ContentType::kFolder, std::nullopt);
  }

  Device Build() {
    for (int month = 0; month < kMonths; ++month) TakeMonth(month);
    return std::move(device_);
  }

 private:
  static constexpr char16_t kDcimId[] = u"o1";

  enum class Event { kPhoto, kScreenshot, kVideo, kBurst };

  struct Shot {
    std::string name;
    phone::ContentType type;
    std::uint64_t size;
  };

  struct MonthFolder {
    std::u16string id;
    std::set<std::string> names;
  };

  void AddObject(const std::u16string& id, const std::u16string& parent, const std::string& name,
                 phone::ContentType type, std::optional<std::uint64_t> size) {
    phone::SimObject object;
    object.id = id;
    object.parent_id = parent;
    object.name = object.file_name = Wide(name);
    object.type = type;
    object.size = size;
    device_.sim.Add(std::move(object));
  }

  std::u16string NextId() { return u"o" + Wide(std::to_string(++last_id_)); }

  std::string NextName(const char* prefix, const char* extension) {
    counter_ = counter_ % 9999 + 1;
    char name[32];
    std::snprintf(name, sizeof(name), "%s%04d.%s", prefix, counter_, extension);
    return name;
  }

  const char* PictureExtension() const { return habits_.jpeg ? "JPG" : "HEIC"; }
  std::uint64_t PictureSize() {
    return habits_.jpeg ? random_.Integer(1'800'000, 6'500'000)
                        : random_.Integer(1'000'000, 4'500'000);
  }

  void TakeMonth(int month) {
    // August and December: holidays.
    const double season = month % 12 == 7 || month % 12 == 11 ? 1.4 : 1.0;
    const auto count = [&](double rate) {
      return random_.Count(rate * season * random_.Real(0.7, 1.3));
    };
    std::vector<Event> events;
    events.insert(events.end(), count(habits_.photos), Event::kPhoto);
    events.insert(events.end(), count(habits_.screenshots), Event::kScreenshot);
    events.insert(events.end(), count(habits_.videos), Event::kVideo);
    events.insert(events.end(), count(habits_.bursts), Event::kBurst);
    random_.Shuffle(&events);
    folders_.clear();
    for (const Event event : events) {
      switch (event) {
        case Event::kPhoto:
          TakePhoto(month);
          break;
        case Event::kScreenshot:
          Store(month, {{NextName("IMG_", "PNG"), phone::ContentType::kImage,
                         random_.Integer(150'000, 4'000'000)}});
          break;
        case Event::kVideo:
          Store(month, {{NextName("IMG_", "MOV"), phone::ContentType::kVideo,
                         random_.Integer(4'000'000, 600'000'000)}});
          break;
        case Event::kBurst: {
          const int frames = static_cast<int>(random_.Integer(5, habits_.burst_frames_max));
          for (int frame = 0; frame < frames; ++frame) {
            Store(month, {{NextName("IMG_", PictureExtension()), phone::ContentType::kImage,
                           PictureSize()}});
          }
          break;
        }
      }
    }
  }

  void TakePhoto(int month) {
    const std::string picture = NextName("IMG_", PictureExtension());
    const std::string stem = picture.substr(0, picture.rfind('.'));
    std::vector<Shot> shot = {{picture, phone::ContentType::kImage, PictureSize()}};
    if (random_.Chance(habits_.live_share)) {
      shot.push_back(
          {stem + ".MOV", phone::ContentType::kVideo, random_.Integer(1'200'000, 4'000'000)});
    }
    if (random_.Chance(habits_.edit_share)) {
      shot.push_back({"IMG_E" + stem.substr(4) + "." + PictureExtension(),
                      phone::ContentType::kImage, PictureSize()});
      shot.push_back({stem + ".AAE", phone::ContentType::kOther, random_.Integer(600, 25'000)});
    }
    Store(month, shot);
  }

  // Puts every file of one shot into the month's first folder that holds none of their
  // names, opening "YYYYMM_a", "YYYYMM_b", ... as Windows does when a name recurs; on an
  // older iPad into the last "NNNAPPLE" folder, opening the next when it is full.
  void Store(int month, const std::vector<Shot>& shot) {
    if (!device_.by_month) {
      if (older_files_ % kFilesPerOlderFolder == 0) {
        older_folder_ = NextId();
        AddObject(older_folder_, kDcimId,
                  std::to_string(100 + older_files_ / kFilesPerOlderFolder) + "APPLE",
                  phone::ContentType::kFolder, std::nullopt);
      }
      for (const Shot& file : shot) {
        const std::u16string id = NextId();
        AddObject(id, older_folder_, file.name, file.type, file.size);
        device_.files.push_back({id, file.name, month, file.size});
        ++older_files_;
      }
      return;
    }
    const auto free = [&](const MonthFolder& folder) {
      return std::none_of(shot.begin(), shot.end(),
                          [&](const Shot& file) { return folder.names.count(file.name) != 0; });
    };
    auto folder = std::find_if(folders_.begin(), folders_.end(), free);
    if (folder == folders_.end()) {
      const std::string suffix =
          folders_.empty() ? "__" : std::string("_") + static_cast<char>('a' + folders_.size() - 1);
      folders_.push_back({NextId(), {}});
      folder = folders_.end() - 1;
      AddObject(folder->id, kDcimId, MonthText(month) + suffix, phone::ContentType::kFolder,
                std::nullopt);
    }
    for (const Shot& file : shot) {
      const std::u16string id = NextId();
      AddObject(id, folder->id, file.name, file.type, file.size);
      folder->names.insert(file.name);
      device_.files.push_back({id, file.name, month, file.size});
    }
  }

  Random& random_;
  Habits habits_;
  int counter_;  // the last number given, 1 to 9999
  int last_id_ = 1;
  std::vector<MonthFolder> folders_;  // of the month being taken
  std::u16string older_folder_;       // an older iPad's last NNNAPPLE folder
  int older_files_ = 0;               // the files an older iPad holds
  Device device_;
};

// The months in which both devices of a household use one name.
std::set<int> SharedMonths(const Household& household) {
  std::set<std::pair<int, std::string>> iphone;
  for (const File& file : household[kIPhone].files) iphone.insert({file.month, file.name});
  std::set<int> months;
  for (const File& file : household[kIPad].files) {
    if (iphone.count({file.month, file.name}) != 0) months.insert(file.month);
  }
  return months;
}

bool SharesANameInTheIPadsRequest(const Household& household) {
  const std::set<int> months = SharedMonths(household);
  return months.lower_bound(kIPadFirstMonth) != months.upper_bound(kIPadLastMonth);
}

// `count` households, or with `sharing_only` the first `count` of those in which both
// devices use one name in a month of the iPad's request.
std::vector<Household> MakeHouseholds(int count, double scale, bool sharing_only) {
  Random random(kSeed);
  // Drawn apart, so that the iPhones and iPads stay the same with or without them.
  Random older(kSeed + 1);
  std::vector<Household> households;
  while (static_cast<int>(households.size()) < count) {
    const Habits iphone = IPhoneHabits(random, scale);
    const Habits ipad = IPadHabits(random, scale);
    Household household;
    household[kIPhone] = DeviceBuilder(random, kIPhone, iphone).Build();
    household[kIPad] = DeviceBuilder(random, kIPad, ipad).Build();
    if (sharing_only && !SharesANameInTheIPadsRequest(household)) continue;
    const Habits older_ipad = IPadHabits(older, scale);
    household[kOlderIPad] = DeviceBuilder(older, kOlderIPad, older_ipad).Build();
    households.push_back(std::move(household));
  }
  return households;
}

// One step of a scenario: a request for the photos of one device, sent while the listed
// devices are attached, in that order.
struct Step {
  Kind requester;
  std::vector<Kind> attached;
};

struct Scenario {
  const char* label;
  std::vector<Step> steps;
};

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"iPhone alone, its request", {{kIPhone, {kIPhone}}}},
      {"iPhone alone, its request sent twice", {{kIPhone, {kIPhone}}, {kIPhone, {kIPhone}}}},
      {"both attached, the iPad's request", {{kIPad, {kIPhone, kIPad}}}},
      {"both attached, the iPhone's request", {{kIPhone, {kIPhone, kIPad}}}},
      {"iPhone attached, the iPad's request", {{kIPad, {kIPhone}}}},
      {"the iPad's request without, then with it", {{kIPad, {kIPhone}}, {kIPad, {kIPhone, kIPad}}}},
      {"iPhone and older iPad, the older's request", {{kOlderIPad, {kIPhone, kOlderIPad}}}},
      {"iPhone and older iPad, the iPhone's", {{kIPhone, {kIPhone, kOlderIPad}}}},
  };
  return scenarios;
}

// A request entry and the object it stands for.
struct Entry {
  WantedFile wanted;
  const File* file;
};

std::vector<Entry> MakeRequest(const Device& device, Kind kind, bool sizes) {
  const int first = kind == kIPhone ? kIPhoneFirstMonth : kIPadFirstMonth;
  const int last = kind == kIPhone ? kIPhoneLastMonth : kIPadLastMonth;
  std::vector<Entry> entries;
  for (const File& file : device.files) {
    if (file.month < first || file.month > last) continue;
    WantedFile wanted;
    wanted.name = Wide(file.name);
    wanted.month = Wide(MonthText(file.month));
    if (sizes) wanted.size = file.size;
    entries.push_back({std::move(wanted), &file});
  }
  return entries;
}

// What one scenario's requests came to, over every household.
struct Tally {
  long requested = 0;
  long deleted = 0;      // entries whose own object left its device
  long gone_before = 0;  // entries whose object an earlier request of the scenario deleted
  long left_alone = 0;
  long wrong = 0;           // objects deleted that no entry of the request meant
  long wrong_unjudged = 0;  // of those, namesakes of photos nothing tells apart (see top)
  long must = 0;
  long must_deleted = 0;
  long answered = 0;  // names the pass reported as deleted
  long held = 0;      // objects on the attached devices
  long listed = 0;    // objects the pass's listings handed out
  long enum_objects = 0;
  long next = 0;
  long get_values = 0;
  long deletes = 0;
  std::map<std::string, long> reasons;
};

std::vector<std::string>* g_trace = nullptr;
void CollectTrace(const std::string& line) { g_trace->push_back(line); }

// The trace line with every quoted text and every word holding a digit (names, months,
// device ids, counts, codes) taken out.
std::string LineFormat(const std::string& line) {
  std::string unquoted;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      if (!quoted) unquoted += "\"*\"";
      quoted = !quoted;
    } else if (!quoted) {
      unquoted += c;
    }
  }
  std::string format;
  std::size_t start = 0;
  while (start <= unquoted.size()) {
    std::size_t end = unquoted.find(' ', start);
    if (end == std::string::npos) end = unquoted.size();
    std::string word = unquoted.substr(start, end - start);
    if (std::any_of(word.begin(), word.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
      word = word.back() == ',' ? "#," : "#";
    }
    if (!format.empty()) format += ' ';
    format += word;
    start = end + 1;
  }
  return format;
}

// Each word of the trace, stripped of quotes and a final comma, to the last line that
// holds it.
std::map<std::string, std::size_t> LastLineByWord(const std::vector<std::string>& lines) {
  std::map<std::string, std::size_t> last;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    std::size_t start = 0;
    while (start < line.size()) {
      std::size_t end = line.find(' ', start);
      if (end == std::string::npos) end = line.size();
      std::string word = line.substr(start, end - start);
      while (!word.empty() && (word.back() == ',' || word.back() == '"')) word.pop_back();
      if (!word.empty() && word.front() == '"') word.erase(0, 1);
      last[word] = index;
      start = end + 1;
    }
  }
  return last;
}

using ObjectKey = std::pair<std::u16string, std::u16string>;  // device id, object id

// The requests of one scenario over one household, in order, with one memory.
class ScenarioRun {
 public:
  ScenarioRun(const Household& household, bool sizes, Tally* tally)
      : world_(household), sizes_(sizes), tally_(*tally) {}

  void Run(const Step& step) {
    const std::vector<Entry> entries = MakeRequest(world_[step.requester], step.requester, sizes_);
    phone::Phone phone;
    for (const Kind kind : step.attached) phone.devices.push_back(std::move(world_[kind].sim));
    const Survey survey = Look(step, phone, entries);
    const PassResult result = RunPass(&phone, entries, survey);
    Judge(step, phone, entries, survey, result);
    for (std::size_t i = 0; i < step.attached.size(); ++i) {
      world_[step.attached[i]].sim = std::move(phone.devices[i]);
    }
  }

 private:
  // The household as a request meets it.
  struct Survey {
    std::vector<bool> present;  // by entry: its object is on an attached device
    std::vector<bool> must;     // by entry: the only object of its name and size in its month
    // Names whose entry's object is on no attached device and was not deleted by this
    // process: without a size, nothing tells such a photo from a namesake.
    std::set<std::string> untellable;
    std::map<ObjectKey, std::size_t> children;  // of every folder and storage
  };

  struct PassResult {
    std::vector<std::string> trace;
    std::vector<std::u16string> answered;
  };

  Survey Look(const Step& step, const phone::Phone& phone, const std::vector<Entry>& entries) {
    Survey survey;
    std::set<int> months;
    for (const Entry& entry : entries) months.insert(entry.file->month);
    std::map<std::tuple<int, std::string, std::uint64_t>, int> same_name_and_size;
    const phone::SimDevice* requester = nullptr;
    for (std::size_t i = 0; i < step.attached.size(); ++i) {
      const phone::SimDevice& device = phone.devices[i];
      if (step.attached[i] == step.requester) requester = &device;
      tally_.held += static_cast<long>(device.objects.size()) - 1;
      for (const auto& [id, object] : device.objects) {
        if (object.is_folder()) survey.children[{device.id, id}] = object.children.size();
      }
      for (const File& file : world_[step.attached[i]].files) {
        if (months.count(file.month) != 0 && device.Find(file.id) != nullptr) {
          ++same_name_and_size[{file.month, file.name, file.size}];
        }
      }
    }
    for (const Entry& entry : entries) {
      const File& file = *entry.file;
      const bool present = requester != nullptr && requester->Find(file.id) != nullptr;
      survey.present.push_back(present);
      // An older iPad's photos lie in no month's folders: only its unique names can go.
      survey.must.push_back(present && world_[step.requester].by_month &&
                            same_name_and_size[{file.month, file.name, file.size}] == 1);
      if (!sizes_ && !present && gone_.count({ids_[step.requester], file.id}) == 0) {
        survey.untellable.insert(file.name);
      }
    }
    return survey;
  }

  PassResult RunPass(phone::Phone* phone, const std::vector<Entry>& entries, const Survey& survey) {
    std::vector<WantedFile> wanted;
    wanted.reserve(entries.size());
    for (const Entry& entry : entries) wanted.push_back(entry.wanted);
    PassResult result;
    g_trace = &result.trace;
    SetDeleteTraceWriter(&CollectTrace);
    phone::SimulatedDeviceLayer layer(phone);
    std::string error;
    DeleteWantedFiles(layer, wanted, &memory_, &result.answered, &error);
    SetDeleteTraceWriter(nullptr);
    g_trace = nullptr;
    const phone::OperationCounts& counts = layer.counts();
    tally_.enum_objects += counts.enum_objects;
    tally_.next += counts.next;
    tally_.get_values += counts.get_values;
    tally_.deletes += counts.delete_request;
    for (const auto& [where, times] : layer.all_enumerations()) {
      const auto found = survey.children.find(where);
      if (found != survey.children.end()) {
        tally_.listed += static_cast<long>(found->second) * times;
      }
    }
    return result;
  }

  void Judge(const Step& step, const phone::Phone& phone, const std::vector<Entry>& entries,
             const Survey& survey, const PassResult& result) {
    const std::u16string& requester_id = ids_[step.requester];
    std::set<ObjectKey> meant;
    for (const Entry& entry : entries) meant.insert({requester_id, entry.file->id});
    std::set<ObjectKey> deleted_now;
    std::set<std::string> namesakes_deleted;
    for (const phone::DeletedObject& object : phone.deleted) {
      deleted_now.insert({object.device_id, object.object_id});
      if (meant.count({object.device_id, object.object_id}) != 0) continue;
      const std::string name = text::WideToUtf8(object.name);
      ++tally_.wrong;
      if (survey.untellable.count(name) != 0) ++tally_.wrong_unjudged;
      namesakes_deleted.insert(name);
    }
    tally_.requested += static_cast<long>(entries.size());
    tally_.answered += static_cast<long>(result.answered.size());
    const std::map<std::string, std::size_t> last_line = LastLineByWord(result.trace);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const File& file = *entries[i].file;
      const bool deleted = deleted_now.count({requester_id, file.id}) != 0;
      if (survey.must[i]) {
        ++tally_.must;
        if (deleted) ++tally_.must_deleted;
      }
      if (deleted) {
        ++tally_.deleted;
        gone_.insert({requester_id, file.id});
        continue;
      }
      if (gone_.count({requester_id, file.id}) != 0) {
        ++tally_.gone_before;
        continue;
      }
      ++tally_.left_alone;
      std::string reason;
      const auto line = last_line.find(file.name);
      if (namesakes_deleted.count(file.name) != 0) {
        reason = "(a namesake was deleted in its place)";
      } else if (line != last_line.end()) {
        reason = LineFormat(result.trace[line->second]);
      } else {
        reason = "(no trace line names it)";
      }
      if (!survey.present[i]) reason.insert(0, "[its device not attached] ");
      ++tally_.reasons[reason];
    }
  }

  Household world_;
  // The devices' ids, which stay known while a device is lent to the simulated phone.
  std::array<std::u16string, kKinds> ids_ = {world_[kIPhone].sim.id, world_[kIPad].sim.id,
                                             world_[kOlderIPad].sim.id};
  bool sizes_;
  Tally& tally_;
  DeletionMemory memory_;
  std::set<ObjectKey> gone_;  // entries' objects deleted by the scenario's requests
};

// What the generator made: sizes, and how often names meet.
void PrintHouseholds(const std::vector<Household>& households) {
  std::array<long, kKinds> objects = {0, 0, 0};
  long second_folders = 0;
  long iphone_names_in_two_years = 0;
  int shared_ever = 0;
  int shared_in_request = 0;
  for (const Household& household : households) {
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
      const Device& device = household[kind];
      objects[kind] += static_cast<long>(device.sim.objects.size()) - 1;
      for (const auto& [id, object] : device.sim.objects) {
        if (object.is_folder() && object.name.has_value() && object.name->size() == 8 &&
            (*object.name)[6] == u'_' && (*object.name)[7] != u'_') {
          ++second_folders;
        }
      }
    }
    std::map<std::string, std::set<int>> years_of_name;
    for (const File& file : household[kIPhone].files)
      years_of_name[file.name].insert(file.month / 12);
    for (const auto& [name, years] : years_of_name) iphone_names_in_two_years += years.size() > 1;
    shared_ever += !SharedMonths(household).empty();
    shared_in_request += SharesANameInTheIPadsRequest(household);
  }
  const long count = static_cast<long>(households.size());
  std::printf(
      "%ld households (seed %llu), three years from January %d, each an iPhone (on average %ld "
      "objects), an iPad (%ld objects) and an older iPad (%ld objects, in NNNAPPLE folders); "
      "\"YYYYMM_a\" folders: %ld in all\n",
      count, static_cast<unsigned long long>(kSeed), kFirstYear, objects[kIPhone] / count,
      objects[kIPad] / count, objects[kOlderIPad] / count, second_folders);
  std::printf(
      "a name in one month on both devices: in %d of %ld households over the three years, in %d "
      "within the iPad's request months; iPhone names used in two years: %ld per household\n",
      shared_ever, count, shared_in_request, iphone_names_in_two_years / count);
  std::printf(
      "requests: an iPad's photos of %s to %s, the iPhone's of %s; attached devices in the "
      "order listed\n\n",
      MonthText(kIPadFirstMonth).c_str(), MonthText(kIPadLastMonth).c_str(),
      MonthText(kIPhoneFirstMonth).c_str());
}

struct Row {
  const Scenario* scenario;
  bool sizes;
  Tally tally;
};

void PrintTable(const std::vector<Row>& rows) {
  std::printf("%-4s %-42s %-5s %9s %7s %5s %5s %5s %6s %5s %5s %8s %8s %7s %11s %6s %9s %6s\n", "",
              "scenario", "sizes", "requested", "deleted", "gone", "left", "wrong", "untold",
              "must", "m.del", "answered", "held", "listed", "EnumObjects", "Next", "GetValues",
              "Delete");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Tally& t = rows[i].tally;
    std::printf(
        "%-4s %-42s %-5s %9ld %7ld %5ld %5ld %5ld %6ld %5ld %5ld %8ld %8ld %7ld %11ld %6ld %9ld "
        "%6ld\n",
        ("[" + std::to_string(i + 1) + "]").c_str(), rows[i].scenario->label,
        rows[i].sizes ? "yes" : "no", t.requested, t.deleted, t.gone_before, t.left_alone, t.wrong,
        t.wrong_unjudged, t.must, t.must_deleted, t.answered, t.held, t.listed, t.enum_objects,
        t.next, t.get_values, t.deletes);
  }
  std::printf(
      "\nSums over the households and the requests of each scenario.\n"
      "  requested  request entries\n"
      "  deleted    entries whose own object left its device\n"
      "  gone       entries whose object an earlier request of the scenario deleted\n"
      "  left       the other entries: left alone\n"
      "  wrong      objects deleted that no entry of their request meant\n"
      "  untold     of those, namesakes of photos asked for without a size whose device is not\n"
      "             attached: nothing tells them apart, they are shown and not judged\n"
      "  must       entries that were the only object of their name and size in their own\n"
      "             month's folders across the attached devices\n"
      "  m.del      of those, deleted\n"
      "  answered   names the pass reported deleted\n"
      "  held       objects on the attached devices\n"
      "  listed     objects the pass's listings handed out\n"
      "  then the device calls of the pass\n");
  std::printf("\nleft alone, by the last trace line that names the entry:\n");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].tally.reasons.empty()) continue;
    std::printf("[%zu] %s, %s sizes\n", i + 1, rows[i].scenario->label,
                rows[i].sizes ? "with" : "without");
    for (const auto& [reason, count] : rows[i].tally.reasons) {
      std::printf("  %7ld  %s\n", count, reason.c_str());
    }
  }
}

// Prints each promise that failed; true when none did.
bool PromisesKept(const std::vector<Row>& rows) {
  bool kept = true;
  std::printf("\n");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Tally& t = rows[i].tally;
    if (t.wrong > t.wrong_unjudged) {
      std::printf("FAILED [%zu]: %ld objects deleted that no entry meant\n", i + 1,
                  t.wrong - t.wrong_unjudged);
      kept = false;
    }
    if (rows[i].sizes && t.must_deleted < t.must) {
      std::printf(
          "FAILED [%zu]: %ld of %ld photos alone with their name and size in their month "
          "not deleted\n",
          i + 1, t.must - t.must_deleted, t.must);
      kept = false;
    }
  }
  if (kept) std::printf("every promise kept\n");
  return kept;
}

int Usage() {
  std::fprintf(stderr, "usage: household_bench [--households N] [--small]\n");
  return 2;
}

}  // namespace
}  // namespace camvey::ptp

int main(int argc, char** argv) {
  using namespace camvey::ptp;  // NOLINT(google-build-using-namespace)
  int count = 20;
  bool small = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--small") {
      small = true;
    } else if (argument == "--households" && i + 1 < argc) {
      count = std::atoi(argv[++i]);
      if (count < 1) return Usage();
    } else {
      return Usage();
    }
  }
  const std::vector<Household> households = MakeHouseholds(count, small ? 0.1 : 1.0, small);
  PrintHouseholds(households);
  std::vector<Row> rows;
  for (const Scenario& scenario : Scenarios()) {
    for (const bool sizes : {false, true}) {
      Row& row = rows.emplace_back(Row{&scenario, sizes, {}});
      for (const Household& household : households) {
        ScenarioRun run(household, sizes, &row.tally);
        for (const Step& step : scenario.steps) run.Run(step);
      }
    }
  }
  PrintTable(rows);
  return PromisesKept(rows) ? 0 : 1;
}
