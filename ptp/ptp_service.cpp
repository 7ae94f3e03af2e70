#include "ptp/ptp_service.h"

#include <chrono>
#include <iostream>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace camvey::ptp {
namespace {

// What a system without portable-device support answers: the class is not there.
constexpr DeviceResult kClassNotRegistered = static_cast<DeviceResult>(0x80040154);

class NoDeviceSupport : public DeviceLayer {
 public:
  DeviceResult CreateManager(std::unique_ptr<DeviceManager>*) override {
    return kClassNotRegistered;
  }
  DeviceResult CreateKeyCollection(std::unique_ptr<KeyCollection>*) override {
    return kClassNotRegistered;
  }
  DeviceResult CreateClientInformation(std::unique_ptr<ClientInformation>*) override {
    return kClassNotRegistered;
  }
  DeviceResult CreateDevice(std::unique_ptr<PortableDevice>*) override {
    return kClassNotRegistered;
  }
  DeviceResult CreateIdCollection(std::unique_ptr<IdCollection>*) override {
    return kClassNotRegistered;
  }
};

}  // namespace

// Written whole: passes run on workers, several at once.
void WriteTraceLine(const std::string& line) { std::cerr << (line + "\n") << std::flush; }

bool StartDetachedThread(std::function<void()> body) {
  std::thread thread;
  try {
    thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  } catch (const std::bad_alloc&) {
    // No memory for the thread's start record: the request is still answered, on the
    // spot, instead of the failure crossing the engine's callback.
    return false;
  }
  // A thread that has just started is joinable, so detaching it cannot fail.
  thread.detach();
  return true;
}

std::unique_ptr<DeviceLayer> PtpServiceParts::MakeDeviceLayer() const {
  std::unique_ptr<DeviceLayer> layer = make_device_layer ? make_device_layer() : nullptr;
  if (layer == nullptr) layer = std::make_unique<NoDeviceSupport>();
  return layer;
}

PtpService::PtpService(PtpServiceParts parts)
    : parts_(std::move(parts)),
      turns_(std::make_shared<DeletionTurns>()),
      replies_(std::make_shared<ReplyQueue>()) {
  if (parts_.make_wake_up) wake_up_ = parts_.make_wake_up(*replies_);
  replies_->SetWakeUp(wake_up_.get());
}

PtpService::~PtpService() {
  // From here on a worker that finishes only queues its reply: nothing wakes a window
  // that is about to go.
  replies_->SetWakeUp(nullptr);
  replies_->DeliverQueued(std::chrono::milliseconds(0));
}

flutter::MethodChannel& PtpService::KeepChannel(std::unique_ptr<flutter::MethodChannel> channel) {
  channel_ = std::move(channel);
  return *channel_;
}

}  // namespace camvey::ptp
