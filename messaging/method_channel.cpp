#include "messaging/method_channel.h"

#include <iostream>
#include <utility>

#include "messaging/engine_method_result.h"

namespace flutter {

MethodChannel::MethodChannel(BinaryMessenger* messenger, std::string name, const MethodCodec* codec)
    : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

void MethodChannel::SetMethodCallHandler(MethodCallHandler handler) const {
  if (!handler) {
    messenger_->SetMessageHandler(name_, nullptr);
    return;
  }
  messenger_->SetMessageHandler(
      name_, [call_handler = std::move(handler), codec = codec_, channel = name_](
                 const uint8_t* message, size_t message_size, BinaryReply reply) {
        // Made before decoding, so that even an undecodable message is answered.
        auto result = std::make_unique<EngineMethodResult>(std::move(reply), codec);
        std::unique_ptr<MethodCall> call = codec->DecodeMethodCall(message, message_size);
        if (!call) {
          std::cerr << ("Unable to construct method call from message on channel " + channel + "\n")
                    << std::flush;
          result->NotImplemented();
          return;
        }
        call_handler(*call, std::move(result));
      });
}

}  // namespace flutter
