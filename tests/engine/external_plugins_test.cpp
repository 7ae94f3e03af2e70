#include "engine/external_plugins.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_project.h"
#include "engine/flutter_engine.h"
#include "standins/engine/engine_standin.h"
#include "tests/messaging/stderr_capture.h"
#include "tests/standins/engine/standin_fixture.h"

namespace flutter {
namespace {

using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::Field;
using ::testing::IsNull;

const std::vector<std::string> kRegistrarNames = {"MediaKitLibsWindowsVideoPluginCApi",
                                                  "MediaKitVideoPluginCApi",
                                                  "ScreenRetrieverWindowsPluginCApi",
                                                  "Sqlite3FlutterLibsPlugin",
                                                  "UrlLauncherWindows",
                                                  "WindowManagerPlugin"};

const std::vector<std::string> kRegistrationFunctions = {
    "MediaKitLibsWindowsVideoPluginCApiRegisterWithRegistrar",
    "MediaKitVideoPluginCApiRegisterWithRegistrar",
    "ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar",
    "Sqlite3FlutterLibsPluginRegisterWithRegistrar",
    "UrlLauncherWindowsRegisterWithRegistrar",
    "WindowManagerPluginRegisterWithRegistrar"};

class ExternalPluginsTest : public EngineStandinTest {};

std::vector<std::string> RegisteredFunctions() {
  std::vector<std::string> functions;
  for (const engine_standin::PluginRegistration& registration :
       engine_standin::PluginRegistrations()) {
    functions.push_back(registration.function);
  }
  return functions;
}

TEST_F(ExternalPluginsTest, RegistersTheSixInOrderEvenWhenARegistrarIsMissing) {
  engine_standin::WithholdRegistrar("Sqlite3FlutterLibsPlugin");
  FlutterEngine engine(EngineProject(u"data"));

  RegisterExternalPlugins(&engine);

  EXPECT_THAT(engine_standin::Engine(engine_standin::Engines().at(0)).registrar_requests,
              ElementsAreArray(kRegistrarNames));
  EXPECT_THAT(RegisteredFunctions(), ElementsAreArray(kRegistrationFunctions));
  const std::vector<engine_standin::PluginRegistration> registrations =
      engine_standin::PluginRegistrations();
  for (size_t i = 0; i < registrations.size(); ++i) {
    SCOPED_TRACE(kRegistrarNames[i]);
    if (kRegistrarNames[i] == "Sqlite3FlutterLibsPlugin") {
      EXPECT_EQ(registrations[i].registrar, nullptr);
    } else {
      EXPECT_EQ(engine_standin::RegistrarName(registrations[i].registrar), kRegistrarNames[i]);
    }
  }
}

TEST_F(ExternalPluginsTest, EngineThatDidNotStartStillRegistersEveryPluginWithNull) {
  engine_standin::SetEngineCreationFails(true);
  FlutterEngine engine(EngineProject(u"data"));
  StderrCapture stderr_capture;

  RegisterExternalPlugins(&engine);

  EXPECT_THAT(RegisteredFunctions(), ElementsAreArray(kRegistrationFunctions));
  EXPECT_THAT(engine_standin::PluginRegistrations(),
              Each(Field(&engine_standin::PluginRegistration::registrar, IsNull())));
  EXPECT_THAT(stderr_capture.Flushes(),
              ElementsAreArray(std::vector<std::string>(
                  6,
                  "Cannot get plugin registrar on an engine that isn't running; call Run "
                  "first.\n")));
}

}  // namespace
}  // namespace flutter
