#ifndef CAMVEY_MESSAGING_METHOD_CALL_H_
#define CAMVEY_MESSAGING_METHOD_CALL_H_

#include <memory>
#include <string>
#include <utility>

#include "messaging/encodable_value.h"

namespace flutter {

// A decoded method call: the method name and its owned arguments. Calls decoded by the
// standard method codec always carry arguments (null when the message had none). A
// call lives only for its handler's call; a handler that needs the arguments later
// copies them.
class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<EncodableValue> arguments)
      : method_name_(std::move(method_name)), arguments_(std::move(arguments)) {}
  virtual ~MethodCall() = default;

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& method_name() const { return method_name_; }
  // The arguments, or null when the call was made without any.
  const EncodableValue* arguments() const { return arguments_.get(); }

 private:
  std::string method_name_;
  std::unique_ptr<EncodableValue> arguments_;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_METHOD_CALL_H_
