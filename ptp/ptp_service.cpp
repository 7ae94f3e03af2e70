#include "ptp/ptp_service.h"

#include <cstdlib>
#include <iostream>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "ptp/device/delete_trace.h"

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

// One trace line, written whole and flushed: passes run on workers.
void WriteTraceLine(const std::string& line) { std::cerr << (line + "\n") << std::flush; }

}  // namespace

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

PtpService& PtpService::Process() {
  static PtpService* const service = [] {
    auto* const made = new PtpService;
    std::atexit([] { Process().channel_.reset(); });
    return made;
  }();
  return *service;
}

PtpService::PtpService() : own_parts_(PlatformParts()) {
  own_parts_.turns = &turns_;
  // The passes say why each photo was or was not deleted on the standard error stream,
  // beside the host's other diagnostic lines.
  SetDeleteTraceWriter(&WriteTraceLine);
}

const PtpServiceParts& PtpService::parts() const {
  return replaced_parts_ != nullptr ? *replaced_parts_ : own_parts_;
}

flutter::MethodChannel& PtpService::KeepChannel(std::unique_ptr<flutter::MethodChannel> channel) {
  channel_ = std::move(channel);
  return *channel_;
}

ScopedPtpServiceParts::ScopedPtpServiceParts()
    : parts_(PtpService::Process().parts()), previous_(PtpService::Process().replaced_parts_) {
  PtpService::Process().replaced_parts_ = &parts_;
}

ScopedPtpServiceParts::~ScopedPtpServiceParts() {
  PtpService::Process().replaced_parts_ = previous_;
}

}  // namespace camvey::ptp
