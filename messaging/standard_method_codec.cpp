#include "messaging/standard_method_codec.h"

#include <iostream>
#include <map>
#include <mutex>
#include <utility>
#include <variant>

#include "messaging/byte_streams.h"

namespace flutter {
namespace {

constexpr uint8_t kSuccessEnvelope = 0;
constexpr uint8_t kErrorEnvelope = 1;

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) {
    serializer = &StandardCodecSerializer::GetInstance();
  }
  // Codecs are handed out by reference for the life of the process, so the registry is
  // never torn down.
  static auto* const registry =
      new std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>>();
  static auto* const registry_mutex = new std::mutex();
  const std::lock_guard<std::mutex> lock(*registry_mutex);
  std::unique_ptr<StandardMethodCodec>& codec = (*registry)[serializer];
  if (!codec) {
    codec.reset(new StandardMethodCodec(serializer));
  }
  return *codec;
}

StandardMethodCodec::StandardMethodCodec(const StandardCodecSerializer* serializer)
    : serializer_(serializer) {}

StandardMethodCodec::~StandardMethodCodec() = default;

std::unique_ptr<MethodCall> StandardMethodCodec::DecodeMethodCall(const uint8_t* message,
                                                                  size_t message_size) const {
  ByteBufferStreamReader stream(message, message_size);
  EncodableValue name = serializer_->ReadValue(&stream);
  if (!std::holds_alternative<std::string>(name)) {
    std::cerr << "Invalid method call; method name is not a string.\n" << std::flush;
    return nullptr;
  }
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&stream));
  return std::make_unique<MethodCall>(std::move(std::get<std::string>(name)), std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCall(
    const MethodCall& method_call) const {
  auto message = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(message.get());
  serializer_->WriteValue(EncodableValue(method_call.method_name()), &stream);
  if (method_call.arguments() != nullptr) {
    serializer_->WriteValue(*method_call.arguments(), &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
  return message;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessEnvelope(
    const EncodableValue* result) const {
  auto message = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(message.get());
  stream.WriteByte(kSuccessEnvelope);
  serializer_->WriteValue(result != nullptr ? *result : EncodableValue(), &stream);
  return message;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelope(
    const std::string& error_code, const std::string& error_message,
    const EncodableValue* details) const {
  auto message = std::make_unique<std::vector<uint8_t>>();
  ByteBufferStreamWriter stream(message.get());
  stream.WriteByte(kErrorEnvelope);
  serializer_->WriteValue(EncodableValue(error_code), &stream);
  serializer_->WriteValue(error_message.empty() ? EncodableValue() : EncodableValue(error_message),
                          &stream);
  serializer_->WriteValue(details != nullptr ? *details : EncodableValue(), &stream);
  return message;
}

bool StandardMethodCodec::DecodeResponseEnvelope(const uint8_t* response, size_t response_size,
                                                 MethodResult* result) const {
  ByteBufferStreamReader stream(response, response_size);
  switch (stream.ReadByte()) {
    case kSuccessEnvelope: {
      const EncodableValue value = serializer_->ReadValue(&stream);
      result->Success(value.IsNull() ? nullptr : &value);
      return true;
    }
    case kErrorEnvelope: {
      const EncodableValue code = serializer_->ReadValue(&stream);
      const EncodableValue message = serializer_->ReadValue(&stream);
      const EncodableValue details = serializer_->ReadValue(&stream);
      // A code that is not a string, or a message that is neither null nor a string,
      // throws std::bad_variant_access here, before the result is touched.
      const std::string& code_text = std::get<std::string>(code);
      const std::string message_text =
          message.IsNull() ? std::string() : std::get<std::string>(message);
      result->Error(code_text, message_text, details.IsNull() ? nullptr : &details);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace flutter
