# Shared settings for every target of the project: warnings as errors, sanitizers,
# and static runtime libraries for Windows executables (Wine then needs no extra DLLs).

if(CAMVEY_SANITIZE)
  list(JOIN CAMVEY_SANITIZE "," camvey_sanitizers)
  add_compile_options(-fsanitize=${camvey_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${camvey_sanitizers})
endif()

if(WIN32)
  # For every Windows compiler alike: the SDK's neutral names (IDC_ARROW, TEXT) are the
  # wide ones, no min and max macros, no rarely used headers, Windows 10 as the target.
  # Neither MSVC nor CMake sets any of them; product code compiles without NOMINMAX too.
  add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)
endif()
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# camvey_warnings(<target>): the project's warning set, as errors.
function(camvey_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
  endif()
endfunction()

# camvey_library(<name> <sources...>): a static library of the project (an interface
# library of headers alone when there are no sources), its headers included from the
# repository root ("messaging/encodable_value.h") by what links it and by nothing else.
# Every folder lists its sources by hand, the Windows-only ones (*_win.cpp) under
# if(WIN32).
function(camvey_library name)
  if(ARGN)
    add_library(${name} STATIC ${ARGN})
    camvey_library_headers(${name} PUBLIC)
    camvey_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    camvey_library_headers(${name} INTERFACE)
  endif()
endfunction()

# camvey_top_floor(<target>): a test, benchmark or fuzz program, which may include every
# header of the project.
function(camvey_top_floor target)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# camvey_copy_runtime_dlls(<target>): puts the project's DLLs that <target> links (the
# engine stand-in) beside it, where Windows looks for them first.
function(camvey_copy_runtime_dlls target)
  if(WIN32)
    set(dlls $<TARGET_RUNTIME_DLLS:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E $<IF:$<BOOL:${dlls}>,copy_if_different,true> ${dlls}
              $<TARGET_FILE_DIR:${target}>
      COMMAND_EXPAND_LISTS)
  endif()
endfunction()
