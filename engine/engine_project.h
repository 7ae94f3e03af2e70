#ifndef CAMVEY_ENGINE_ENGINE_PROJECT_H_
#define CAMVEY_ENGINE_ENGINE_PROJECT_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace flutter {

// Engine options that this program never sets; they reach the engine as zeros.
struct EngineOptions {
  int32_t values[4] = {0, 0, 0, 0};
  uint8_t flag = 0;
};

// Where the application's files are and how it starts. Paths are UTF-16 and kept as
// given: relative paths stay relative.
class EngineProject {
 public:
  // The files of the application in directory `path`: `path` followed by
  // "\flutter_assets", "\icudtl.dat" and "\app.so", with no separator added or removed.
  explicit EngineProject(const std::u16string& path);

  const std::u16string& assets_path() const { return assets_path_; }
  const std::u16string& icu_data_path() const { return icu_data_path_; }
  const std::u16string& aot_library_path() const { return aot_library_path_; }

  // Empty selects the application's default entry point.
  const std::string& entrypoint() const { return entrypoint_; }
  void set_entrypoint(std::string entrypoint) { entrypoint_ = std::move(entrypoint); }

  // UTF-8 arguments for the entry point, in order. Setting replaces the whole list.
  const std::vector<std::string>& entrypoint_arguments() const { return entrypoint_arguments_; }
  void set_entrypoint_arguments(std::vector<std::string> arguments) {
    entrypoint_arguments_ = std::move(arguments);
  }

  const EngineOptions& options() const { return options_; }

 private:
  std::u16string assets_path_;
  std::u16string icu_data_path_;
  std::u16string aot_library_path_;
  std::string entrypoint_;
  std::vector<std::string> entrypoint_arguments_;
  EngineOptions options_;
};

}  // namespace flutter

#endif  // CAMVEY_ENGINE_ENGINE_PROJECT_H_
