#include "messaging/engine_method_result.h"

#include <iostream>
#include <memory>
#include <utility>

namespace flutter {

OneTimeReply::OneTimeReply(BinaryReply&& reply) : reply_(std::move(reply)) {}

OneTimeReply::~OneTimeReply() {
  if (reply_) {
    std::cerr << "Warning: Failed to respond to a message. This is a memory leak.\n" << std::flush;
  }
}

void OneTimeReply::SendOnce(const std::vector<uint8_t>* bytes) {
  if (!reply_) {
    std::cerr << "Error: Only one of Success, Error, or NotImplemented can be called,"
                 " and it can be called exactly once. Ignoring duplicate result.\n"
              << std::flush;
    return;
  }
  // Taken out first, so the reply (and its messenger reference) is gone when this returns.
  BinaryReply reply = std::move(reply_);
  reply_ = nullptr;
  if (bytes == nullptr || bytes->empty()) {
    reply(nullptr, 0);
  } else {
    reply(bytes->data(), bytes->size());
  }
}

EngineMethodResult::EngineMethodResult(BinaryReply&& reply, const MethodCodec* codec)
    : reply_(std::move(reply)), codec_(codec) {}

EngineMethodResult::~EngineMethodResult() = default;

void EngineMethodResult::Success(const EncodableValue* result) {
  std::unique_ptr<std::vector<uint8_t>> bytes = codec_->EncodeSuccessEnvelope(result);
  reply_.SendOnce(bytes.get());
}

void EngineMethodResult::Error(const std::string& error_code, const std::string& error_message,
                               const EncodableValue* details) {
  std::unique_ptr<std::vector<uint8_t>> bytes =
      codec_->EncodeErrorEnvelope(error_code, error_message, details);
  reply_.SendOnce(bytes.get());
}

void EngineMethodResult::NotImplemented() { reply_.SendOnce(nullptr); }

}  // namespace flutter
