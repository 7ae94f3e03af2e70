#include "engine/engine_project.h"

#include <gtest/gtest.h>

#include <string>

namespace flutter {
namespace {

TEST(EngineProjectTest, PathsArePlainConcatenationsOfTheDirectory) {
  struct Case {
    std::u16string directory;
    std::u16string assets;
    std::u16string icu;
    std::u16string aot;
  };
  const Case cases[] = {
      {u"data", u"data\\flutter_assets", u"data\\icudtl.dat", u"data\\app.so"},
      {u"C:\\app\\", u"C:\\app\\\\flutter_assets", u"C:\\app\\\\icudtl.dat", u"C:\\app\\\\app.so"},
      {u"", u"\\flutter_assets", u"\\icudtl.dat", u"\\app.so"},
  };
  for (const Case& test_case : cases) {
    const EngineProject project(test_case.directory);
    EXPECT_EQ(project.assets_path(), test_case.assets);
    EXPECT_EQ(project.icu_data_path(), test_case.icu);
    EXPECT_EQ(project.aot_library_path(), test_case.aot);
  }
}

}  // namespace
}  // namespace flutter
