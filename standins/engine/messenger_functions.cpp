// The messenger functions of the interface, and the control of channels and messages.

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "standins/engine/standin_state.h"

namespace engine_standin {

namespace {

std::vector<uint8_t> CopyBytes(const uint8_t* data, size_t size) {
  return data != nullptr ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

}  // namespace

std::optional<ChannelCallback> CallbackOn(FlutterDesktopMessengerRef messenger,
                                          const std::string& channel) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known = state.FindMessenger(messenger, "engine_standin::CallbackOn");
  if (known == nullptr) {
    return std::nullopt;
  }
  auto found = known->callbacks.find(channel);
  if (found == known->callbacks.end()) {
    return std::nullopt;
  }
  return found->second;
}

int SetCallbackCalls(FlutterDesktopMessengerRef messenger, const std::string& channel) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known =
      state.FindMessenger(messenger, "engine_standin::SetCallbackCalls");
  if (known == nullptr) {
    return 0;
  }
  auto found = known->set_callback_calls.find(channel);
  return found != known->set_callback_calls.end() ? found->second : 0;
}

std::optional<MessageId> InjectMessage(FlutterDesktopMessengerRef messenger,
                                       const std::string& channel,
                                       const std::vector<uint8_t>& message) {
  State& state = State::Get();
  ChannelCallback callback;
  MessageId id = 0;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    FlutterDesktopMessenger* known =
        state.FindMessenger(messenger, "engine_standin::InjectMessage");
    if (known == nullptr || !known->available) {
      return std::nullopt;
    }
    auto found = known->callbacks.find(channel);
    if (found == known->callbacks.end()) {
      return std::nullopt;
    }
    callback = found->second;
    id = state.next_message_id++;
    MessageRecord record;
    record.messenger = known;
    record.handle = std::make_unique<FlutterDesktopMessageResponseHandle>();
    handle = record.handle.get();
    state.response_handles.emplace(handle, id);
    state.messages.emplace(id, std::move(record));
  }
  FlutterDesktopMessage delivered = {sizeof(FlutterDesktopMessage), channel.c_str(), message.data(),
                                     message.size(), handle};
  callback.callback(messenger, &delivered, callback.user_data);
  return id;
}

std::optional<Response> ResponseTo(MessageId id) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  auto found = state.messages.find(id);
  if (found == state.messages.end()) {
    state.Fail("engine_standin::ResponseTo: no message " + std::to_string(id));
    return std::nullopt;
  }
  return found->second.response;
}

std::optional<std::vector<uint8_t>> ExchangeMessage(FlutterDesktopMessengerRef messenger,
                                                    const std::string& channel,
                                                    const std::vector<uint8_t>& message) {
  std::optional<MessageId> id = InjectMessage(messenger, channel, message);
  if (!id) {
    return std::nullopt;
  }
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  auto found = state.messages.find(*id);
  if (found == state.messages.end() || !found->second.response) {
    return std::nullopt;
  }
  std::vector<uint8_t> bytes = std::move(found->second.response->bytes);
  state.response_handles.erase(found->second.handle.get());
  state.messages.erase(found);
  return bytes;
}

std::vector<SentMessage> SentMessages(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known = state.FindMessenger(messenger, "engine_standin::SentMessages");
  return known != nullptr ? known->sent : std::vector<SentMessage>();
}

bool DeliverReply(FlutterDesktopMessengerRef messenger, size_t index,
                  const std::vector<uint8_t>& reply) {
  State& state = State::Get();
  PendingReply pending;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    FlutterDesktopMessenger* known = state.FindMessenger(messenger, "engine_standin::DeliverReply");
    if (known == nullptr) {
      return false;
    }
    auto found = known->pending_replies.find(index);
    if (found == known->pending_replies.end()) {
      return false;
    }
    pending = found->second;
    known->pending_replies.erase(found);
  }
  pending.reply(reply.data(), reply.size(), pending.user_data);
  return true;
}

void SetSendWithReplyRefused(FlutterDesktopMessengerRef messenger, bool refused) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known =
      state.FindMessenger(messenger, "engine_standin::SetSendWithReplyRefused");
  if (known != nullptr) {
    known->send_with_reply_refused = refused;
  }
}

void SetAvailable(FlutterDesktopMessengerRef messenger, bool available) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known = state.FindMessenger(messenger, "engine_standin::SetAvailable");
  if (known != nullptr) {
    known->available = available;
  }
}

}  // namespace engine_standin

using engine_standin::State;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known = state.FindMessenger(messenger, "FlutterDesktopMessengerSend");
  if (known == nullptr || channel == nullptr) {
    return false;
  }
  known->sent.push_back(
      {channel, engine_standin::CopyBytes(message, message_size), false, known->available});
  return known->available;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known =
      state.FindMessenger(messenger, "FlutterDesktopMessengerSendWithReply");
  if (known == nullptr || channel == nullptr || reply == nullptr) {
    return false;
  }
  const bool accepted = known->available && !known->send_with_reply_refused;
  known->sent.push_back(
      {channel, engine_standin::CopyBytes(message, message_size), true, accepted});
  if (accepted) {
    known->pending_replies[known->sent.size() - 1] = {reply, user_data};
  }
  return accepted;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known =
      state.FindMessenger(messenger, "FlutterDesktopMessengerSetCallback");
  if (known == nullptr || channel == nullptr) {
    return;
  }
  ++known->set_callback_calls[channel];
  if (callback == nullptr) {
    if (user_data != nullptr) {
      state.Fail("FlutterDesktopMessengerSetCallback: user data without a callback");
    }
    known->callbacks.erase(channel);
    return;
  }
  known->callbacks[channel] = {callback, user_data};
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known =
      state.FindMessenger(messenger, "FlutterDesktopMessengerSendResponse");
  if (known == nullptr) {
    return;
  }
  auto id = state.response_handles.find(handle);
  if (id == state.response_handles.end()) {
    state.Fail("FlutterDesktopMessengerSendResponse: unknown response handle");
    return;
  }
  engine_standin::MessageRecord& record = state.messages.at(id->second);
  if (record.messenger != known) {
    state.Fail("FlutterDesktopMessengerSendResponse: response handle of another messenger");
    return;
  }
  if (record.response) {
    state.Fail("FlutterDesktopMessengerSendResponse: response handle of message " +
               std::to_string(id->second) + " used twice");
    return;
  }
  if (!known->available) {
    state.Fail("FlutterDesktopMessengerSendResponse: the engine is gone");
    return;
  }
  record.response = engine_standin::Response{engine_standin::CopyBytes(data, data_length),
                                             data == nullptr, known->lock.HeldByCallingThread()};
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  ++state.counts.add_refs;
  FlutterDesktopMessenger* known = state.FindMessenger(messenger, "FlutterDesktopMessengerAddRef");
  if (known != nullptr) {
    ++known->references;
  }
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  ++state.counts.releases;
  FlutterDesktopMessenger* known = state.FindMessenger(messenger, "FlutterDesktopMessengerRelease");
  if (known == nullptr) {
    return;
  }
  if (known->references == 0) {
    state.Fail("FlutterDesktopMessengerRelease: more releases than references");
    return;
  }
  --known->references;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    known = state.FindMessenger(messenger, "FlutterDesktopMessengerLock");
  }
  if (known == nullptr) {
    return nullptr;
  }
  known->lock.Lock();
  std::lock_guard<std::mutex> guard(state.mutex);
  ++state.counts.locks;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    known = state.FindMessenger(messenger, "FlutterDesktopMessengerUnlock");
  }
  if (known == nullptr) {
    return;
  }
  const bool held_here = known->lock.Unlock();
  std::lock_guard<std::mutex> guard(state.mutex);
  ++state.counts.unlocks;
  if (!held_here) {
    state.Fail("FlutterDesktopMessengerUnlock: the calling thread did not hold the lock");
  }
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessenger* known =
      state.FindMessenger(messenger, "FlutterDesktopMessengerIsAvailable");
  return known != nullptr && known->available;
}
