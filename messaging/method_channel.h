#ifndef CAMVEY_MESSAGING_METHOD_CHANNEL_H_
#define CAMVEY_MESSAGING_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>

#include "messaging/binary_messenger.h"
#include "messaging/method_call.h"
#include "messaging/method_codec.h"
#include "messaging/method_result.h"

namespace flutter {

// Handles one method call. `call` is valid only during the call; the handler takes
// over `result` and answers it once, now or later, from wherever it carried it.
using MethodCallHandler =
    std::function<void(const MethodCall& call, std::unique_ptr<MethodResult> result)>;

// Method calls over the byte messages of one named channel. Used on the platform
// thread; results may be answered elsewhere (see EngineMethodResult).
class MethodChannel {
 public:
  // `messenger` and `codec` are borrowed and must outlive every message of the channel.
  // Makes no messenger call, and neither does destruction: an installed handler stays.
  MethodChannel(BinaryMessenger* messenger, std::string name, const MethodCodec* codec);

  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  const std::string& name() const { return name_; }

  // Installs `handler` for the channel's calls, replacing any earlier one; an empty
  // handler removes it. A message that does not decode to a call reaches no handler,
  // is reported on standard error and is answered as not implemented.
  void SetMethodCallHandler(MethodCallHandler handler) const;

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec* codec_;
};

}  // namespace flutter

#endif  // CAMVEY_MESSAGING_METHOD_CHANNEL_H_
