#ifndef CAMVEY_TESTS_PTP_DEVICE_LAYER_UNDER_TEST_H_
#define CAMVEY_TESTS_PTP_DEVICE_LAYER_UNDER_TEST_H_

// The device layers the device suites run over: the simulated layer everywhere, and in
// the Windows build also the service's WPD layer against the simulated WPD server. Both
// serve a phone model, bring it up to date after a pass, and tell the same counts.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ptp/device/device_layer.h"
#include "standins/phone/phone_model.h"

namespace camvey::ptp {

// How often the device code called each operation, successful or not.
struct LayerCounts {
  int create_manager = 0;
  int create_key_collection = 0;
  int open = 0;
  int content = 0;
  int properties = 0;
  int close = 0;
  int enum_objects = 0;
  int next = 0;
  int get_values = 0;
  int add_id = 0;
  int delete_request = 0;

  // The calls that reach a device: on the device object, its content, its properties
  // and its enumerators.
  int device_calls() const {
    return open + content + properties + close + enum_objects + next + get_values + delete_request;
  }
};

class LayerUnderTest {
 public:
  virtual ~LayerUnderTest() = default;

  // A layer over `phone`, which must outlive it; forgets the counts of earlier serves.
  virtual DeviceLayer& Serve(phone::Phone* phone) = 0;
  // After a pass or probe: brings the served phone (its objects and deletion log) up to
  // date and fails the test when a device object is still alive, a handed-out string was
  // not freed, or a device was released before it was closed.
  virtual void Finish() = 0;
  // Forgets the counts so far; what is alive stays counted.
  virtual void ResetCounts() = 0;
  virtual LayerCounts counts() const = 0;
  // Device objects handed out and not yet released.
  virtual int live_objects() const = 0;
  // Enumerations of the children of each (device id, parent id).
  virtual std::map<std::pair<std::u16string, std::u16string>, int> enumerations() const = 0;
  // Whether this is the real WPD code, where a pass costs more.
  virtual bool through_wpd() const = 0;
};

struct LayerKind {
  const char* name;
  std::unique_ptr<LayerUnderTest> (*make)();
};

// Every layer of this build, the simulated one first.
std::vector<LayerKind> LayerKinds();

// The test name suffix of a layer, e.g. "Wpd".
inline std::string LayerKindName(const ::testing::TestParamInfo<LayerKind>& info) {
  return info.param.name;
}

}  // namespace camvey::ptp

#endif  // CAMVEY_TESTS_PTP_DEVICE_LAYER_UNDER_TEST_H_
