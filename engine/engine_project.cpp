#include "engine/engine_project.h"

namespace flutter {

EngineProject::EngineProject(const std::u16string& path)
    : assets_path_(path + u"\\flutter_assets"),
      icu_data_path_(path + u"\\icudtl.dat"),
      aot_library_path_(path + u"\\app.so") {}

}  // namespace flutter
