#ifndef CAMVEY_TESTS_MESSAGING_STDERR_CAPTURE_H_
#define CAMVEY_TESTS_MESSAGING_STDERR_CAPTURE_H_

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>
#include <vector>

// Takes over std::cerr while it lives and keeps what was written, cut at every flush,
// so that a test can check that each diagnostic is one whole line, flushed. Writers
// may be on any thread; read after they are done.
class StderrCapture {
 public:
  StderrCapture() : previous_(std::cerr.rdbuf(&buffer_)) {}
  ~StderrCapture() { std::cerr.rdbuf(previous_); }

  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // The text of every flush, in order; text not yet flushed comes last.
  std::vector<std::string> Flushes() const { return buffer_.Flushes(); }

 private:
  class Buffer : public std::streambuf {
   public:
    std::vector<std::string> Flushes() const {
      std::lock_guard<std::mutex> guard(mutex_);
      std::vector<std::string> flushes = flushed_;
      if (!pending_.empty()) {
        flushes.push_back(pending_);
      }
      return flushes;
    }

   protected:
    int_type overflow(int_type c) override {
      if (!traits_type::eq_int_type(c, traits_type::eof())) {
        std::lock_guard<std::mutex> guard(mutex_);
        pending_.push_back(traits_type::to_char_type(c));
      }
      return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
      std::lock_guard<std::mutex> guard(mutex_);
      pending_.append(text, static_cast<size_t>(count));
      return count;
    }
    int sync() override {
      std::lock_guard<std::mutex> guard(mutex_);
      if (!pending_.empty()) {
        flushed_.push_back(pending_);
        pending_.clear();
      }
      return 0;
    }

   private:
    mutable std::mutex mutex_;
    std::string pending_;
    std::vector<std::string> flushed_;
  };

  Buffer buffer_;
  std::streambuf* previous_;
};

#endif  // CAMVEY_TESTS_MESSAGING_STDERR_CAPTURE_H_
