// Forced into every C++ source of the MSVC-mode check (clang-cl-msvc.cmake).
//
// The SDK's minwindef.h defines the macros min(a, b) and max(a, b) for C and C++ unless
// NOMINMAX is defined; mingw-w64's defines them for C only, and its C++ library sets
// NOMINMAX to protect itself. MSVC's own library is immune to the macros, so this
// parses the whole C++ library first, then drops NOMINMAX: minwindef.h beside this
// file then hands product code the macros as the SDK would, whatever the build
// defines. Product code has to compile with them.
#include <bits/stdc++.h>
#undef NOMINMAX
