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

// An iPhone and an iPad, each with one storage holding its `children`; the iPhone
// (storage "s1") is listed first.
std::string Household(const std::string& iphone, const std::string& ipad) {
  return R"({"devices": [{"id": "usb#iphone", "friendly_name": "Apple iPhone", "storages": [
    {"id": "s1", "name": "Internal Storage", "children": [)" +
         iphone + R"(]}]}, {"id": "usb#ipad", "friendly_name": "Apple iPad", "storages": [
    {"id": "s2", "name": "Internal Storage", "children": [)" +
         ipad + "]}]}]}";
}

// A folder with one image per file, given as "NAME" or "NAME=SIZE" (bytes); object ids
// are "<id>/<name>".
std::string Folder(const std::string& id, const std::string& name,
                   const std::vector<std::string>& files, const std::string& faults = "") {
  std::string json = R"({"id": ")" + id + R"(", "name": ")" + name + R"(", "children": [)";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::size_t equals = files[i].find('=');
    const std::string file = files[i].substr(0, equals);
    const std::string size =
        equals == std::string::npos ? "" : R"(, "size": )" + files[i].substr(equals + 1);
    json.append(i > 0 ? ", " : "").append(R"({"id": ")").append(id).append("/").append(file);
    json.append(R"(", "name": ")")
        .append(file)
        .append(R"(")")
        .append(size)
        .append(faults)
        .append("}");
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
    EXPECT_EQ(count, 1) << text::WideToUtf8(where.second);
  }
}

// A month group takes a name only when exactly one object carries it there: with two,
// either may be a photo that was never copied (counters wrap, letters differ in case).
TEST_P(DeletionPassTest, AMonthGroupTakesANameOnlyFromItsOnlyCarrier) {
  const struct {
    const char* label;
    std::string folders;
    std::string trace;
  } cases[] = {
      {"both neighbours",
       Folder("f1", "202312__", {"A.JPG"}) + ", " + Folder("f2", "202401__", {"B.JPG"}) + ", " +
           Folder("f3", "202402__", {"A.JPG"}),
       "delete: A.JPG is in the folders beside 202401 2 times, left alone"},
      {"two folders of the month",
       Folder("f1", "202401__", {"A.JPG"}) + ", " + Folder("f2", "202401_a", {"A.JPG"}) + ", " +
           Folder("f3", "202312__", {"A.JPG"}),
       "delete: A.JPG is in the folders of 202401 2 times, left alone"},
      {"letters in another case", Folder("f1", "202401__", {"a.jpg", "A.JPG"}),
       "delete: A.JPG is in the folders of 202401 2 times, left alone"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(Phone(test.folders));
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}});
    EXPECT_TRUE(std::all_of(phone.deleted.begin(), phone.deleted.end(),
                            [](const phone::DeletedObject& gone) { return gone.name != u"A.JPG"; }))
        << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
  }
}

// Only six digits with a month of 01 to 12 name a month's folders. Any other month has
// no month group and no neighbours: its names are sought only by uniqueness, so "1",
// "D" or "20" never make 100APPLE, DCIM or 202401__ the photo's own month.
TEST_P(DeletionPassTest, AMonthThatIsNoMonthIsSoughtOnlyByItsUniqueName) {
  const std::string json = Phone(Dcim(Folder("d1", "100APPLE", {"A.JPG"}) + ", " +
                                      Folder("d2", "202401__", {"A.JPG", "B.JPG"})));
  for (const char16_t* month : {u"1", u"D", u"20", u"2024", u"2024 1", u"202413"}) {
    phone::Phone phone = PhoneFromJson(json);
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", month}, {u"B.JPG", u""}});
    EXPECT_THAT(outcome.deleted, ElementsAre("B.JPG")) << text::WideToUtf8(month);
    EXPECT_THAT(outcome.trace, Contains("delete: A.JPG is on the phone 2 times, left alone"))
        << text::WideToUtf8(month);
    EXPECT_THAT(outcome.trace, Not(Contains(HasSubstr("looking in")))) << text::WideToUtf8(month);
  }
}

// A household's iPhone and iPad number their photos with independent counters: a name
// is taken only when exactly one object of every attached phone and storage together
// carries it, in whichever round decides. The copy's size, when the request gives it,
// tells a namesake of another size apart: that is another photo.
TEST_P(DeletionPassTest, ANamesakeOnAnyAttachedPhoneMakesTheNameAmbiguous) {
  const struct {
    const char* label;
    std::string json;
    const char16_t* month;
    std::string trace;  // without sizes
  } cases[] = {
      {"own month on both phones",
       Household(Dcim(Folder("p", "202401__", {"IMG_0001.HEIC=2000"})),
                 Dcim(Folder("q", "202401__", {"IMG_0001.HEIC=3000"}))),
       u"202401", "delete: IMG_0001.HEIC is in the folders of 202401 2 times, left alone"},
      {"neighbours on both phones",
       Household(Dcim(Folder("p", "202312__", {"IMG_0001.HEIC=2000"})),
                 Dcim(Folder("q", "202402__", {"IMG_0001.HEIC=3000"}))),
       u"202401", "delete: IMG_0001.HEIC is in the folders beside 202401 2 times, left alone"},
      {"elsewhere on both phones",
       Household(Dcim(Folder("p", "201905__", {"IMG_0001.HEIC=2000"})),
                 Dcim(Folder("q", "202105__", {"IMG_0001.HEIC=3000"}))),
       u"202401", "delete: IMG_0001.HEIC is on the phone 2 times, left alone"},
      {"own month on two storages of one phone",
       R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", "storages": [
         {"id": "s1", "name": "Internal Storage", "children": [)" +
           Folder("p", "202401__", {"IMG_0001.HEIC=2000"}) + R"(]},
         {"id": "s2", "name": "Card", "children": [)" +
           Folder("q", "202401__", {"IMG_0001.HEIC=3000"}) + "]}]}]}",
       u"202401", "delete: IMG_0001.HEIC is in the folders of 202401 2 times, left alone"},
      {"own month on the iPhone, in an older iPad's 100APPLE",
       Household(Dcim(Folder("p", "202401__", {"IMG_0001.HEIC=2000"})),
                 Dcim(Folder("q", "100APPLE", {"IMG_0001.HEIC=3000"}))),
       u"202401",
       "delete: IMG_0001.HEIC is in the folders of 202401 and in a folder of no month, left "
       "alone"},
      {"a month that is no month, on both phones",
       Household(Folder("p", "202401__", {"IMG_0001.HEIC=2000"}),
                 Folder("q", "202401__", {"IMG_0001.HEIC=3000"})),
       u"", "delete: IMG_0001.HEIC is on the phone 2 times, left alone"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(test.json);
    PassOutcome outcome = RunPass(&phone, {{u"IMG_0001.HEIC", test.month}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_EQ(outcome.error, "not_found") << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;

    phone = PhoneFromJson(test.json);
    outcome = RunPass(&phone, {{u"IMG_0001.HEIC", test.month, 3000}});
    EXPECT_THAT(outcome.deleted, ElementsAre("IMG_0001.HEIC")) << test.label;
    ASSERT_EQ(phone.deleted.size(), 1u) << test.label;
    EXPECT_EQ(phone.deleted[0].object_id, u"q/IMG_0001.HEIC") << test.label;
    EXPECT_THAT(outcome.trace,
                Contains(AllOf(StartsWith("delete: IMG_0001.HEIC in "),
                               EndsWith(" is 2000 bytes, the copy 3000, passed over"))))
        << test.label;
  }
}

// With the copy's size, a namesake that gives no size, or whose size cannot be read,
// may be the copy: the name is kept back. Two of the same size are left alone. A size
// that is no byte count deletes nothing for its entry and records nothing.
TEST_P(DeletionPassTest, TheCopysSizeDecidesOnlyWhereEverySizeIsKnown) {
  const struct {
    const char* label;
    std::string folders;
    WantedFile wanted;
    const char* error;
    std::string trace;
  } cases[] = {
      {"a namesake without a size",
       Folder("f1", "202401__", {"A.JPG=10"}) + ", " + Folder("f2", "202401_a", {"A.JPG"}),
       {u"A.JPG", u"202401", 10},
       "device_busy",
       "delete: the size of A.JPG in 202401_a could not be read, left alone"},
      {"a namesake whose size cannot be read",
       Folder("f1", "202401__", {"A.JPG=10"}) + ", " +
           Folder("f2", "202401_a", {"A.JPG=10"}, R"(, "faults": ["size"])"),
       {u"A.JPG", u"202401", 10},
       "device_busy",
       "delete: the size of A.JPG in 202401_a could not be read, left alone"},
      {"two of the copy's size",
       Folder("f1", "202401__", {"A.JPG=10"}) + ", " + Folder("f2", "202401_a", {"A.JPG=10"}),
       {u"A.JPG", u"202401", 10},
       "not_found",
       "delete: A.JPG is in the folders of 202401 2 times, left alone"},
      {"a size that is no byte count",
       Folder("f1", "202401__", {"A.JPG=10"}),
       {u"A.JPG", u"202401", std::nullopt, true},
       "not_found",
       "delete: A.JPG has a size that is no byte count, left alone"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(Phone(test.folders));
    const PassOutcome outcome = RunPass(&phone, {test.wanted});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_TRUE(phone.deleted.empty()) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
  }
}

// A group decides nothing while an object of it could not be read (its file name may be
// any wanted name), one of its folders was not listed to its end, or a folder of it may
// hide where the pass cannot see: the own month's carrier stays, and so does the
// neighbour's namesake.
TEST_P(DeletionPassTest, AGroupNotSeenWholeDecidesNothing) {
  const std::string own_unseen =
      "delete: the folders of 202401 were not seen whole, A.JPG is left alone";
  const std::string hidden =
      R"(delete: the folders of "Internal Storage" were not all seen, names sought in month folders are left alone)";
  const struct {
    const char* label;
    std::string folders;
    std::string trace;
  } cases[] = {
      {"own month: a failed Next", R"({"id": "f2", "name": "202401__", "children": [
           {"id": "f2/A", "name": "A.JPG"}, {"id": "f2/B", "name": "B.JPG", "faults": ["next"]}]})",
       own_unseen},
      {"own month: an unreadable photo", R"({"id": "f2", "name": "202401__", "children": [
           {"id": "f2/A", "name": "A.JPG"}, {"id": "f2/B", "name": "B.JPG", "faults": ["get_values"]}]})",
       own_unseen},
      {"own month: a photo shown only by its object name",
       R"({"id": "f2", "name": "202401__", "children": [{"id": "f2/A", "name": "A.JPG"},
           {"id": "f2/7", "name": "IMG_0007.HEIC", "file_name": null}]})",
       own_unseen},
      {"own month: a folder of unknown kind",
       Folder("f2", "202401__", {"A.JPG"}) + R"(, {"id": "f3", "name": "202401_a",
           "faults": ["content_type"], "children": [{"id": "f3/A", "name": "A.JPG"}]})",
       own_unseen},
      {"an unreadable folder",
       Folder("f2", "202401__", {"A.JPG"}) +
           R"(, {"id": "f3", "name": "202401_a", "faults": ["get_values"], "children": []})",
       hidden},
      {"a folder named only by its object name",
       Folder("f2", "202401__", {"A.JPG"}) +
           R"(, {"id": "f3", "name": "Trip", "file_name": null, "children": []})",
       hidden},
      {"a neighbour's unreadable photo",
       R"({"id": "f3", "name": "202402__", "children": [{"id": "f3/X", "name": "X.JPG",
           "file_name": null}]})",
       "delete: a folder beside 202401 was not seen whole, A.JPG is not sought elsewhere"},
      {"a neighbour cut short",
       R"({"id": "f3", "name": "202402__", "children": [], "faults": ["enum_objects"]})",
       "delete: a folder beside 202401 was not seen whole, A.JPG is not sought elsewhere"},
  };
  for (const auto& test : cases) {
    phone::Phone phone =
        PhoneFromJson(Phone(Folder("f1", "202312__", {"A.JPG"}) + ", " + test.folders));
    const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_TRUE(phone.deleted.empty()) << test.label;
    EXPECT_EQ(outcome.error, "device_busy") << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
  }
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
// every camera-roll folder of the storage together.
TEST_P(DeletionPassTest, TheCameraRollInsideDcimIsSearched) {
  phone::Phone phone = PhoneFromJson(Phone(
      Dcim(Folder("d1", "202312__", {"A.JPG", "N.JPG"}) + ", " +
           Folder("d2", "202401__", {"A.JPG"}) + ", " + Folder("d3", "100APPLE", {"U.JPG"}) + ", " +
           Folder("d4", "202311__", {"D.JPG"}) + R"(, {"id": "loose", "name": "L.JPG"})") +
      ", " + Folder("f1", "202305__", {"D.JPG"})));
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"},
                                               {u"N.JPG", u"202401"},
                                               {u"U.JPG", u"202401"},
                                               {u"D.JPG", u"202401"},
                                               {u"L.JPG", u""}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "N.JPG", "L.JPG", "U.JPG"));
  EXPECT_FALSE(OnPhone(phone, u"d2/A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"d1/A.JPG"));
  EXPECT_THAT(outcome.trace, Contains("delete: DCIM holds 5 object(s)"));
  EXPECT_THAT(outcome.trace, Contains("delete: D.JPG is on the phone 2 times, left alone"));
}

// A photo is taken only from directly inside a camera-roll folder: never from directly
// under a storage, never from deeper down. A folder inside a camera-roll folder (a
// camera roll one level deeper, DCIM\DCIM\202401__) may hold the copy where the pass
// does not look: no name is then taken by its uniqueness.
TEST_P(DeletionPassTest, NothingIsTakenByUniquenessBesideADeeperFolder) {
  const std::string deeper =
      R"(delete: "Internal Storage" holds a folder inside its camera roll, unique names there are left alone)";
  // With no month folder, the month rounds read the camera roll whole and meet it first.
  const std::string no_month =
      R"(delete: a folder of no month on "Internal Storage" could not be read whole, names sought in month folders are left alone)";
  const struct {
    const char* label;
    std::string children;
    const char* error;
    const std::string* line = nullptr;
  } cases[] = {
      {"a camera roll inside DCIM's DCIM",
       Dcim(R"({"id": "dd", "name": "DCIM", "children": [)" +
            Folder("deep", "202401__", {"X.JPG"}) + "]}, " + Folder("old", "201905__", {"X.JPG"})),
       "device_busy", &no_month},
      {"a folder inside a month folder",
       R"({"id": "f1", "name": "202401__", "children": [{"id": "sub", "name": "Sub",
           "children": [{"id": "sub/X.JPG", "name": "X.JPG"}]}]}, )" +
           Folder("old", "201905__", {"X.JPG"}),
       "device_busy", &deeper},
      {"only under the storage, and deeper",
       R"({"id": "top", "name": "X.JPG"}, {"id": "f1", "name": "Other", "children": [
           {"id": "sub", "name": "Sub", "children": [{"id": "sub/X.JPG", "name": "X.JPG"}]}]})",
       "device_busy", &no_month},
      {"only under the storage",
       R"({"id": "top", "name": "X.JPG"}, )" + Folder("f1", "202401__", {}), "not_found"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(Phone(test.children));
    const PassOutcome outcome = RunPass(&phone, {{u"X.JPG", u"202401"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_TRUE(phone.deleted.empty()) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
    if (test.line != nullptr) {
      EXPECT_THAT(outcome.trace, Contains(*test.line)) << test.label;
    }
  }
}

// A camera-roll folder of no month (an older iOS's 100APPLE, a folder month folders lie
// inside) may hold the copy of any month, beside month folders or not: every one is read
// before a month decides. A namesake there leaves the name to the unique round, the stem
// there counts as the own month's (but for a photo of no month under the exact name),
// and what the pass cannot look into there keeps every month's names back.
TEST_P(DeletionPassTest, AFolderOfNoMonthIsReadBeforeAMonthDecides) {
  const std::string unread =
      R"(delete: a folder of no month on "Internal Storage" could not be read whole, names sought in month folders are left alone)";
  const std::string deeper = Dcim(R"({"id": "dd", "name": "DCIM", "children": [)" +
                                  Folder("q", "202401__", {"IMG_0001.HEIC"}) + "]}");
  const std::string iphone = Dcim(Folder("p", "202401__", {"IMG_0001.HEIC"}));
  const struct {
    const char* label;
    std::string json;
    const char16_t* name;
    const char* error;
    std::string line;
  } cases[] = {
      {"months a level deeper", Household(iphone, deeper), u"IMG_0001.HEIC", "device_busy", unread},
      {"months a level deeper, beside a month folder",
       Household(iphone, Dcim(R"({"id": "dd", "name": "DCIM", "children": [)" +
                              Folder("q", "202401__", {"IMG_0001.HEIC"}) + "]}, " +
                              Folder("r", "202312__", {"IMG_0002.HEIC"}))),
       u"IMG_0001.HEIC", "device_busy", unread},
      {"months under another folder",
       Household(iphone, R"({"id": "ph", "name": "Photos", "children": [)" +
                             Folder("q", "202401__", {"IMG_0001.HEIC"}) + "]}"),
       u"IMG_0001.HEIC", "device_busy", unread},
      {"100APPLE beside the month on one phone",
       Phone(Dcim(Folder("o", "100APPLE", {"IMG_0001.HEIC"}) + ", " +
                  Folder("p", "202401__", {"IMG_0001.HEIC"}))),
       u"IMG_0001.HEIC", "not_found",
       "delete: IMG_0001.HEIC is in the folders of 202401 and in a folder of no month, left "
       "alone"},
      {"a namesake directly in DCIM",
       Phone(Dcim(Folder("p", "202401__", {"IMG_0001.HEIC"}) +
                  R"(, {"id": "x", "name": "IMG_0001.HEIC"})")),
       u"IMG_0001.HEIC", "not_found",
       "delete: IMG_0001.HEIC is in the folders of 202401 and in a folder of no month, left "
       "alone"},
      {"the stem beside its own name in one 100APPLE, the name in another",
       Household(Dcim(Folder("o", "100APPLE", {"IMG_0001.HEIC", "IMG_0001.MOV"})),
                 Dcim(Folder("o2", "100APPLE", {"IMG_0001.JPG"}))),
       u"IMG_0001.JPG", "not_found",
       "delete: IMG_0001.JPG is in the folders of 202401 under another extension, left alone"},
      {"the stem in the iPad's 100APPLE",
       Household(Dcim(Folder("p", "202312__", {"IMG_0001.JPG"})),
                 Dcim(Folder("o", "100APPLE", {"IMG_0001.HEIC", "IMG_0001.MOV"}))),
       u"IMG_0001.JPG", "not_found",
       "delete: IMG_0001.JPG is in the folders of 202401 under another extension, left alone"},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(test.json);
    const PassOutcome outcome = RunPass(&phone, {{test.name, u"202401"}});
    EXPECT_TRUE(phone.deleted.empty()) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.line)) << test.label;
  }
  // A Live Photo of no month: each file's namesake there is the photo's own other file.
  phone::Phone phone =
      PhoneFromJson(Phone(Dcim(Folder("o", "100APPLE", {"IMG_0001.HEIC", "IMG_0001.MOV"}))));
  EXPECT_THAT(
      RunPass(&phone, {{u"IMG_0001.HEIC", u"202401"}, {u"IMG_0001.MOV", u"202401"}}).deleted,
      ElementsAre("IMG_0001.HEIC", "IMG_0001.MOV"));
}

// DCIM's own listing shows where month folders are: when it ended early or holds a
// folder the pass cannot name, any month's folder may hide there and no round decides;
// an object of unknown kind named as a month folder hides only that month's group.
TEST_P(DeletionPassTest, AnIncompleteDcimHoldsBackTheMonthsItMayHide) {
  const struct {
    const char* gap;
    std::vector<std::string> deleted;
  } cases[] = {
      {R"({"id": "g", "name": "202402__", "children": [], "faults": ["next"]})", {}},
      {R"({"id": "g", "name": "X", "faults": ["get_values"]})", {}},
      {R"({"id": "g", "name": "202402__", "faults": ["content_type"]})", {"M.JPG"}},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(
        R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", "storages": [
          {"id": "s1", "name": "Internal Storage", "children": [)" +
        Dcim(Folder("m", "202401__", {"M.JPG"}) + ", " + Folder("n", "202312__", {"A.JPG"}) + ", " +
             Folder("o", "100APPLE", {"U.JPG"}) + ", " + test.gap) +
        R"(]}, {"id": "s2", "name": "Card", "children": [)" + Folder("b", "Other", {"U.JPG"}) +
        "]}]}]}");
    const PassOutcome outcome =
        RunPass(&phone, {{u"M.JPG", u"202401"}, {u"A.JPG", u"202401"}, {u"U.JPG", u""}});
    EXPECT_EQ(outcome.deleted, test.deleted) << test.gap;
    EXPECT_TRUE(OnPhone(phone, u"n/A.JPG")) << test.gap;
    EXPECT_TRUE(OnPhone(phone, u"o/U.JPG")) << test.gap;
    EXPECT_TRUE(OnPhone(phone, u"b/U.JPG")) << test.gap;
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

// A round decides only on evidence from every attached Apple phone and storage: a phone
// that is locked (it shows no storage, empty storages or only an empty DCIM), could not
// be opened or give its content, went away, or did not list all its storages, may hold a
// namesake of any photo, and so may a device that could not be identified or that the
// device list lacks. Every name is then kept back, on every phone, even where the
// iPad's own month holds exactly one carrier.
TEST_P(DeletionPassTest, APhoneNotSeenWholeKeepsEveryNameBack) {
  std::string twenty_one;
  for (int i = 1; i <= 21; ++i) {
    twenty_one += (i > 1 ? ", " : "") + std::string(R"({"id": "s)") + std::to_string(i) +
                  R"(", "children": [)" + Folder("f" + std::to_string(i), "Album", {"Z.JPG"}) +
                  "]}";
  }
  const std::string album =
      R"({"id": "s1", "children": [)" + Folder("a", "Album", {"Z.JPG"}) + "]}";
  const struct {
    const char* label = nullptr;
    std::string storages;
    std::string faults;
    bool locked = false;
    std::string layer_faults = {};
    bool identified = true;
  } cases[] = {
      {"no storage", "", "", true},
      {"empty storages", R"({"id": "s1", "children": []}, {"id": "s2"})", "", true},
      {"an empty DCIM",
       R"({"id": "s1", "children": [{"id": "d", "name": "DCIM", "type": "folder"}]})", "", true},
      {"busy", album, R"(, "faults": ["open"])"},
      {"access denied", album, R"(, "faults": ["open"], "fault_codes": {"open": -2147024891})"},
      {"no content", album, R"(, "faults": ["content"])"},
      {"no properties", album, R"(, "faults": ["properties"])"},
      {"hung at the content", album,
       R"(, "faults": ["content"], "fault_codes": {"content": -2145779706})"},
      {"gone while listing", album, R"(, "gone_after": 6)"},
      {"its storages cut short", album + R"(, {"id": "s9", "faults": ["next"]})", ""},
      {"more storages than are listed", twenty_one, ""},
      {"its name and maker unreadable", album, R"(, "faults": ["friendly_name", "manufacturer"])",
       false, "", false},
      {"a null id in the device list", album, R"(, "faults": ["null_id"])", false, "", false},
      {"the iPad attached since the count", album, "", false, R"(, "faults": ["devices_added"])",
       false},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(
        R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone")" + test.faults +
        R"(, "storages": [)" + test.storages +
        R"(]}, {"id": "usb#ipad", "friendly_name": "iPad", "storages": [{"id": "p", "children": [)" +
        Dcim(Folder("q", "202402__", {"IMG_0002.MOV"})) + "]}]}]" + test.layer_faults + "}");
    const PassOutcome outcome = RunPass(&phone, {{u"IMG_0002.MOV", u"202402"}});
    EXPECT_THAT(outcome.deleted, IsEmpty()) << test.label;
    EXPECT_TRUE(phone.deleted.empty()) << test.label;
    EXPECT_EQ(outcome.error, "device_busy") << test.label;
    EXPECT_THAT(
        outcome.trace,
        Contains(test.identified ? "delete: usb#iphone could not be searched whole, names not yet "
                                   "found are left alone"
                                 : "delete: an attached device could not be identified, names not "
                                   "yet found are left alone"))
        << test.label;
    EXPECT_EQ(std::count(outcome.trace.begin(), outcome.trace.end(),
                         "delete: usb#iphone shows nothing, it may be locked"),
              test.locked ? 1 : 0)
        << test.label;
  }
}

// A request that comes again must not take a namesake of a photo already deleted: what
// was deleted is answered from memory, and once any object of a photo's stem was
// deleted, or may have been, that stem is taken only from its own month.
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
  // The deletion request fails as a whole: the copy may be gone, or not. No namesake is
  // taken in its place, in any round or month: only that same object, from its own month.
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG"}) + ", " +
                                               Folder("f2", "202312__", {"A.JPG"}) + ", " +
                                               Folder("f3", "202402__", {"C.JPG"}),
                                           R"(, "faults": ["delete"])"));
  DeletionMemory memory;
  EXPECT_EQ(RunPass(&phone, wanted, &memory).error, "delete_refused");
  PassOutcome again = RunPass(&phone, {{u"A.JPG", u"202402"}}, &memory);
  EXPECT_THAT(again.trace, Contains("delete: an earlier request sent a photo of A, A.JPG is "
                                    "sought only in its own month"));
  again = RunPass(&phone, {{u"A.JPG", u"202312"}}, &memory);
  EXPECT_THAT(again.trace,
              Contains("delete: A.JPG may have been deleted by an earlier request, left alone"));
  EXPECT_EQ(layer_->counts().delete_request, 0);
  RunPass(&phone, wanted, &memory);
  EXPECT_EQ(layer_->counts().delete_request, 1);

  // HEIC and MOV of 202401's IMG_0001 were deleted; the phone shows the same photo's
  // still as IMG_0001.JPG when it converts. The 2019 IMG_0001.JPG is another photo.
  phone = PhoneFromJson(Phone(Dcim(Folder("d1", "201905__", {"IMG_0001.JPG"}) + ", " +
                                   Folder("d2", "202401__", {"IMG_0001.HEIC", "IMG_0001.MOV"}))));
  DeletionMemory fresh;
  EXPECT_THAT(RunPass(&phone, {{u"IMG_0001.HEIC", u"202401"}, {u"IMG_0001.MOV", u"202401"}}, &fresh)
                  .deleted,
              ElementsAre("IMG_0001.HEIC", "IMG_0001.MOV"));
  again = RunPass(&phone, {{u"IMG_0001.JPG", u"202401"}}, &fresh);
  EXPECT_THAT(again.deleted, IsEmpty());
  EXPECT_TRUE(OnPhone(phone, u"d1/IMG_0001.JPG"));
}

// One stem in one month is one photo: a wanted IMG_0001.JPG that its month holds only
// as IMG_0001.HEIC ("transfer as JPEG" changed, or half a Live Photo already deleted) is
// most likely that object, so no namesake elsewhere is taken for it. The rule reads the
// household's own month only when it holds no object of the exact name: a PNG of the
// stem on the iPhone does not keep the iPad's HEIC.
TEST_P(DeletionPassTest, TheSamePhotoUnderAnotherExtensionKeepsNamesakesSafe) {
  phone::Phone phone = PhoneFromJson(Phone(Dcim(
      Folder("a", "201608__", {"IMG_0001.JPG"}) + ", " + Folder("b", "202312__", {"IMG_0001.JPG"}) +
      ", " + Folder("c", "202401__", {"IMG_0001.HEIC", "IMG_0001.AAE", "IMG_0002.MOV"}))));
  PassOutcome outcome =
      RunPass(&phone, {{u"IMG_0001.JPG", u"202401"}, {u"IMG_0002.HEIC", u"202401"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_TRUE(phone.deleted.empty());
  EXPECT_THAT(outcome.trace, Contains("delete: IMG_0001.JPG is in the folders of 202401 under "
                                      "another extension, left alone"));

  phone = PhoneFromJson(Household(Dcim(Folder("p", "202401__", {"IMG_0005.PNG"})),
                                  Dcim(Folder("q", "202401__", {"IMG_0005.HEIC"}))));
  outcome = RunPass(&phone, {{u"IMG_0005.HEIC", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("IMG_0005.HEIC"));
  EXPECT_TRUE(OnPhone(phone, u"p/IMG_0005.PNG"));
}

// A name wanted under two months is two photos (the counter wrapped): each is taken
// from its own month's folders, and neither is sought beside them or by uniqueness. One
// month asked with the copy's size and without it is one photo: the namesake of another
// size is no copy for either. So is one entry sent twice: it is still sought beside its
// month.
TEST_P(DeletionPassTest, ANameWantedUnderTwoMonthsIsTwoPhotos) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"A.JPG"}) + ", " +
                                           Folder("f2", "202406__", {"A.JPG"}) + ", " +
                                           Folder("f3", "202312__", {"B.JPG"})));
  PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"A.JPG", u"202406"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("A.JPG", "A.JPG"));
  EXPECT_TRUE(OnPhone(phone, u"f3/B.JPG"));

  outcome = RunPass(&phone, {{u"B.JPG", u"202401"}, {u"B.JPG", u"202407"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_EQ(outcome.error, "not_found");
  EXPECT_THAT(outcome.trace,
              Contains("delete: B.JPG is wanted as 2 photos, the one of \"202401\" is sought "
                       "only in its own month"));

  phone = PhoneFromJson(Phone(Folder("f1", "202401__", {"C.JPG=1000"})));
  outcome = RunPass(&phone, {{u"C.JPG", u"202401", 2000}, {u"C.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, IsEmpty());
  EXPECT_EQ(outcome.error, "not_found");
  EXPECT_THAT(outcome.trace, Contains("delete: C.JPG in 202401__ is 1000 bytes, the copy 2000, "
                                      "passed over")
                                 .Times(1));

  phone = PhoneFromJson(Phone(Folder("f3", "202312__", {"D.JPG"})));
  outcome = RunPass(&phone, {{u"D.JPG", u"202401"}, {u"D.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("D.JPG"));
}

constexpr char kTwoPhones[] = R"({"devices": [
  {"id": "usb#1", "friendly_name": "iPhone", "storages": [{"id": "s1", "name": "Internal Storage",
    "children": [{"id": "f1", "name": "202401__", "children": [
      {"id": "1a", "name": "A.JPG"}, {"id": "1b", "name": "B.JPG"}]}]}]},
  {"id": "usb#2", "friendly_name": "iPad", "storages": [{"id": "s2", "name": "Internal Storage",
    "children": [{"id": "f2", "name": "202401__", "children": [
      {"id": "2a", "name": "A.JPG"}, {"id": "2c", "name": "C.JPG"}]}]}]}
]})";

// Every attached Apple phone is opened and its own month listed before the first
// choice, also when the first phone holds every name: the second may hold a namesake.
TEST_P(DeletionPassTest, EveryAttachedPhoneIsSearchedBeforeTheFirstChoice) {
  phone::Phone phone = PhoneFromJson(kTwoPhones);
  const PassOutcome outcome = RunPass(&phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("B.JPG"));
  EXPECT_EQ(layer_->counts().open, 2);
  EXPECT_EQ(layer_->counts().delete_request, 1);
  EXPECT_TRUE(OnPhone(phone, u"1a"));
  EXPECT_TRUE(OnPhone(phone, u"2a"));
}

TEST_P(DeletionPassTest, EachPhoneGetsOneRequest) {
  phone::Phone phone = PhoneFromJson(kTwoPhones);
  phone.devices[0].Find(u"1b")->faults.refuse = true;
  const PassOutcome outcome = RunPass(&phone, {{u"B.JPG", u"202401"}, {u"C.JPG", u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("C.JPG"));
  EXPECT_EQ(outcome.error, "delete_refused");
  EXPECT_EQ(layer_->counts().delete_request, 2);
  EXPECT_TRUE(OnPhone(phone, u"1b"));
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
      &phone, {{u"IMG_1.JPG", u"202401"}, {text::UpperCaseWide(u"\u00E9t\u00E9.jpg"), u"202401"}});
  EXPECT_THAT(outcome.deleted, ElementsAre("img_1.jpg"));
  EXPECT_TRUE(OnPhone(phone, u"f1/\u00C9T\u00C9.JPG"));
}

// With iCloud Photos on, an iPhone reports its photo storage as allowing no deletion,
// and the phone may mark an object as protected: nothing is sent for either, each is
// answered as refused, and the read-only storage's photos still count for uniqueness.
// A capability that cannot be read may be that of a storage with iCloud Photos on:
// its photos are kept back. A flag that cannot be read changes nothing: the storage's
// capability still rules. Such a storage does not list a photo kept only in iCloud: a
// photo asked without a size is then taken from no other storage.
TEST_P(DeletionPassTest, WhatThePhoneDeclaresIsRespected) {
  const std::string read_only =
      R"(delete: B.JPG lies on "Internal Storage", which allows no deletion (iCloud Photos may )"
      R"(be on), refused)";
  const struct {
    const char* label;
    std::string storage_extra;  // of the first storage
    std::string b_extra;        // of B.JPG there
    std::vector<std::string> deleted;
    const char* error;
    const char* trace;
  } cases[] = {
      {"read-only", R"(, "access": 1)", "", {"C.JPG"}, "delete_refused", read_only.c_str()},
      {"read-only with object deletion", R"(, "access": 2)", "", {"B.JPG", "C.JPG"}, "", nullptr},
      {"a capability that cannot be read",
       R"(, "access": 1, "faults": ["access"])",
       "",
       {"C.JPG"},
       "device_busy",
       R"(delete: B.JPG lies on "Internal Storage", which did not say whether it allows )"
       R"(deletion, left alone)"},
      {"a protected object",
       "",
       R"(, "can_delete": false)",
       {"C.JPG"},
       "delete_refused",
       "delete: the phone allows no deletion of B.JPG, refused"},
      {"a flag that cannot be read",
       "",
       R"(, "can_delete": false, "faults": ["can_delete"])",
       {"B.JPG", "C.JPG"},
       "",
       nullptr},
  };
  for (const auto& test : cases) {
    phone::Phone phone = PhoneFromJson(
        R"({"devices": [{"id": "usb#iphone", "friendly_name": "iPhone", "storages": [
          {"id": "s1", "name": "Internal Storage")" +
        test.storage_extra + R"(, "children": [{"id": "f1", "name": "202401__", "children": [
            {"id": "a1", "name": "A.JPG"}, {"id": "b", "name": "B.JPG")" +
        test.b_extra + R"(}]}]},
          {"id": "s2", "name": "Card", "access": 0, "children": [)" +
        Folder("f2", "202401__", {"A.JPG", "C.JPG=1000"}) + "]}]}]}");
    const PassOutcome outcome = RunPass(
        &phone, {{u"A.JPG", u"202401"}, {u"B.JPG", u"202401"}, {u"C.JPG", u"202401", 1000}});
    EXPECT_EQ(outcome.deleted, test.deleted) << test.label;
    EXPECT_EQ(outcome.error, test.error) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"a1")) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"f2/A.JPG")) << test.label;
    if (test.trace != nullptr) {
      EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
    }
  }

  std::string household =
      Household(Dcim(Folder("p", "202312__", {"B.JPG"})), Dcim(Folder("q", "202401__", {"C.JPG"})));
  household.insert(household.find(R"("name": "Internal Storage")"), R"("access": 1, )");
  phone::Phone phone = PhoneFromJson(household);
  const PassOutcome outcome = RunPass(&phone, {{u"C.JPG", u"202401"}});
  EXPECT_TRUE(phone.deleted.empty());
  EXPECT_EQ(outcome.error, "not_found");
  EXPECT_THAT(outcome.trace, Contains("delete: C.JPG was asked without a size and \"Internal "
                                      "Storage\" may not list every photo (iCloud Photos may be "
                                      "on), left alone"));
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

// The unique-name search takes a name found once only when it saw everything every
// storage's camera roll holds. Each case's first storage holds U.JPG once where the pass
// can see it, and something the pass knows it did not see in another month's folder:
// U.JPG stays on both storages. The own month still decides, unless the storage's own
// listing ended early.
TEST_P(DeletionPassTest, UniqueNameSearchDecidesOnlyOnCompleteListings) {
  struct Case {
    const char* label;
    std::string gap;  // top-level objects of the first storage, after its folders
    const char* trace;
    std::vector<std::string> deleted = {"M.JPG"};
  };
  const std::string ended_early =
      R"(delete: a listing of "Internal Storage" ended early, unique names there are left alone)";
  const std::string unreadable =
      R"(delete: an object of "Internal Storage" could not be read, unique names there are left alone)";
  const Case cases[] = {
      {"failed Next in the storage",
       R"({"id": "x", "name": "201905__", "children": [], "faults": ["next"]})",
       ended_early.c_str(),
       {}},
      {"failed Next in a folder",
       R"({"id": "x", "name": "201905__", "children": [{"id": "x1", "name": "A"},
           {"id": "x2", "name": "B", "faults": ["next"]}]})",
       ended_early.c_str()},
      {"failed EnumObjects",
       R"({"id": "x", "name": "201905__", "children": [], "faults": ["enum_objects"]})",
       ended_early.c_str()},
      {"top-level kind unknown",
       R"({"id": "x", "name": "201905__", "children": [], "faults": ["content_type"]})",
       unreadable.c_str()},
      {"properties of a photo",
       R"({"id": "x", "name": "201905__", "children": [{"id": "x1", "name": "U.JPG", "faults": ["get_values"]}]})",
       unreadable.c_str()},
      {"name of a photo",
       R"({"id": "x", "name": "201905__", "children": [{"id": "x1", "name": "U.JPG",
           "faults": ["file_name", "name"]}]})",
       unreadable.c_str()},
      {"file name of a photo, which has an object name",
       R"({"id": "x", "name": "201905__", "children": [{"id": "x1", "name": "Holiday",
           "file_name": null}]})",
       unreadable.c_str()},
      {"a folder in DCIM named only by its object name",
       R"({"id": "dcim", "name": "DCIM", "children": [{"id": "g", "name": "Trip",
           "file_name": null, "children": []}]})",
       unreadable.c_str(),
       {}},
      {"listed-object limit",
       R"({"id": "x", "name": "201905__", "filler": 15001}, {"id": "y", "name": "201906__", "children": []})",
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
    EXPECT_EQ(outcome.deleted, test.deleted) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"a/U.JPG")) << test.label;
    EXPECT_TRUE(OnPhone(phone, u"b/U.JPG")) << test.label;
    EXPECT_THAT(outcome.trace, Contains(test.trace)) << test.label;
    // No more listing than before: the folder after the limit is never listed.
    EXPECT_EQ(Enumerations(u"usb#iphone", u"y"), 0) << test.label;
  }
}
// The listed-object limit is tested before each folder: a limit crossed by the last
// folder stopped nothing, and the search still decides.
TEST_P(DeletionPassTest, ALimitCrossedByTheLastFolderStopsNothing) {
  phone::Phone phone = PhoneFromJson(Phone(Folder("a", "Album", {"U.JPG", "W.JPG"}) + ", " +
                                           Folder("x", "X", {"W.JPG"}) +
                                           R"(, {"id": "big", "name": "Bulk", "filler": 15001})"));
  const PassOutcome outcome = RunPass(&phone, {{u"U.JPG", u""}, {u"W.JPG", u""}});
  EXPECT_THAT(outcome.deleted, ElementsAre("U.JPG"));
  EXPECT_THAT(outcome.trace, Contains("delete: W.JPG is on the phone 2 times, left alone"));
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
  // Read: 1 storage, 3 top-level objects, 2 + 1 folder children; each listing's ids come
  // in one Next.
  EXPECT_EQ(counts.get_values, 7);
  EXPECT_EQ(counts.enum_objects, 4);
  EXPECT_EQ(counts.next, 4);
  EXPECT_EQ(counts.create_manager, 1);
  EXPECT_EQ(counts.create_key_collection, 1);
  EXPECT_EQ(counts.delete_request, 1);
  EXPECT_EQ(counts.add_id, 2);

  // A camera roll that holds more than the unique search may list decides nothing by
  // uniqueness: counted by its ids, none of its objects is read for it.
  phone = PhoneFromJson(Phone(Folder("m", "202401__", {"M.JPG"}) +
                              R"(, {"id": "big", "name": "201905__", "filler": 15001}, )" +
                              Folder("a", "201906__", {"U.JPG"})));
  EXPECT_THAT(RunPass(&phone, {{u"M.JPG", u"202401"}, {u"U.JPG", u""}}).deleted,
              ElementsAre("M.JPG"));
  EXPECT_EQ(layer_->counts().get_values, 1 + 3 + 1);
  EXPECT_EQ(Enumerations(u"usb#iphone", u"big"), 1);
  EXPECT_EQ(Enumerations(u"usb#iphone", u"a"), 0);
}

// A driver that shows one object in the folders of both months a name is wanted under
// gets it sent once, for both photos. Only the simulated layer can show it: a phone file
// holds an id once.
TEST(DeletionPassDriverFaultTest, AnObjectShownInTwoMonthsIsSentOnce) {
  phone::Phone phone = PhoneFromJson(
      Phone(Folder("f1", "202401__", {"C.JPG"}) + ", " + Folder("f2", "202406__", {"D.JPG"})));
  phone.devices[0].Find(u"f2")->children.push_back(u"f1/C.JPG");
  phone::SimulatedDeviceLayer layer(&phone);
  std::string error;
  EXPECT_THAT(DeleteWantedFiles(layer, {{u"C.JPG", u"202401"}, {u"C.JPG", u"202406"}}, &error),
              ElementsAre(u"C.JPG"));
  EXPECT_EQ(error, "");
  EXPECT_EQ(layer.counts().delete_request, 1);
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
