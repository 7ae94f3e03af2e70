# The product build once more as Visual Studio's compiler meets it: clang-cl in MSVC's
# mode, so that CMake takes it for MSVC and the project's MSVC settings apply (/W4 /WX,
# no mingw-only definitions). The Windows SDK and MSVC's C++ library cannot be had here,
# so it reads mingw-w64's Windows headers and C++ library, with the SDK's min and max
# macros put back (clang-cl/). Nothing can be linked without MSVC's libraries: the test
# command's clang-cl stage compiles each product source syntax-only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER clang-cl-19)
set(CMAKE_CXX_COMPILER clang-cl-19)
set(CMAKE_RC_COMPILER llvm-rc-19)
set(CMAKE_AR llvm-lib-19)
# The compiler checks cannot link either.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(camvey_mingw_include /usr/x86_64-w64-mingw32/include)
set(camvey_gcc_include /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include)
set(camvey_shim ${CMAKE_CURRENT_LIST_DIR}/clang-cl)
# clang-cl 19 takes itself for Visual Studio 2022 (_MSC_VER 1933) unaided. mingw-w64's
# headers and libstdc++ take their GCC paths only when __GNUC__ is set, expect GCC's
# __declspec macro, and libstdc++ wants GCC's strict-mode macro for -std=c++17.
set(camvey_target_flags
    "--target=x86_64-pc-windows-msvc -fgnuc-version=12 \
-D__STRICT_ANSI__ -D__declspec=__declspec -imsvc ${camvey_shim} \
-imsvc ${camvey_gcc_include}/c++ -imsvc ${camvey_gcc_include}/c++/x86_64-w64-mingw32 \
-imsvc ${camvey_mingw_include}")
# MSVC warnings at /W4 that clang-cl's /W4 lacks, by their nearest clang counterparts:
# C4244 and C4267 (conversions that may lose data), C4456 to C4459 (a declaration hides
# another), C4702 (unreachable code). C4127 (constant condition) has none; the stage
# looks for it with clang-query. clang 19's -Wshadow-all also counts an init-capture
# named as the variable it takes (`[handler = std::move(handler)]`) as hiding it: such
# captures are named apart.
set(camvey_msvc_warnings
    "-Wshorten-64-to-32 -Wimplicit-int-conversion -Wimplicit-float-conversion -Wfloat-conversion \
-Wshadow-all -Wunreachable-code")
set(CMAKE_C_FLAGS_INIT "${camvey_target_flags}")
set(CMAKE_CXX_FLAGS_INIT
    "${camvey_target_flags} ${camvey_msvc_warnings} /FI${camvey_shim}/sdk_min_max.h")
set(CMAKE_RC_FLAGS_INIT "/I ${camvey_mingw_include}")
