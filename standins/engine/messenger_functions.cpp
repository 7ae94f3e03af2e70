// The messenger functions of the interface, and the control of channels and messages.

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "standins/engine/standin_state.h"
#include "standins/engine/view_window.h"

namespace engine_standin {

namespace {

constexpr uint32_t kSlotBits = 32;

std::vector<uint8_t> CopyBytes(const uint8_t* data, size_t size) {
  return data != nullptr ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

uint32_t SlotOf(MessageId id) {
  return static_cast<uint32_t>(id & ((uint64_t{1} << kSlotBits) - 1));
}

// The slot of message `id` while that message is not retired; null otherwise. Callers
// hold State::mutex.
FlutterDesktopMessageResponseHandle* FindMessage(State& state, MessageId id) {
  const uint32_t slot = SlotOf(id);
  if (slot >= state.messages.size()) {
    return nullptr;
  }
  FlutterDesktopMessageResponseHandle& message = state.messages[slot];
  if (message.generation != (id >> kSlotBits) || message.state == ResponseState::kFree) {
    return nullptr;
  }
  return &message;
}

}  // namespace

std::optional<ChannelCallback> CallbackOn(FlutterDesktopMessengerRef messenger,
                                          const std::string& channel) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = state.CheckMessenger(messenger, "engine_standin::CallbackOn");
  if (known == nullptr) {
    return std::nullopt;
  }
  std::lock_guard<std::mutex> guard(state.mutex);
  auto found = known->callbacks.find(channel);
  if (found == known->callbacks.end()) {
    return std::nullopt;
  }
  return found->second;
}

int SetCallbackCalls(FlutterDesktopMessengerRef messenger, const std::string& channel) {
  State& state = State::Get();
  FlutterDesktopMessenger* known =
      state.CheckMessenger(messenger, "engine_standin::SetCallbackCalls");
  if (known == nullptr) {
    return 0;
  }
  std::lock_guard<std::mutex> guard(state.mutex);
  auto found = known->set_callback_calls.find(channel);
  return found != known->set_callback_calls.end() ? found->second : 0;
}

namespace {

// Delivers `message` like InjectMessage; the handle is null when nothing was delivered.
FlutterDesktopMessageResponseHandle* Deliver(FlutterDesktopMessengerRef messenger,
                                             const std::string& channel,
                                             const std::vector<uint8_t>& message, MessageId* id) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = state.CheckMessenger(messenger, "engine_standin::InjectMessage");
  if (known == nullptr || !known->available) {
    return nullptr;
  }
  ChannelCallback callback;
  FlutterDesktopMessageResponseHandle* handle = nullptr;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    auto found = known->callbacks.find(channel);
    if (found == known->callbacks.end()) {
      return nullptr;
    }
    callback = found->second;
    uint32_t slot = 0;
    if (state.free_message_slots.empty()) {
      slot = static_cast<uint32_t>(state.messages.size());
      state.messages.emplace_back();
    } else {
      slot = state.free_message_slots.back();
      state.free_message_slots.pop_back();
    }
    handle = &state.messages[slot];
    handle->messenger = known;
    ++handle->generation;
    handle->response.bytes.clear();
    handle->state = ResponseState::kPending;
    *id = (uint64_t{handle->generation} << kSlotBits) | slot;
  }
  const FlutterDesktopMessage delivered = {sizeof(FlutterDesktopMessage), channel.c_str(),
                                           message.data(), message.size(), handle};
  callback.callback(messenger, &delivered, callback.user_data);
  return handle;
}

}  // namespace

std::optional<MessageId> InjectMessage(FlutterDesktopMessengerRef messenger,
                                       const std::string& channel,
                                       const std::vector<uint8_t>& message) {
  MessageId id = 0;
  if (Deliver(messenger, channel, message, &id) == nullptr) {
    return std::nullopt;
  }
  return id;
}

std::optional<Response> ResponseTo(MessageId id) {
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  FlutterDesktopMessageResponseHandle* message = FindMessage(state, id);
  if (message == nullptr) {
    state.FailLocked("engine_standin::ResponseTo: no message " + std::to_string(id));
    return std::nullopt;
  }
  if (message->state != ResponseState::kAnswered) {
    return std::nullopt;
  }
  return message->response;
}

bool ExchangeMessage(FlutterDesktopMessengerRef messenger, const std::string& channel,
                     const std::vector<uint8_t>& message, std::vector<uint8_t>* response) {
  MessageId id = 0;
  FlutterDesktopMessageResponseHandle* record = Deliver(messenger, channel, message, &id);
  if (record == nullptr) {
    return false;
  }
  State& state = State::Get();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (record->state != ResponseState::kAnswered) {
    // Unanswered: the record stays for a late answer, like an injected message's.
    return false;
  }
  response->assign(record->response.bytes.begin(), record->response.bytes.end());
  record->state = ResponseState::kFree;
  state.free_message_slots.push_back(SlotOf(id));
  return true;
}

std::vector<SentMessage> SentMessages(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = state.CheckMessenger(messenger, "engine_standin::SentMessages");
  if (known == nullptr) {
    return {};
  }
  std::lock_guard<std::mutex> guard(state.mutex);
  return known->sent;
}

bool DeliverReply(FlutterDesktopMessengerRef messenger, size_t index,
                  const std::vector<uint8_t>& reply) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = state.CheckMessenger(messenger, "engine_standin::DeliverReply");
  if (known == nullptr) {
    return false;
  }
  PendingReply pending;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
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
  FlutterDesktopMessenger* known =
      state.CheckMessenger(messenger, "engine_standin::SetSendWithReplyRefused");
  if (known != nullptr) {
    std::lock_guard<std::mutex> guard(state.mutex);
    known->send_with_reply_refused = refused;
  }
}

void SetAvailable(FlutterDesktopMessengerRef messenger, bool available) {
  State& state = State::Get();
  FlutterDesktopMessenger* known = state.CheckMessenger(messenger, "engine_standin::SetAvailable");
  if (known != nullptr) {
    known->available = available;
  }
}

}  // namespace engine_standin

using engine_standin::ResponseState;
using engine_standin::State;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  State& state = State::Get();
  state.RequirePlatformThread("FlutterDesktopMessengerSend");
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerSend");
  if (known == nullptr) {
    return false;
  }
  if (channel == nullptr) {
    state.Fail("FlutterDesktopMessengerSend: null channel name");
    return false;
  }
  const bool accepted = known->available;
  std::lock_guard<std::mutex> guard(state.mutex);
  known->sent.push_back(
      {channel, engine_standin::CopyBytes(message, message_size), false, accepted});
  return accepted;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  State& state = State::Get();
  state.RequirePlatformThread("FlutterDesktopMessengerSendWithReply");
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerSendWithReply");
  if (known == nullptr) {
    return false;
  }
  if (channel == nullptr || reply == nullptr) {
    state.Fail("FlutterDesktopMessengerSendWithReply: null channel name or reply callback");
    return false;
  }
  std::lock_guard<std::mutex> guard(state.mutex);
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
  state.RequirePlatformThread("FlutterDesktopMessengerSetCallback");
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerSetCallback");
  if (known == nullptr) {
    return;
  }
  if (channel == nullptr) {
    state.Fail("FlutterDesktopMessengerSetCallback: null channel name");
    return;
  }
  std::lock_guard<std::mutex> guard(state.mutex);
  ++known->set_callback_calls[channel];
  if (callback == nullptr) {
    if (user_data != nullptr) {
      state.FailLocked("FlutterDesktopMessengerSetCallback: user data without a callback");
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
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerSendResponse");
  if (known == nullptr) {
    return;
  }
  // Any thread may answer, but only under the messenger's lock.
  if (!known->lock.HeldByCallingThread() && !state.OnPlatformThread()) {
    state.Fail(
        "FlutterDesktopMessengerSendResponse: called off the platform thread without the "
        "messenger's lock");
  }
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    if (handle == nullptr || handle->messenger != known) {
      state.FailLocked(
          "FlutterDesktopMessengerSendResponse: not a response handle of this messenger");
      return;
    }
    if (!known->available) {
      state.FailLocked("FlutterDesktopMessengerSendResponse: the engine is gone");
      return;
    }
    // The stand-in owns every message record; the handle is const only to the host.
    auto* message = const_cast<FlutterDesktopMessageResponseHandle*>(handle);
    if (message->state != ResponseState::kPending) {
      state.FailLocked("FlutterDesktopMessengerSendResponse: response handle used twice");
      return;
    }
    message->response.data_was_null = data == nullptr;
    if (data != nullptr) {
      message->response.bytes.assign(data, data + data_length);
    }
    message->response.sent_under_lock = known->lock.HeldByCallingThread();
    message->state = ResponseState::kAnswered;
  }
  engine_standin::NoteAnswerSent();
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerAddRef");
  if (known != nullptr) {
    ++known->references;
    ++state.add_refs;
  }
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerRelease");
  if (known == nullptr) {
    return;
  }
  ++state.releases;
  if (--known->references < 0) {
    ++known->references;
    state.Fail("FlutterDesktopMessengerRelease: more releases than references");
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerLock");
  if (known == nullptr) {
    return nullptr;
  }
  known->lock.Lock();
  ++state.locks;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerUnlock");
  if (known == nullptr) {
    return;
  }
  ++state.unlocks;
  if (!known->lock.Unlock()) {
    state.Fail("FlutterDesktopMessengerUnlock: the calling thread did not hold the lock");
  }
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  State& state = State::Get();
  FlutterDesktopMessenger* known =
      state.CheckLiveMessenger(messenger, "FlutterDesktopMessengerIsAvailable");
  return known != nullptr && known->available;
}
