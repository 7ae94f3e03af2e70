// mingw-w64's minwindef.h, plus the macros min and max that the SDK's minwindef.h
// defines in C++ too (see sdk_min_max.h).
#include_next <minwindef.h>

#ifndef NOMINMAX
#ifndef max
#define max(a, b) (((a) > (b)) ? (a) : (b))
#endif
#ifndef min
#define min(a, b) (((a) < (b)) ? (a) : (b))
#endif
#endif
