#include "ptp/device/deletion_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "standins/phone/simulated_device_layer.h"
#include "tests/ptp/device/layer_under_test.h"
#include "tests/ptp/device/sim_phone.h"

namespace camvey::ptp {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

struct PassOutcome {
  std::vector<std::string> deleted;
  std::string error;
  std::vector<std::string> trace;
};

// Each test runs over every device layer of the build.
class DeletionPassTest : public ::testing::TestWithParam<LayerKind> {
 protected:
  // A pass as the first of its process, or after those that filled `memory`.
  PassOutcome RunPass(phone::Phone* phone, const std::vector<WantedFile>& wanted,
                      DeletionMemory* memory = nullptr) {
    DeletionMemory first;
    DeviceLayer& layer = layer_->Serve(phone);
    TraceCapture trace;
    PassOutcome outcome;
    std::vector<std::u16string> deleted;
    DeleteWantedFiles(layer, wanted, memory != nullptr ? memory : &first, &deleted, &outcome.error);
    outcome.deleted = Utf8(deleted);
    outcome.trace = trace.lines();
    layer_->Finish();
    return outcome;
  }

  int Enumerations(const std::u16string& device_id, const std::u16string& parent_id) const {
    const auto all = layer_->enumerations();
    const auto found = all.find({device_id, parent_id});
    return found == all.end() ? 0 : found->second;
  }

  std::unique_ptr<LayerUnderTest> layer_ = GetParam().make();
};

INSTANTIATE_TEST_SUITE_P(Layers, DeletionPassTest, ::testing::ValuesIn(LayerKinds()),
                         LayerKindName);

// One Apple phone with one storage holding `children` (JSON objects).
std::string Phone(const std::string& children, const std::string& device_extra = "") {
  return R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", )"
         R"("manufacturer": "Apple Inc.")" +
         device_extra + R"(, "storages": [{"id": "s", "name": "Internal Storage", "children": [)" +
         children + "]}]}]}";
}

// A top-level folder with one image per name; object ids are "<id>/<name>".
std::string Folder(const std::string& id, const std::string& name,
                   const std::vector<std::string>& files, const std::string& faults = "") {
  std::string json = R"({"id": ")" + id + R"(", "name": ")" + name + R"(", "children": [)";
  for (std::size_t i = 0; i < files.size(); ++i) {
    json += (i > 0 ? ", " : "") + std::string(R"({"id": ")") + id + "/" + files[i] +
            R"(", "name": ")" + files[i] + R"(")" + (faults.empty() ? "" : faults) + "}";
  }
  return json + "]}";
}

// A top-level DCIM holding `folders` (JSON objects), as Windows shows an iPhone.
std::string Dcim(const std::string& folders, const std::string& extra = "") {
  return R"({"id": "dcim", "name": "DCIM")" + extra + R"(, "children": [)" + folders + "]}";
}

bool OnPhone(const phone::Phone& phone, const std::u16string& object_id) {
  return std::any_of(phone.devices.begin(), phone.devices.end(),
                     [&](const phone::SimDevice& device) { return device.Find(object_id); });
}

TEST_P(DeletionPassTest, NothingWantedTouchesNoDevice) {
  for (const std::vector<WantedFile>& wanted :
       {std::vector<WantedFile>{}, std::vector<WantedFile>{{u"", u"202401"}}}) {
    phone::Phone phone = PhoneFromJson(Phone(Folder("f", "202401__", {"A.JPG"})));
    const PassOutcome outcome = RunPass(&phone, wanted);
    EXPECT_THAT(outcome.deleted, IsEmpty());
    EXPECT_EQ(outcome.error, "not_found");
    EXPECT_EQ(layer_->counts().create_manager, 0);
  }
}

TEST_P(DeletionPassTest, EarlyFailuresRecordTheirCode) {
  struct Case {
    const char* label;
    std::string phone;
    const char* error;
  };
  const std::string apple = Phone(Folder("f", "202401__", {"A.JPG"}));
  const Case cases[] = {
      {"manager", R"({"faults": ["create_manager"], "devices": []})", "wpd_unavailable"},
      {"no device", R"({"devices": []})", "no_camera"},
      {"no Apple device",
       R"({"devices": [{"id": "cam", "friendly_name": "Camera", "manufacturer": "Contoso"}]})",
       "no_camera"},
      {"device count", R"({"faults": ["device_count"], )" + apple.substr(1), "no_camera"},
      {"key set", R"({"faults": ["create_key_collection"], )" + apple.substr(1), "wpd_unavailable"},
      {"only Apple device busy",
       Phone(Folder("f", "202401__", {"A.JPG"}), R"(, "faults": ["open"])"), "device_busy"},
  };
  for (const Case& test : cases) {
    phone::Phone phone = PhoneFromJson(test.phone);
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
  }
}

TEST_P(DeletionPassTest, LooksInTheMonthAndItsNeighboursFirst) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202312__", {"A.JPG"}) + ", " +
                                           Folder("f2", "202401__", {"C.JPG"}) + ", " +
                                           Folder("f3", "202305__", {"B.JPG"})));
  const PassOutcome outcome =
      RunPass(&phone, {{u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}, {u"A.JPG", u"202401"}});
  // The month's own folders, then its neighbours', then the unique-name search.
  EXPECT_THAT(outcome.deleted, ElementsAre("C.JPG", "A.JPG", "B.JPG"));
  EXPECT_EQ(outcome.error, "");
  EXPECT_THAT(
      outcome.trace,
      ElementsAre(AllOf(StartsWith(R"(delete: "Internal Storage" holds 3 folder(s), listed in )"),
                        EndsWith(" ms")),
                  "delete: looking in 202401__", "delete: looking in 202312__"));
}

TEST_P(DeletionPassTest, LeavesANameFoundTwiceOutsideTheMonthAlone) {
  phone::Phone phone = PhoneFromJson(
      Phone(Folder("f1", "202305__", {"B.JPG"}) + ", " + Folder("f2", "Screenshots", {"b.jpg"})));
  const PassOutcome outcome = RunPass(&phone, {{u"B.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_EQ(outcome.error, "not_found");
  EXPECT_THAT(outcome.trace, Contains("delete: B.JPG is on the phone 2 times, left alone"));
  EXPECT_TRUE(OnPhone(phone, u"f1/B.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f2/b.jpg"));
}

TEST_P(DeletionPassTest, EmptyMonthIsFoundOnlyByUniqueName) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG"})));
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u""}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG"));
  EXPECT_THAT(outcome.trace, Not(Contains(HasSubstr("looking in"))));
}

// A neighbour's photo of the same name, listed first, must not take the place of the copy
// in the name's own month: camera counters wrap, so it may never have been copied.
TEST_P(DeletionPassTest, OwnMonthComesBeforeItsNeighbours) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202312__", {"A.JPG", "B.JPG"}) + ", " +
                                           Folder("f2", "202401__", {"C.JPG", "E.JPG"}) + ", " +
                                           Folder("f3", "202401_a", {"A.JPG"}) + ", " +
                                           Folder("f4", "202402__", {"D.JPG"})));
  // E.JPG is asked for under 202402, whose neighbour 202401__ holds it: that folder is
  // searched in both rounds and listed once.
  const PassOutcome outcome = RunPass(
      &phone,
      {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}, {u"E.JPG", u"202402"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("C.JPG", "A.JPG", "B.JPG", "E.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"f3/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f1/A.JPG"));
  EXPECT_THAT(
      outcome.trace,
      ElementsAre(StartsWith("delete: \"Internal Storage\" holds"), "delete: looking in 202401__",
                  "delete: looking in 202401_a", "delete: looking in 202402__",
                  "delete: looking in 202312__", "delete: looking in 202401__",
                  "delete: looking in 202401_a", "delete: looking in 202402__"));
  for (const auto& [where, count] : layer_->enumerations()) {
    EXPECT_EQ(count, 1) << WideToUtf8(where.second);
  }
}

// A month group takes a name only when exactly one object carries it there: with two,
// either may be a photo that was never copied (counters wrap, letters differ in case,
// a month that is no real month takes every folder it begins).
TEST_P(DeletionPassTest, AMonthGroupTakesANameOnlyFromItsOnlyCarrier) {
  const struct {
    const char* label;
    std::string folders;
    std::string month;
    std::string trace;
  } cases[] = {
      {"both neighbours",
       Folder("f1", "202312__", {"A.JPG"}) + ", " + Folder("f2", "202401__", {"B.JPG"}) + ", " +
           Folder("f3", "202402__", {"A.JPG"}),
       "202401", "delete: A.JPG is in the folders beside 202401 2 times, left alone"},
      {"two folders of the month",
       Folder("f1", "202401__", {"A.JPG"}) + ", " + Folder("f2", "202401_a", {"A.JPG"}) + ", " +
           Folder("f3", "202312__", {"A.JPG"}),
       "202401", "delete: A.JPG is in the folders of 202401 2 times, left alone"},
      {"letters in another case", Folder("f1", "202401__", {"a.jpg", "A.JPG"}), "202401",
       "delete: A.JPG is in the folders of 202401 2 times, left alone"},
      {"a month that is no real month",
       Folder("f1", "202401__", {"A.JPG"}) + ", " + Folder("f2", "202406__", {"A.JPG"}), "2024",
       "delete: A.JPG is in the folders of 2024 2 times, left alone"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(Phone(test.folders));
    const PassOutcome outcome =
        RunPass(&phone, {{u"A.JPG", Utf8ToWide(test.month)}, {u"B.JPG", u"202401"}});
    EXPECT_TRUE(std::all_of(phone.deleted.begin(), phone.deleted.end(),
                            [](const phone::DeletedObject& gone) { return gone.name != u"A.JPG"; }))
        << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
  }
  // The prefix rule still finds a name a month that is no real month holds once.
  phone::Phone phone = PhoneFromJson(
      Phone(Folder("f1", "202401__", {"A.JPG"}) + ", " + Folder("f2", "202406__", {"B.JPG"})));
  EXPECT_THAT(RunPass(&phone, {{u"A.JPG", u"2024"}}).deleted, ElementsAre("A.JPG"));
}

// A copy hidden in its own month's folders may be the one that was copied: a neighbour's
// namesake is then left alone, and so is the name.
TEST_P(DeletionPassTest, NeighboursAreLeftAloneWhenTheOwnMonthWasNotSeenWhole) {
  const std::string month_unseen =
      "delete: the folders of 202401 were not seen whole, its neighbours are left alone";
  const struct {
    const char* label;
    std::string own_month;
    std::string trace;
  } cases[] = {
      {"failed Next", R"({"id": "f2", "name": "202401__", "children": [
           {"id": "f2/A", "name": "A.JPG", "faults": ["next"]}]})",
       month_unseen},
      {"unreadable photo", R"({"id": "f2", "name": "202401__", "children": [
           {"id": "f2/A", "name": "A.JPG", "faults": ["get_values"]}]})",
       month_unseen},
      {"folder of unknown kind", R"({"id": "f2", "name": "202401__", "faults": ["content_type"],
           "children": [{"id": "f2/A", "name": "A.JPG"}]})",
       month_unseen},
      {"photo named only by its object name", R"({"id": "f2", "name": "202401__", "children": [
           {"id": "f2/A", "name": "Holiday", "file_name": null}]})",
       month_unseen},
      {"unreadable folder", R"({"id": "f2", "name": "202401__", "faults": ["get_values"],
           "children": [{"id": "f2/A", "name": "A.JPG"}]})",
       R"(delete: the folders of "Internal Storage" were not all seen, neighbouring months are left alone)"},
      {"folder named only by its object name", R"({"id": "f2", "name": "Trip", "file_name": null,
           "children": [{"id": "f2/A", "name": "A.JPG"}]})",
       R"(delete: the folders of "Internal Storage" were not all seen, neighbouring months are left alone)"},
  };
  for (const auto& test : cases) {
    phone::Phone phone =
        PhoneFromJson(Phone(Folder("f1", "202312__", {"A.JPG"}) + ", " + test.own_month));
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"f1/A.JPG")) << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
  }
}

// An object name that stands in for an unreadable file name is no evidence of the
// file: the object may be any photo. It keeps its shown name from being taken in its
// group, but is never chosen itself.
TEST_P(DeletionPassTest, AFallbackNameIsNeverChosen) {
  phone::Phone phone = PhoneFromJson(Phone(R"({"id": "f1", "name": "202401__", "children": [
      {"id": "f1/777", "name": "IMG_0001.HEIC", "file_name": "IMG_0777.HEIC",
       "faults": ["file_name"]}, {"id": "f1/2", "name": "IMG_0002.HEIC", "file_name": null}]},
    {"id": "f2", "name": "202401_a", "children": [{"id": "f2/1", "name": "IMG_0001.HEIC"}]})"));
  const PassOutcome outcome =
      RunPass(&phone, {{u"IMG_0001.HEIC", u"202401"}, {u"IMG_0002.HEIC", u"202401"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_TRUE(phone.deleted.empty());
  EXPECT_THAT(outcome.trace,
              Contains("delete: IMG_0001.HEIC is in the folders of 202401 2 times, left alone"));
  EXPECT_THAT(outcome.trace, Contains("delete: IMG_0002.HEIC is only the name shown for an object "
                                      "whose file name could not be read, left alone"));
}

// A driver may hand over the last child together with "no more objects". That child is
// there: missing it would leave the storage unsearched, make the own month look seen
// whole so that a neighbour's namesake goes, and make a name found twice look unique.
TEST_P(DeletionPassTest, TheLastChildThatComesWithNoMoreObjectsIsSeen) {
  phone::Phone phone = PhoneFromJson(R"({"devices": [{"id": "usb#iphone",
    "friendly_name": "iPhone", "faults": ["false_with_last_id"], "storages": [
      {"id": "s1", "name": "Internal Storage", "children": [)" +
                                     Folder("f1", "202312__", {"A.JPG"}) + ", " +
                                     Folder("f2", "202401__", {"B.JPG", "A.JPG"}) + ", " +
                                     Folder("f3", "Other", {"U.JPG", "V.JPG"}) + ", " +
                                     Folder("f4", "More", {"U.JPG"}) + R"(]},
      {"id": "s2", "name": "Card"}]}]})");
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"U.JPG", u""}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"f2/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f1/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f3/U.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f4/U.JPG"));
  EXPECT_THAT(outcome.trace, Contains("delete: U.JPG is on the phone 2 times, left alone"));
}

// Windows shows an iPhone's month folders inside DCIM. They are searched as folders
// directly under the storage are: own month, then neighbours, then unique names over
// every camera-roll folder of the storage together; nothing deeper is ever taken.
TEST_P(DeletionPassTest, TheCameraRollInsideDcimIsSearched) {
  phone::Phone phone = PhoneFromJson(Phone(
      Dcim(Folder("d1", "202312__", {"A.JPG", "N.JPG"}) + ", " +
           R"({"id": "d2", "name": "202401__", "children": [{"id": "d2/A.JPG", "name": "A.JPG"},
             {"id": "d2/sub", "name": "Sub", "children": [{"id": "deep", "name": "Z.JPG"}]}]}, )" +
           Folder("d3", "100APPLE", {"U.JPG"}) + ", " + Folder("d4", "202311__", {"D.JPG"}) +
           R"(, {"id": "loose", "name": "L.JPG"})") +
      ", " + Folder("f1", "202305__", {"D.JPG"})));
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"},
                                               {u"N.JPG", u"202401"},
                                               {u"U.JPG", u"202401"},
                                               {u"D.JPG", u"202401"},
                                               {u"L.JPG", u""},
                                               {u"Z.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "N.JPG", "L.JPG", "U.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"d2/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"d1/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"deep"));
  EXPECT_THAT(outcome.trace, Contains("delete: DCIM holds 5 object(s)"));
  EXPECT_THAT(outcome.trace, Contains("delete: D.JPG is on the phone 2 times, left alone"));
}

// DCIM's own listing is one the pass relies on: when it ended early or holds an object
// the pass could not read, a month folder may hide there, so neither a neighbour's
// namesake nor a unique name is taken from that storage. The own month still decides.
TEST_P(DeletionPassTest, AnIncompleteDcimHoldsTheWiderSearchesBack) {
  const char* gaps[] = {R"({"id": "g", "name": "202402__", "children": [], "faults": ["next"]})",
                        R"({"id": "g", "name": "X", "faults": ["get_values"]})",
                        R"({"id": "g", "name": "202402__", "faults": ["content_type"]})"};
  for (const char* gap : gaps) {
    phone::Phone phone = PhoneFromJson(
        R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", "storages": [
          {"id": "s1", "name": "Internal Storage", "children": [)" +
        Dcim(Folder("m", "202401__", {"M.JPG"}) + ", " + Folder("n", "202312__", {"A.JPG"}) + ", " +
             Folder("o", "100APPLE", {"U.JPG"}) + ", " + gap) +
        R"(]}, {"id": "s2", "name": "Card", "children": [)" + Folder("b", "Other", {"U.JPG"}) +
        "]}]}]}");
    const PassOutcome outcome =
        RunPass(&phone, {{u"M.JPG", u"202401"}, {u"A.JPG", u"202401"}, {u"U.JPG", u""}});
    EXPECT_THAT(outcome.deleted, ElementsAre("M.JPG", "U.JPG")) << gap;
    EXPECT_TRUE(OnPhone(phone, u"n/A.JPG")) << gap;
    EXPECT_TRUE(OnPhone(phone, u"o/U.JPG")) << gap;
    EXPECT_FALSE(OnPhone(phone, u"b/U.JPG")) << gap;
  }
}

// With several Apple devices, every device's month folders come before any device's
// unique names, and every own month before any neighbour: the iPad listed first must not
// lose its 2019 photo, nor its December one, for the iPhone's copies.
TEST_P(DeletionPassTest, StrongerEvidenceOnALaterDeviceWins) {
  phone::Phone phone =
      PhoneFromJson(R"({"devices": [
    {"id": "usb#ipad", "friendly_name": "iPad", "storages": [{"id": "s1",
      "name": "Internal Storage", "children": [{"id": "p", "name": "DCIM", "children": [)" +
                    Folder("p1", "201905__", {"IMG_0001.HEIC"}) + ", " +
                    Folder("p2", "202312__", {"IMG_0002.HEIC"}) + R"(]}]}]},
    {"id": "usb#iphone", "friendly_name": "iPhone", "storages": [{"id": "s2",
      "name": "Internal Storage", "children": [{"id": "q", "name": "DCIM", "children": [)" +
                    Folder("q1", "202401__", {"IMG_0001.HEIC", "IMG_0002.HEIC"}) + "]}]}]}]}");
  const PassOutcome outcome =
      RunPass(&phone, {{u"IMG_0001.HEIC", u"202401"}, {u"IMG_0002.HEIC", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("IMG_0001.HEIC", "IMG_0002.HEIC"));
  EXPECT_FALSE(OnPhone(phone, u"q1/IMG_0001.HEIC"));
  EXPECT_FALSE(OnPhone(phone, u"q1/IMG_0002.HEIC"));
  EXPECT_TRUE(OnPhone(phone, u"p1/IMG_0001.HEIC"));
  EXPECT_TRUE(OnPhone(phone, u"p2/IMG_0002.HEIC"));
  EXPECT_EQ(layer_->counts().open, 2);
}

// An own month that was not seen whole may hide the copy on one phone, and so may a
// neighbour's folder listed only in part, or a phone that went away, could not be
// opened or shows nothing: a namesake on another phone is then no unique photo to take.
TEST_P(DeletionPassTest, AnUnseenOwnMonthKeepsItsNameFromEveryUniqueSearch) {
  const struct {
    const char* label = nullptr;
    const char* iphone_storages = nullptr;
    void (*fault)(phone::DeviceFaults*) = nullptr;
    const char* trace = nullptr;  // a line the pass must write, where the case has one
  } cases[] = {
      {"unreadable file name", R"({"id": "s1", "children": [{"id": "d", "name": "DCIM",
         "children": [{"id": "m", "name": "202402__", "children": [
           {"id": "m/1", "name": "IMG_0001.HEIC", "file_name": null}]}]}]})",
       [](phone::DeviceFaults*) {}},
      {"locked", "", [](phone::DeviceFaults*) {}},
      {"not opened", "", [](phone::DeviceFaults* f) { f->open = true; }},
      {"gone while listing", R"({"id": "s1", "children": [{"id": "d", "name": "DCIM",
         "children": [{"id": "m", "name": "202402__"}]}]})",
       [](phone::DeviceFaults* f) { f->gone_after = 4; }},
      {"its storages cut short", R"({"id": "s1", "children": [{"id": "d", "name": "DCIM",
         "children": [{"id": "m", "name": "202402__"}]}]}, {"id": "s9", "faults": ["next"]})",
       [](phone::DeviceFaults*) {}},
      {"a neighbour's folder cut short", R"({"id": "s1", "children": [{"id": "d", "name": "DCIM",
         "children": [{"id": "n", "name": "202403__", "children": [],
           "faults": ["enum_objects"]}]}]})",
       [](phone::DeviceFaults*) {},
       "delete: a folder beside 202402 was not seen whole, IMG_0002.MOV is not sought elsewhere"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(
        std::string(
            R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", "storages": [)") +
        test.iphone_storages + R"(]}, {"id": "usb#ipad", "friendly_name": "iPad", "storages": [)" +
        R"({"id": "s2", "children": [)" + Folder("p", "201905__", {"IMG_0002.MOV"}) + "]}]}]}");
    test.fault(&phone.devices[0].faults);
    const PassOutcome outcome = RunPass(&phone, {{u"IMG_0002.MOV", u"202402"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_TRUE(phone.deleted.empty()) << test.label;
    EXPECT_EQ(outcome.error, "device_busy") << test.label;
    if (test.trace != nullptr) {
      EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
    }
  }
}

// A request that comes again must not take a namesake of a photo already deleted: what
// was deleted is answered from memory, a name whose deletion had no clear outcome is
// only ever taken as that same object, and no such name is sought by uniqueness.
TEST_P(DeletionPassTest, ARepeatedRequestTakesNoNamesake) {
  const std::vector<WantedFile> wanted = {{u"A.JPG", u"202401"}};
  {
    phone::Phone phone = PhoneFromJson(
        Phone(Folder("f1", "202401__", {"A.JPG"}) + ", " + Folder("f2", "201905__", {"A.JPG"})));
    DeletionMemory memory;
    EXPECT_THAT(RunPass(&phone, wanted, &memory).deleted, ElementsAre("A.JPG"));
    const PassOutcome again = RunPass(&phone, wanted, &memory);
    EXPECT_THAT(again.deleted, ElementsAre("A.JPG"));
    EXPECT_EQ(layer_->counts().create_manager, 0);
    EXPECT_THAT(again.trace, ElementsAre("delete: A.JPG was deleted by an earlier request"));
    EXPECT_TRUE(OnPhone(phone, u"f2/A.JPG"));
  }
  // The deletion request deletes the copy, then fails as a whole.
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG"}) + ", " +
                                               Folder("f2", "202312__", {"A.JPG"}) + ", " +
                                               Folder("f3", "201905__", {"B.JPG"}),
                                           R"(, "delete_fails_after": 1)"));
  DeletionMemory memory;
  const std::vector<WantedFile> both = {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}};
  EXPECT_EQ(RunPass(&phone, both, &memory).error, "delete_refused");
  ASSERT_EQ(phone.deleted.size(), 1u);
  const PassOutcome again = RunPass(&phone, both, &memory);
  EXPECT_THAT(again.deleted, IsEmpty());
  EXPECT_EQ(phone.deleted.size(), 1u);
  EXPECT_THAT(again.trace,
              Contains("delete: A.JPG may have been deleted by an earlier request, left alone"));
}

// One stem in one month is one photo: a wanted IMG_0001.JPG that its month holds only
// as IMG_0001.HEIC ("transfer as JPEG" changed, or half a Live Photo already deleted) is
// most likely that object, so no namesake elsewhere is taken for it.
TEST_P(DeletionPassTest, TheSamePhotoUnderAnotherExtensionKeepsNamesakesSafe) {
  phone::Phone phone = PhoneFromJson(Phone(Dcim(
      Folder("a", "201608__", {"IMG_0001.JPG"}) + ", " + Folder("b", "202312__", {"IMG_0001.JPG"}) +
      ", " + Folder("c", "202401__", {"IMG_0001.HEIC", "IMG_0001.AAE", "IMG_0002.MOV"}))));
  const PassOutcome outcome =
      RunPass(&phone, {{u"IMG_0001.JPG", u"202401"}, {u"IMG_0002.HEIC", u"202401"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_TRUE(phone.deleted.empty());
  EXPECT_THAT(outcome.trace, Contains("delete: IMG_0001.JPG is in the folders of 202401 under "
                                      "another extension, left alone"));
}

// "not_found" tells the application that the photo is not on the phone; when the pass
// could not see everywhere it looks, the answer is "device_busy", so that it tries again.
TEST_P(DeletionPassTest, NotFoundOnlyWhenThePassSawEverywhere) {
  const struct {
    const char* label;
    std::string folders;
    const char* error;
  } cases[] = {
      {"seen everywhere", Folder("f1", "202401__", {"B.JPG"}) + ", " + Folder("f2", "X", {"C.JPG"}),
       "not_found"},
      {"found twice", Folder("f1", "202305__", {"A.JPG"}) + ", " + Folder("f2", "X", {"A.JPG"}),
       "not_found"},
      {"own month cut short", R"({"id": "f1", "name": "202401__", "children": [
           {"id": "f1/B", "name": "B.JPG", "faults": ["next"]}]})",
       "device_busy"},
      {"a photo unreadable", Folder("f1", "202305__", {"B.JPG"}, R"(, "faults": ["get_values"])"),
       "device_busy"},
      {"listing limit",
       R"({"id": "x", "name": "X", "filler": 15001}, {"id": "y", "name": "Y", "children": []})",
       "device_busy"},
      {"its only carrier shown by its object name",
       Folder("f1", "202401__", {"A.JPG"}, R"(, "faults": ["file_name"])"), "device_busy"},
      {"its only carrier of unknown kind",
       Folder("f1", "202401__", {"A.JPG"}, R"(, "faults": ["content_type"])"), "device_busy"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(Phone(test.folders));
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
  }
}

TEST_P(DeletionPassTest, FoldsOnlyAToZ) {
  phone::Phone phone =
      PhoneFromJson(Phone(Folder("f1", "202401__", {"img_1.jpg", "\xC3\x89T\xC3\x89.JPG"})));
  const PassOutcome outcome = RunPass(
      &phone, {{u"IMG_1.JPG", u"202401"}, {UpperCaseWide(u"\u00E9t\u00E9.jpg"), u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("img_1.jpg"));
  EXPECT_TRUE(OnPhone(phone, u"f1/\u00C9T\u00C9.JPG"));
}

TEST_P(DeletionPassTest, SameNameUnderTwoMonthsIsDeletedOnce) {
  phone::Phone phone = PhoneFromJson(
      Phone(Folder("f1", "202401__", {"A.JPG"}) + ", " + Folder("f2", "202406__", {"A.JPG"})));
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"A.JPG", u"202406"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f2/A.JPG"));
}

TEST_P(DeletionPassTest, OnlyObjectsTwoLevelsBelowAStorageAreFound) {
  phone::Phone phone = PhoneFromJson(Phone(R"(
    {"id": "top", "name": "A.JPG"},
    {"id": "f1", "name": "202401__", "children": [
      {"id": "deep", "name": "202401__", "children": [{"id": "deep/B.JPG", "name": "B.JPG"}]},
      {"id": "album", "name": "C.JPG", "type": "folder"}]},
    {"id": "f2", "name": "Other", "children": [
      {"id": "deeper", "name": "Sub", "children": [{"id": "deeper/D.JPG", "name": "D.JPG"}]}]})"));
  const PassOutcome outcome = RunPass(
      &phone,
      {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}, {u"D.JPG", u""}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_EQ(outcome.error, "not_found");
  EXPECT_TRUE(phone.deleted.empty());
}

// A request that fails as a whole is reported as deleting nothing, even by a driver that
// deleted some objects before it failed: the pass cannot tell which.
TEST_P(DeletionPassTest, WholeRequestRefusedReportsNothing) {
  const struct {
    const char* faults;
    std::size_t gone_from_phone;
  } cases[] = {{R"(, "faults": ["delete"])", 0}, {R"(, "delete_fails_after": 1)", 1}};
  for (const auto& test : cases) {
    phone::Phone phone =
        PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG", "B.JPG"}), test.faults));
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.faults;
    EXPECT_EQ(outcome.error, "delete_refused") << test.faults;
    EXPECT_EQ(phone.deleted.size(), test.gone_from_phone) << test.faults;
  }
}

TEST_P(DeletionPassTest, RefusedObjectIsNotReported) {
  phone::Phone phone = PhoneFromJson(Phone(
      R"({"id": "f1", "name": "202401__", "children": [{"id": "1", "name": "A.JPG"},
          {"id": "2", "name": "B.JPG", "faults": ["refuse"]}, {"id": "3", "name": "C.JPG"}]})"));
  const PassOutcome outcome =
      RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "C.JPG"));
  EXPECT_EQ(outcome.error, "delete_refused");
  EXPECT_THAT(outcome.trace, Contains("delete: B.JPG refused with 0x80070005"));
  EXPECT_TRUE(OnPhone(phone, u"2"));
}

// Statuses the device did not give, after it said that every object was deleted.
TEST_P(DeletionPassTest, MissingStatusesOfAFullSuccessCountAsDeleted) {
  const char* device_faults[] = {R"(, "faults": ["no_results"])", R"(, "short_results": 1)",
                                 R"(, "faults": ["results_count"])"};
  for (const char* faults : device_faults) {
    phone::Phone phone = PhoneFromJson(Phone(
        Folder("f1", "202401__", {"A.JPG", "B.JPG"}) + ", " +
            R"({"id": "f2", "name": "x", "children": [{"id": "c", "name": "C.JPG", "faults": ["result_element"]}]})",
        faults));
    const PassOutcome outcome =
        RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u""}});
    EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "B.JPG", "C.JPG")) << faults;
    EXPECT_EQ(outcome.error, "") << faults;
  }
}

// The device said some objects were refused without saying which: only objects with a
// status of success are reported, not those whose status is missing or is no error value.
TEST_P(DeletionPassTest, MissingStatusesOfAPartialFailureAreNotReported) {
  struct Case {
    const char* faults;
    const char* b_faults;
    std::vector<std::string> deleted;
  };
  const Case cases[] = {
      {R"(, "faults": ["no_results"])", "", {}},
      {R"(, "short_results": 1)", "", {"A.JPG"}},
      {"", R"(, "faults": ["status_not_error"])", {"A.JPG"}},
  };
  for (const Case& test : cases) {
    phone::Phone phone = PhoneFromJson(Phone(
        R"({"id": "f1", "name": "202401__", "children": [{"id": "1", "name": "A.JPG"},
            {"id": "2", "name": "B.JPG")" +
            std::string(test.b_faults) +
            R"(}, {"id": "3", "name": "C.JPG", "faults": ["refuse"]}]})",
        test.faults));
    const PassOutcome outcome =
        RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}});
    EXPECT_EQ(outcome.deleted, test.deleted) << test.faults;
    EXPECT_EQ(outcome.error, "delete_refused") << test.faults;
    EXPECT_TRUE(OnPhone(phone, u"3")) << test.faults;
  }
}

// An id that cannot be added to the request must not shift the statuses onto the wrong
// names: here the refused C.JPG would otherwise be reported as deleted.
TEST_P(DeletionPassTest, IdsAndNamesStayPairedWhenAnIdCannotBeCopied) {
  phone::Phone phone = PhoneFromJson(Phone(
      R"({"id": "f1", "name": "202401__", "children": [{"id": "1", "name": "A.JPG"},
          {"id": "2", "name": "B.JPG", "faults": ["copy_id"]},
          {"id": "3", "name": "C.JPG", "faults": ["refuse"]}, {"id": "4", "name": "D.JPG"}]})"));
  const PassOutcome outcome = RunPass(
      &phone,
      {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}, {u"D.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "D.JPG"));
  EXPECT_EQ(outcome.error, "delete_refused");
  EXPECT_THAT(outcome.trace, Contains("delete: C.JPG refused with 0x80070005"));
  EXPECT_TRUE(OnPhone(phone, u"2"));
  EXPECT_TRUE(OnPhone(phone, u"3"));
}

TEST_P(DeletionPassTest, NoRequestWithoutAnIdCollectionOrIds) {
  const char* cases[] = {R"({"faults": ["create_id_collection"], )", R"({"faults": [], )"};
  for (const char* prefix : cases) {
    const std::string copy_fault = std::string(prefix).find("create_id") == std::string::npos
                                       ? R"(, "faults": ["copy_id"])"
                                       : "";
    phone::Phone phone =
        PhoneFromJson(prefix + Phone(Folder("f1", "202401__", {"A.JPG"}, copy_fault)).substr(1));
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << prefix;
    EXPECT_EQ(outcome.error, "not_found") << prefix;
    EXPECT_EQ(layer_->counts().delete_request, 0) << prefix;
  }
}

constexpr char kTwoPhones[] = R"({"devices": [
  {"id": "usb#1", "friendly_name": "iPhone", "storages": [{"id": "s1", "name": "Internal Storage",
    "children": [{"id": "f1", "name": "202401__", "children": [
      {"id": "1a", "name": "A.JPG"}, {"id": "1b", "name": "B.JPG"}]}]}]},
  {"id": "usb#2", "friendly_name": "iPad", "storages": [{"id": "s2", "name": "Internal Storage",
    "children": [{"id": "f2", "name": "202401__", "children": [
      {"id": "2a", "name": "A.JPG"}, {"id": "2c", "name": "C.JPG"}]}]}]}
]})";

TEST_P(DeletionPassTest, SecondDeviceIsNotOpenedOnceEverythingIsFound) {
  phone::Phone phone = PhoneFromJson(kTwoPhones);
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "B.JPG"));
  EXPECT_EQ(layer_->counts().open, 1);
  EXPECT_EQ(layer_->counts().delete_request, 1);
  EXPECT_TRUE(OnPhone(phone, u"2a"));
}

TEST_P(DeletionPassTest, EachDeviceGetsOneRequestAndANameIsSearchedOnce) {
  phone::Phone phone = PhoneFromJson(kTwoPhones);
  phone.devices[0].Find(u"1a")->faults.refuse = true;
  const PassOutcome outcome =
      RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}});
  // A.JPG was chosen on the first device; its refusal does not send the search on.
  EXPECT_THAT(outcome.deleted, ElementsAre("B.JPG", "C.JPG"));
  EXPECT_EQ(outcome.error, "delete_refused");
  EXPECT_EQ(layer_->counts().delete_request, 2);
  EXPECT_TRUE(OnPhone(phone, u"2a"));
}

TEST_P(DeletionPassTest, UnusableFirstDeviceDoesNotStopTheSecond) {
  struct Case {
    const char* label;
    void (*fault)(phone::DeviceFaults*);
    const char* error;
  };
  const Case cases[] = {
      {"busy", [](phone::DeviceFaults* f) { f->open = true; }, "device_busy"},
      {"access denied",
       [](phone::DeviceFaults* f) {
         f->open = true;
         f->fault_codes["open"] = phone::kAccessDenied;
       },
       "device_busy"},
      {"no content", [](phone::DeviceFaults* f) { f->content = true; }, ""},
      {"no properties", [](phone::DeviceFaults* f) { f->properties = true; }, ""},
      {"gone while listing", [](phone::DeviceFaults* f) { f->gone_after = 6; }, "device_busy"},
      {"hung at the content",
       [](phone::DeviceFaults* f) {
         f->content = true;
         f->fault_codes["content"] = static_cast<std::int32_t>(0x802A0006);
       },
       "device_busy"},
  };
  for (const Case& test : cases) {
    phone::Phone phone = PhoneFromJson(kTwoPhones);
    test.fault(&phone.devices[0].faults);
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"C.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "C.JPG")) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"1a")) << test.label;
  }
}

// A phone that goes away, hangs or stops answering after its N-th call is asked
// nothing more but to close: one failing call and the Close, each of which may wait for
// the system's device timeout. Nothing is deleted unless the deletion request itself
// was answered.
TEST_P(DeletionPassTest, APhoneThatGoesAwayIsAskedNothingMore) {
  const std::string json =
      Phone(Folder("f1", "202401__", {"A.JPG", "B.JPG"}) + ", " + Folder("f2", "Other", {"C.JPG"}));
  const std::vector<WantedFile> wanted = {{u"A.JPG", u"202401"}, {u"C.JPG", u""}};
  phone::Phone whole = PhoneFromJson(json);
  ASSERT_THAT(RunPass(&whole, wanted).deleted, ElementsAre("A.JPG", "C.JPG"));
  const int full = layer_->counts().device_calls();  // the last two: Delete, Close
  for (int answered = 0; answered < full; ++answered) {
    SCOPED_TRACE("gone after " + std::to_string(answered) + " of " + std::to_string(full));
    phone::Phone phone = PhoneFromJson(json);
    phone.devices[0].faults.gone_after = answered;
    phone.devices[0].faults.gone_code = static_cast<std::int32_t>(0x802A0006);
    const PassOutcome outcome = RunPass(&phone, wanted);
    if (answered < full - 1) {
      // Open itself failed, or the call that failed was followed only by Close.
      EXPECT_EQ(layer_->counts().device_calls(), answered == 0 ? 1 : answered + 2);
      EXPECT_THAT(outcome.deleted, IsEmpty());
      EXPECT_TRUE(phone.deleted.empty());
      EXPECT_EQ(outcome.error, "device_busy");
      if (answered > 0) {
        EXPECT_THAT(outcome.trace,
                    Contains("delete: usb#iphone stopped answering with 0x802A0006, nothing more "
                             "is asked of it"));
      }
    } else {
      EXPECT_EQ(layer_->counts().device_calls(), full);
      EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "C.JPG"));
      EXPECT_EQ(outcome.error, "");
    }
  }
}

// A locked phone, or one that does not yet trust this computer, opens but shows no
// storage or only empty ones: that is no proof that the photos are not on it.
TEST_P(DeletionPassTest, APhoneThatShowsNothingIsBusy) {
  const struct {
    const char* label;
    const char* storages;
    bool busy;
  } cases[] = {
      {"no storage", "", true},
      {"empty storages", R"({"id": "s1", "children": []}, {"id": "s2"})", true},
      {"an empty DCIM",
       R"({"id": "s1", "children": [{"id": "d", "name": "DCIM", "type": "folder"}]})", true},
      {"an empty folder", R"({"id": "s1", "children": [{"id": "f", "type": "folder"}]})", false},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(
        std::string(R"({"devices": [{"id": "usb#1", "friendly_name": "iPhone", "storages": [)") +
        test.storages + R"(]}, {"id": "usb#2", "friendly_name": "iPad", "storages": [)" +
        R"({"id": "s", "children": [)" + Folder("f1", "202401__", {"B.JPG"}) + "]}]}]}");
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}});
    // The second device is searched all the same.
    EXPECT_THAT(outcome.deleted, ElementsAre("B.JPG")) << test.label;
    EXPECT_EQ(outcome.error, test.busy ? "device_busy" : "") << test.label;
    EXPECT_EQ(std::count(outcome.trace.begin(), outcome.trace.end(),
                         "delete: usb#1 shows nothing, it may be locked"),
              test.busy ? 1 : 0)
        << test.label;
  }
}

TEST_P(DeletionPassTest, OnlyTheFirstTwentyStoragesAreSearched) {
  std::string storages;
  for (int i = 1; i <= 21; ++i) {
    const std::string n = std::to_string(i);
    storages += (i > 1 ? ", " : "") + std::string(R"({"id": "s)") + n + R"(", "children": [)" +
                Folder("f" + n, "202401__", {"A" + n + ".JPG"}) + "]}";
  }
  phone::Phone phone =
      PhoneFromJson(R"({"devices": [{"id": "usb#1", "friendly_name": "iPhone", "storages": [)" +
                    storages + "]}]}");
  const PassOutcome outcome = RunPass(&phone, {{u"A20.JPG", u"202401"}, {u"A21.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A20.JPG"));
}

// The unique-name search takes a name found once only when it saw everything the
// storage's top-level folders hold. Each case's first storage holds U.JPG once where the
// pass can see it, and something the pass knows it did not see; U.JPG stays wanted and
// is deleted from the second storage. The month-folder search is not affected.
TEST_P(DeletionPassTest, UniqueNameSearchDecidesOnlyOnCompleteListings) {
  struct Case {
    const char* label;
    std::string gap;  // top-level objects of the first storage, after its folders
    const char* trace;
  };
  const std::string ended_early =
      R"(delete: a listing of "Internal Storage" ended early, unique names there are left alone)";
  const std::string unreadable =
      R"(delete: an object of "Internal Storage" could not be read, unique names there are left alone)";
  const Case cases[] = {
      {"failed Next in the storage",
       R"({"id": "x", "name": "X", "children": [], "faults": ["next"]})", ended_early.c_str()},
      {"failed Next in a folder",
       R"({"id": "x", "name": "X", "children": [{"id": "x1", "name": "A"},
           {"id": "x2", "name": "B", "faults": ["next"]}]})",
       ended_early.c_str()},
      {"failed EnumObjects",
       R"({"id": "x", "name": "X", "children": [], "faults": ["enum_objects"]})",
       ended_early.c_str()},
      {"top-level kind unknown",
       R"({"id": "x", "name": "X", "children": [], "faults": ["content_type"]})",
       unreadable.c_str()},
      {"properties of a photo",
       R"({"id": "x", "name": "X", "children": [{"id": "x1", "name": "U.JPG", "faults": ["get_values"]}]})",
       unreadable.c_str()},
      {"name of a photo",
       R"({"id": "x", "name": "X", "children": [{"id": "x1", "name": "U.JPG",
           "faults": ["file_name", "name"]}]})",
       unreadable.c_str()},
      {"file name of a photo, which has an object name",
       R"({"id": "x", "name": "X", "children": [{"id": "x1", "name": "Holiday",
           "file_name": null}]})",
       unreadable.c_str()},
      {"listed-object limit",
       R"({"id": "x", "name": "X", "filler": 15001}, {"id": "y", "name": "Y", "children": []})",
       R"(delete: more than 15000 objects listed on "Internal Storage", unique names there are left alone)"},
  };
  for (const Case& test : cases) {
    phone::Phone phone = PhoneFromJson(
        R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", "storages": [
          {"id": "s1", "name": "Internal Storage", "children": [)" +
        Folder("m", "202401__", {"M.JPG"}) + ", " + Folder("a", "Album", {"U.JPG"}) + ", " +
        test.gap + R"(]},
          {"id": "s2", "name": "Card", "children": [)" +
        Folder("b", "Other", {"U.JPG"}) + "]}]}]}");
    const PassOutcome outcome = RunPass(&phone, {{u"M.JPG", u"202401"}, {u"U.JPG", u""}});
    EXPECT_THAT(outcome.deleted, ElementsAre("M.JPG", "U.JPG")) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"a/U.JPG")) << test.label;
    EXPECT_FALSE(OnPhone(phone, u"b/U.JPG")) << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
    // No more listing than before: the folder after the limit is never listed.
    EXPECT_EQ(Enumerations(u"usb#iphone", u"y"), 0) << test.label;
  }
}

// A photo whose name the pass can read is counted even when its kind is unknown, though
// such an object, which may be a folder, is never chosen; and a limit crossed by the
// last folder stopped nothing: the search still decides.
TEST_P(DeletionPassTest, UniqueNameSearchDecidesWhenNothingRelevantIsHidden) {
  phone::Phone phone = PhoneFromJson(Phone(
      Folder("a", "Album", {"U.JPG"}) +
      R"(, {"id": "x", "name": "X", "children": [{"id": "x1", "name": "V.JPG", "faults": ["content_type"]},
          {"id": "x2", "name": "W.JPG", "faults": ["content_type"]}, {"id": "x3", "name": "W.JPG"}]},
        {"id": "big", "name": "Bulk", "filler": 15001})"));
  const PassOutcome outcome = RunPass(&phone, {{u"U.JPG", u""}, {u"V.JPG", u""}, {u"W.JPG", u""}});
  EXPECT_THAT(outcome.deleted, ElementsAre("U.JPG"));
  EXPECT_THAT(outcome.trace, Contains("delete: W.JPG is on the phone 2 times, left alone"));
  EXPECT_THAT(outcome.trace, Contains("delete: V.JPG could not be told from a folder, left alone"));
}

// An object whose kind could not be read may be a folder: it is never deleted, and as
// the own month holds the name, no neighbour's namesake is taken in its place.
TEST_P(DeletionPassTest, AnObjectOfUnknownKindIsNeverChosen) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202312__", {"A.JPG"}) +
                                           R"(, {"id": "f2", "name": "202401__", "children": [
          {"id": "f2/A", "name": "A.JPG", "faults": ["content_type"]}]})"));
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_TRUE(phone.deleted.empty());
  EXPECT_THAT(outcome.trace, Contains("delete: A.JPG could not be told from a folder, left alone"));
}

TEST_P(DeletionPassTest, CountsOperations) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG", "B.JPG"}) + ", " +
                                           Folder("f2", "Other", {"C.JPG"}) +
                                           R"(, {"id": "top", "name": "T.JPG"})"));
  // B.JPG is not in its month: the unique-name search looks into f1 again, from the cache.
  const PassOutcome outcome =
      RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202312"}, {u"X.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "B.JPG"));
  EXPECT_EQ(Enumerations(u"usb#iphone", u"f1"), 1);
  EXPECT_EQ(Enumerations(u"usb#iphone", u"f2"), 1);
  const LayerCounts counts = layer_->counts();
  // Listed: 1 storage, 3 top-level objects, 2 + 1 folder children.
  EXPECT_EQ(counts.get_values, 7);
  EXPECT_EQ(counts.enum_objects, 4);
  EXPECT_EQ(counts.next, 7 + 4);
  EXPECT_EQ(counts.create_manager, 1);
  EXPECT_EQ(counts.create_key_collection, 1);
  EXPECT_EQ(counts.delete_request, 1);
  EXPECT_EQ(counts.add_id, 2);
}

// The simulated layer logs every creation and release: short-lived objects go first.
TEST(DeletionPassLifetimeTest, ReleasesTheManagerFirstAndTheKeysLast) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG"})));
  phone::SimulatedDeviceLayer layer(&phone);
  std::string error;
  EXPECT_THAT(DeleteWantedFiles(layer, {{u"A.JPG", u"202401"}}, &error), ElementsAre(u"A.JPG"));
  const std::vector<std::string>& log = layer.lifetime_log();
  const auto at = [&log](const char* entry) {
    return std::find(log.begin(), log.end(), entry) - log.begin();
  };
  EXPECT_LT(at("release manager"), at("create key collection"));
  EXPECT_LT(at("release id collection"), at("close device"));
  EXPECT_EQ(log.back(), "release key collection");
}

}  // namespace
}  // namespace camvey::ptp
