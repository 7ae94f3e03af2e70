#include "ptp/reply_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

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

// A reply in a list of its own, as a job makes it.
ReplyList NamedReply(const std::u16string& name, std::vector<std::string>* log) {
  ReplyList replies(1);
  replies.front().result = std::make_unique<LoggingResult>(log);
  replies.front().names = {name};
  return replies;
}

TEST(ReplyQueueTest, AnswersRepliesInTheOrderTheyCameFromTheirThreads) {
  ReplyQueue queue;
  std::vector<std::string> log;
  for (const char16_t* name : {u"one", u"two", u"three"}) {
    ReplyList reply = NamedReply(name, &log);
    std::thread([&queue, &reply] { queue.Add(reply); }).join();
    EXPECT_TRUE(reply.empty());
  }
  EXPECT_TRUE(log.empty());

  EXPECT_EQ(queue.DeliverQueued(std::chrono::milliseconds(0)), 3u);
  EXPECT_THAT(log, ElementsAre("one", "destroyed", "two", "destroyed", "three", "destroyed"));
  EXPECT_EQ(queue.DeliverQueued(std::chrono::milliseconds(0)), 0u);
}

TEST(ReplyQueueTest, WaitsForAReplyFromAnotherThread) {
  ReplyQueue queue;
  std::vector<std::string> log;
  ReplyList reply = NamedReply(u"late", &log);
  std::thread worker([&queue, &reply] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    queue.Add(reply);
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
