#ifndef CAMVEY_TESTS_STANDINS_ENGINE_STANDIN_FIXTURE_H_
#define CAMVEY_TESTS_STANDINS_ENGINE_STANDIN_FIXTURE_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_api/flutter_desktop_api.h"
#include "standins/engine/engine_standin.h"

// Base of every test that runs against the engine stand-in: starts from a reset
// stand-in and, once the test and its fixture members are gone, checks that nothing
// misused the interface and that messenger references and lock pairs balance.
class EngineStandinTest : public ::testing::Test {
 protected:
  EngineStandinTest() { engine_standin::Reset(); }

  ~EngineStandinTest() override {
    EXPECT_THAT(engine_standin::Failures(), ::testing::IsEmpty());
    const engine_standin::CallCounts counts = engine_standin::Counts();
    EXPECT_EQ(counts.add_refs, counts.releases) << "messenger references left";
    EXPECT_EQ(counts.locks, counts.unlocks) << "messenger locks left";
  }

  // The messenger of a freshly created engine.
  static FlutterDesktopMessengerRef NewMessenger() {
    FlutterDesktopEngineProperties properties = {};
    properties.dart_entrypoint = "";
    return FlutterDesktopEngineGetMessenger(FlutterDesktopEngineCreate(&properties));
  }
};

#endif  // CAMVEY_TESTS_STANDINS_ENGINE_STANDIN_FIXTURE_H_
