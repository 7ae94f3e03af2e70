#include "ptp/service_device_layer.h"

#include <utility>

#include "ptp/default_device_layer.h"

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

// Never destroyed: a worker may make its layer while the process exits.
DeviceLayerFactory& InstalledFactory() {
  static DeviceLayerFactory* const factory = new DeviceLayerFactory;
  return *factory;
}

}  // namespace

void SetServiceDeviceLayerFactory(DeviceLayerFactory factory) {
  InstalledFactory() = std::move(factory);
}

std::unique_ptr<DeviceLayer> MakeServiceDeviceLayer() {
  const DeviceLayerFactory& factory = InstalledFactory();
  std::unique_ptr<DeviceLayer> layer = factory ? factory() : MakeDefaultDeviceLayer();
  if (layer == nullptr) layer = std::make_unique<NoDeviceSupport>();
  return layer;
}

}  // namespace camvey::ptp
