#ifndef CAMVEY_SHELL_WIN32_HOLDERS_H_
#define CAMVEY_SHELL_WIN32_HOLDERS_H_

// Owners for the raw Win32 resources the shell takes: memory the system allocated with
// LocalAlloc (CommandLineToArgvW's array, freed with LocalFree) and a library loaded
// for one look-up (released with FreeLibrary). Each frees on destruction, also when an
// exception leaves the scope; none can be copied.

#include <windows.h>

#include <memory>
#include <type_traits>

namespace camvey {

struct LocalMemoryFree {
  void operator()(void* memory) const { LocalFree(memory); }
};
// CommandLineToArgvW's array of argument pointers, or null.
using LocalArgumentArray = std::unique_ptr<wchar_t*, LocalMemoryFree>;

struct LibraryRelease {
  void operator()(HMODULE library) const { FreeLibrary(library); }
};
// A library loaded with LoadLibrary, or null.
using LoadedLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryRelease>;

}  // namespace camvey

#endif  // CAMVEY_SHELL_WIN32_HOLDERS_H_
