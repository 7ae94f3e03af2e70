# nlohmann-json (header-only) as the target camvey_nlohmann_json, for the stand-ins only.
# The cross build reaches it through a folder that holds nothing but a link to it, so that
# no other header of the build machine leaks into the Windows build.
if(NOT TARGET camvey_nlohmann_json)
  add_library(camvey_nlohmann_json INTERFACE)
  if(CMAKE_CROSSCOMPILING)
    find_path(CAMVEY_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(camvey_nlohmann_link_dir ${CMAKE_BINARY_DIR}/nlohmann-include)
    file(MAKE_DIRECTORY ${camvey_nlohmann_link_dir})
    file(CREATE_LINK ${CAMVEY_NLOHMANN_INCLUDE}/nlohmann ${camvey_nlohmann_link_dir}/nlohmann
         SYMBOLIC)
    target_include_directories(camvey_nlohmann_json SYSTEM INTERFACE ${camvey_nlohmann_link_dir})
  else()
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(camvey_nlohmann_json INTERFACE nlohmann_json::nlohmann_json)
  endif()
endif()
