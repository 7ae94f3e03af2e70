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
  PassOutcome RunPass(phone::Phone* phone, const std::vector<WantedFile>& wanted) {
    DeviceLayer& layer = layer_->Serve(phone);
    TraceCapture trace;
    PassOutcome outcome;
    outcome.deleted = Utf8(DeleteWantedFiles(layer, wanted, &outcome.error));
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
                                           Folder("f3", "202401_a", {"A.JPG", "c.jpg"}) + ", " +
                                           Folder("f4", "202402__", {"B.JPG", "D.JPG"})));
  // E.JPG is asked for under 202402, whose neighbour 202401__ holds it: that folder is
  // searched in both groups and listed once.
  const PassOutcome outcome = RunPass(
      &phone,
      {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}, {u"E.JPG", u"202402"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("C.JPG", "A.JPG", "B.JPG", "E.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"f3/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f1/A.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"f2/C.JPG"));  // within a group the first met wins
  EXPECT_TRUE(OnPhone(phone, u"f3/c.jpg"));
  EXPECT_FALSE(OnPhone(phone, u"f1/B.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f4/B.JPG"));
  EXPECT_THAT(
      outcome.trace,
      ElementsAre(StartsWith("delete: \"Internal Storage\" holds"), "delete: looking in 202401__",
                  "delete: looking in 202401_a", "delete: looking in 202402__",
                  "delete: looking in 202312__", "delete: looking in 202401__"));
  for (const auto& [where, count] : layer_->enumerations()) {
    EXPECT_EQ(count, 1) << WideToUtf8(where.second);
  }
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

// An object name stands in for an unreadable file name when names are matched in the
// month's folders, where the pass needs no proof that a name is unique.
TEST_P(DeletionPassTest, AnObjectNameStillMatchesInTheMonthFolders) {
  phone::Phone phone = PhoneFromJson(Phone(R"({"id": "f1", "name": "202401__", "children": [
      {"id": "f1/A", "name": "A.JPG", "file_name": null}]})"));
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"f1/A"));
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

TEST_P(DeletionPassTest, FoldsOnlyAToZ) {
  phone::Phone phone = PhoneFromJson(
      Phone(Folder("f1", "202401__", {"img_1.jpg", "IMG_1.JPG", "\xC3\x89T\xC3\x89.JPG"})));
  const PassOutcome outcome = RunPass(
      &phone, {{u"IMG_1.JPG", u"202401"}, {UpperCaseWide(u"\u00E9t\u00E9.jpg"), u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("img_1.jpg"));
  EXPECT_TRUE(OnPhone(phone, u"f1/IMG_1.JPG"));
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

// In the month's folders the first object met decides its name: one whose kind could
// not be read is not deleted, nor is a namesake met after it.
TEST_P(DeletionPassTest, AnObjectOfUnknownKindIsNeverChosen) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202312__", {"A.JPG"}) +
                                           R"(, {"id": "f2", "name": "202401__", "children": [
          {"id": "f2/A", "name": "A.JPG", "faults": ["content_type"]},
          {"id": "f2/A2", "name": "A.JPG"}]})"));
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
