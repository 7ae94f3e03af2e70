#include "ptp/ptp_reply.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/messaging/stderr_capture.h"
#include "tests/ptp/service_fixture.h"

namespace camvey::ptp {
namespace {

TEST(PtpReplyTest, NamesWinOverTheErrorCode) {
  struct Case {
    const char* label;
    std::vector<std::u16string> names;
    std::string error;
    Bytes answer;
  };
  const Case cases[] = {
      {"names only",
       {u"IMG_0001.HEIC", u"F\u00eate.JPG"},
       "",
       NamesBytes({"IMG_0001.HEIC", kFeteUtf8})},
      {"names and a code", {u"A.JPG", u"B.JPG"}, "delete_refused", NamesBytes({"A.JPG", "B.JPG"})},
      {"code only", {}, "not_found", FailedBytes("not_found")},
      {"neither", {}, "", NamesBytes({})},
      {"outside the first plane", {u"\U0001F600.PNG"}, "", NamesBytes({"\xF0\x9F\x98\x80.PNG"})},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.label);
    RecordingResult::Record record;
    PtpReply reply;
    reply.result = std::make_unique<RecordingResult>(&record);
    reply.names = test.names;
    reply.error = test.error;
    DeliverPtpReply(reply);
    EXPECT_EQ(record.answers, 1);
    EXPECT_EQ(record.answer, test.answer);
  }
}

TEST(PtpReplyTest, CompletingDestroysTheReplyEvenWhenAnsweringThrows) {
  for (bool throws : {false, true}) {
    RecordingResult::Record record;
    PtpReply reply;
    reply.result = std::make_unique<RecordingResult>(&record, throws);
    reply.error = "no_camera";
    StderrCapture stderr_capture;
    EXPECT_NO_THROW(CompletePtpReply(std::move(reply)));
    EXPECT_EQ(record.answers, 1);
    EXPECT_EQ(record.answer, FailedBytes("no_camera"));
    EXPECT_TRUE(record.destroyed);
    EXPECT_EQ(stderr_capture.Flushes(),
              std::vector<std::string>(throws ? 1 : 0,
                                       "Exception while answering a deleteFiles request.\n"));
  }
}

}  // namespace
}  // namespace camvey::ptp
