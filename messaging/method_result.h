#ifndef CAMVEY_MESSAGING_METHOD_RESULT_H_
#define CAMVEY_MESSAGING_METHOD_RESULT_H_

#include <string>

#include "messaging/encodable_value.h"

namespace flutter {

// The answer to one method call. Its holder calls exactly one of Success, Error or
// NotImplemented, exactly once; a result is owned by one holder at a time and handed
// on by moving it (std::unique_ptr<MethodResult>), never shared. Implementations
// refuse and report a second answer, and report a result destroyed unanswered.
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  // `result` may be null: a success without a value (encoded as null).
  virtual void Success(const EncodableValue* result) = 0;
  // `details` may be null: an error without details.
  virtual void Error(const std::string& error_code, const std::string& error_message,
                     const EncodableValue* details) = 0;
  virtual void NotImplemented() = 0;

  void Success() { Success(nullptr); }
  void Success(const EncodableValue& result) { Success(&result); }
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_METHOD_RESULT_H_
