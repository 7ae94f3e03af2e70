#include "tests/ptp/device/layer_under_test.h"

#include <gtest/gtest.h>

#include "standins/phone/simulated_device_layer.h"

namespace camvey::ptp {

#ifdef _WIN32
std::unique_ptr<LayerUnderTest> MakeWpdLayerUnderTest();
#endif

namespace {

class SimulatedLayerUnderTest : public LayerUnderTest {
 public:
  DeviceLayer& Serve(phone::Phone* phone) override {
    layer_ = std::make_unique<phone::SimulatedDeviceLayer>(phone);
    return *layer_;
  }

  void Finish() override {
    EXPECT_EQ(layer_->live_objects(), 0) << "every device object is released";
  }

  void ResetCounts() override { layer_->ResetCounts(); }

  int live_objects() const override { return layer_->live_objects(); }

  LayerCounts counts() const override {
    const phone::OperationCounts& counts = layer_->counts();
    LayerCounts same;
    same.create_manager = counts.create_manager;
    same.create_key_collection = counts.create_key_collection;
    same.open = counts.open;
    same.content = counts.content;
    same.properties = counts.properties;
    same.close = counts.close;
    same.enum_objects = counts.enum_objects;
    same.next = counts.next;
    same.get_values = counts.get_values;
    same.add_id = counts.add_id;
    same.delete_request = counts.delete_request;
    return same;
  }

  std::map<std::pair<std::u16string, std::u16string>, int> enumerations() const override {
    return layer_->all_enumerations();
  }

  bool through_wpd() const override { return false; }

 private:
  std::unique_ptr<phone::SimulatedDeviceLayer> layer_;
};

}  // namespace

std::vector<LayerKind> LayerKinds() {
  std::vector<LayerKind> kinds = {
      {"Simulated", [] { return std::unique_ptr<LayerUnderTest>(new SimulatedLayerUnderTest); }}};
#ifdef _WIN32
  kinds.push_back({"Wpd", &MakeWpdLayerUnderTest});
#endif
  return kinds;
}

}  // namespace camvey::ptp
