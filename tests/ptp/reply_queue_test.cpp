#include "ptp/reply_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "ptp/reply_backlog.h"
#include "tests/ptp/service_fixture.h"

namespace camvey::ptp {
namespace {

using ::testing::ElementsAre;

// Logs the first name of each answer, so that the order of answers shows.
class LoggingResult : public flutter::MethodResult {
 public:
  explicit LoggingResult(std::vector<std::string>* log) : log_(log) {}
  ~LoggingResult() override { log_->push_back("destroyed"); }

  using flutter::MethodResult::Success;
  void Success(const EncodableValue* result) override {
    log_->push_back(std::get<std::string>(std::get<EncodableList>(*result).at(0)));
  }
  void Error(const std::string& code, const std::string&, const EncodableValue*) override {
    log_->push_back(code);
  }
  void NotImplemented() override { log_->push_back("not implemented"); }

 private:
  std::vector<std::string>* log_;
};

std::unique_ptr<PtpReply> NamedReply(const std::u16string& name, std::vector<std::string>* log) {
  auto reply = std::make_unique<PtpReply>();
  reply->result = std::make_unique<LoggingResult>(log);
  reply->names = {name};
  return reply;
}

TEST(ReplyQueueTest, AnswersHeldBackRepliesThenQueuedOnesInPostingOrder) {
  ReplyQueue queue;
  EXPECT_TRUE(queue.Ready());
  std::vector<std::string> log;
  HoldBackPtpReply(NamedReply(u"held", &log), MakeBacklogRoom());
  for (const char16_t* name : {u"one", u"two", u"three"}) {
    std::unique_ptr<PtpReply> reply = NamedReply(name, &log);
    std::thread([&queue, &reply] { EXPECT_TRUE(queue.Post(&reply)); }).join();
    EXPECT_EQ(reply, nullptr);
  }
  EXPECT_TRUE(log.empty());

  EXPECT_EQ(queue.DeliverQueued(std::chrono::milliseconds(0)), 3u);
  EXPECT_THAT(log, ElementsAre("held", "destroyed", "one", "destroyed", "two", "destroyed", "three",
                               "destroyed"));
  EXPECT_EQ(queue.DeliverQueued(std::chrono::milliseconds(0)), 0u);
}

TEST(ReplyQueueTest, WaitsForAReplyFromAnotherThread) {
  ReplyQueue queue;
  std::vector<std::string> log;
  std::unique_ptr<PtpReply> reply = NamedReply(u"late", &log);
  std::thread worker([&queue, &reply] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(queue.Post(&reply));
  });
  size_t delivered = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (delivered == 0 && std::chrono::steady_clock::now() < deadline) {
    delivered = queue.DeliverQueued(std::chrono::seconds(20));
  }
  worker.join();
  EXPECT_EQ(delivered, 1u);
  EXPECT_THAT(log, ElementsAre("late", "destroyed"));
}

}  // namespace
}  // namespace camvey::ptp
