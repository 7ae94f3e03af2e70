#include "ptp/request/wanted_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "text/wide_text.h"

namespace camvey::ptp {

bool operator==(const WantedFile& lhs, const WantedFile& rhs) {
  return lhs.name == rhs.name && lhs.month == rhs.month && lhs.size == rhs.size &&
         lhs.size_unusable == rhs.size_unusable;
}

void PrintTo(const WantedFile& file, std::ostream* out) {
  *out << "{" << text::WideToUtf8(file.name) << ", " << text::WideToUtf8(file.month);
  if (file.size.has_value()) *out << ", " << *file.size;
  if (file.size_unusable) *out << ", unusable size";
  *out << "}";
}

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

std::vector<WantedFile> Parse(std::unique_ptr<EncodableValue> arguments) {
  const flutter::MethodCall call("deleteFiles", std::move(arguments));
  return ParseWantedFiles(call);
}

std::vector<WantedFile> Parse(EncodableValue arguments) {
  return Parse(std::make_unique<EncodableValue>(std::move(arguments)));
}

EncodableValue Files(EncodableList files) {
  return EncodableValue(EncodableMap{{EncodableValue("files"), EncodableValue(std::move(files))}});
}

EncodableValue Entry(EncodableValue name, EncodableValue month) {
  return EncodableValue(EncodableMap{{EncodableValue("name"), std::move(name)},
                                     {EncodableValue("month"), std::move(month)}});
}

TEST(WantedFileTest, UnusableArgumentsGiveAnEmptyList) {
  EXPECT_TRUE(Parse(std::unique_ptr<EncodableValue>()).empty());
  const std::pair<const char*, EncodableValue> cases[] = {
      {"null", EncodableValue()},
      {"list", EncodableValue(EncodableList{Entry(EncodableValue("a.jpg"), EncodableValue())})},
      {"string", EncodableValue("files")},
      {"map without files",
       EncodableValue(EncodableMap{{EncodableValue("name"), EncodableValue("a")}})},
      {"capital F",
       EncodableValue(EncodableMap{
           {EncodableValue("Files"), EncodableValue(EncodableList{Entry(
                                         EncodableValue("a.jpg"), EncodableValue("202401"))})}})},
      {"files as map",
       EncodableValue(EncodableMap{{EncodableValue("files"), EncodableValue(EncodableMap{})}})},
      {"files as string",
       EncodableValue(EncodableMap{{EncodableValue("files"), EncodableValue("a.jpg")}})},
      {"no element a map",
       Files(EncodableList{EncodableValue(int32_t{7}), EncodableValue("a.jpg"), EncodableValue()})},
      {"empty files", Files(EncodableList{})},
  };
  for (const auto& [label, arguments] : cases) EXPECT_TRUE(Parse(arguments).empty()) << label;
}

TEST(WantedFileTest, SkipsEntriesWithoutAUsableName) {
  const std::vector<WantedFile> wanted = Parse(Files(EncodableList{
      Entry(EncodableValue(""), EncodableValue("202401")),
      Entry(EncodableValue(int32_t{12}), EncodableValue("202401")),
      EncodableValue(EncodableMap{{EncodableValue("month"), EncodableValue("202401")}}),
      Entry(EncodableValue(std::vector<uint8_t>{'a'}), EncodableValue("202401")),
      Entry(EncodableValue("kept.jpg"), EncodableValue("202402")),
  }));
  EXPECT_EQ(wanted, (std::vector<WantedFile>{{u"KEPT.JPG", u"202402"}}));
}

TEST(WantedFileTest, UpperCasesNamesAndKeepsMonthsAsSent) {
  const std::vector<WantedFile> wanted = Parse(Files(EncodableList{
      EncodableValue(EncodableMap{{EncodableValue("name"), EncodableValue("img_0001.jpg")}}),
      Entry(EncodableValue("caf\xC3\xA9.heic"), EncodableValue("2024-01")),
      Entry(EncodableValue("a\xFF.jpg"), EncodableValue(int32_t{202401})),
      Entry(EncodableValue("x.jpg"), EncodableValue("abc")),
  }));
  EXPECT_EQ(wanted, (std::vector<WantedFile>{{u"IMG_0001.JPG", u""},
                                             {u"CAF\u00E9.HEIC", u"2024-01"},
                                             {u"A\uFFFD.JPG", u""},
                                             {u"X.JPG", u"abc"}}));
}

TEST(WantedFileTest, KeepsRequestOrderAndDuplicates) {
  const std::vector<WantedFile> wanted = Parse(Files(EncodableList{
      Entry(EncodableValue("b.jpg"), EncodableValue("202402")),
      Entry(EncodableValue("a.jpg"), EncodableValue("202401")),
      Entry(EncodableValue("B.JPG"), EncodableValue("202312")),
  }));
  EXPECT_EQ(wanted, (std::vector<WantedFile>{
                        {u"B.JPG", u"202402"}, {u"A.JPG", u"202401"}, {u"B.JPG", u"202312"}}));
}

TEST(WantedFileTest, IgnoresOtherKeysAtBothLevels) {
  EncodableMap entry{{EncodableValue("name"), EncodableValue("a.jpg")},
                     {EncodableValue("month"), EncodableValue("202401")},
                     {EncodableValue("Size"), EncodableValue(int64_t{1} << 40)},
                     {EncodableValue(int32_t{1}), EncodableValue("other.jpg")}};
  EncodableMap arguments{
      {EncodableValue("files"), EncodableValue(EncodableList{EncodableValue(entry)})},
      {EncodableValue("dryRun"), EncodableValue(true)}};
  EXPECT_EQ(Parse(EncodableValue(arguments)), (std::vector<WantedFile>{{u"A.JPG", u"202401"}}));
}

// A size that is present but no byte count keeps its entry, marked, so that the pass
// deletes nothing for it; null or absent is no size.
TEST(WantedFileTest, ReadsTheCopysSize) {
  const auto with_size = [](EncodableValue size) {
    return EncodableValue(EncodableMap{{EncodableValue("name"), EncodableValue("a.jpg")},
                                       {EncodableValue("month"), EncodableValue("202401")},
                                       {EncodableValue("size"), std::move(size)}});
  };
  WantedFile unusable{u"A.JPG", u"202401"};
  unusable.size_unusable = true;
  const std::pair<EncodableValue, WantedFile> cases[] = {
      {EncodableValue(int32_t{2048}), {u"A.JPG", u"202401", 2048}},
      {EncodableValue(int32_t{0}), {u"A.JPG", u"202401", 0}},
      {EncodableValue(int64_t{5} << 32), {u"A.JPG", u"202401", uint64_t{5} << 32}},
      {EncodableValue(), {u"A.JPG", u"202401"}},
      {EncodableValue(int32_t{-1}), unusable},
      {EncodableValue(-(int64_t{1} << 40)), unusable},
      {EncodableValue(2048.0), unusable},
      {EncodableValue("2048"), unusable},
      {EncodableValue(true), unusable},
  };
  for (const auto& [size, expected] : cases) {
    EXPECT_EQ(Parse(Files(EncodableList{with_size(size)})), std::vector<WantedFile>{expected});
  }
}

}  // namespace
}  // namespace camvey::ptp
