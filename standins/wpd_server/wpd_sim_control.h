#ifndef CAMVEY_STANDINS_WPD_SERVER_WPD_SIM_CONTROL_H_
#define CAMVEY_STANDINS_WPD_SERVER_WPD_SIM_CONTROL_H_

// The control functions that camvey_wpd_sim.dll, the simulated WPD server, exports
// beside its COM entry points, for tests and the stand-in programs in the process
// that loaded it. They are safe on any thread.
//
//   int CamveyWpdSimReload()          forgets the phone and every record and reads the
//                                     phone again from CAMVEY_SIM_PHONE: 0 done, 1
//                                     refused while server objects are alive, 2 the
//                                     phone cannot be read (one line on standard error)
//   void CamveyWpdSimClearRecords()   forgets the records and the deletion log
//   int CamveyWpdSimLiveObjects()     server objects not yet released
//   int CamveyWpdSimUnfreedStrings()  task-memory strings handed out and not freed
//                                     with CoTaskMemFree; -1 when not watched
//   size_t CamveyWpdSimRecords(char* buffer, size_t size)
//                                     the records as UTF-8 JSON (README.md of
//                                     standins/phone); copies at most `size` bytes,
//                                     NUL included, and returns the size it needs
//   int CamveyWpdSimWritePhone(const wchar_t* path)
//                                     writes the phone as it is now: 0 done, 1 failed
//
// A process that created any of the server's classes finds them with WpdSimControl.

#include <windows.h>

#include <cstddef>
#include <string>

namespace camvey::phone::wpd {

inline constexpr wchar_t kWpdSimModule[] = L"camvey_wpd_sim.dll";

struct WpdSimControl {
  int (*reload)() = nullptr;
  void (*clear_records)() = nullptr;
  int (*live_objects)() = nullptr;
  int (*unfreed_strings)() = nullptr;
  std::size_t (*records)(char* buffer, std::size_t size) = nullptr;
  int (*write_phone)(const wchar_t* path) = nullptr;

  // The functions of the server loaded in this process; all null when it is not loaded.
  static WpdSimControl Find() {
    WpdSimControl control;
    HMODULE module = GetModuleHandleW(kWpdSimModule);
    if (module == nullptr) return control;
    Bind(module, "CamveyWpdSimReload", &control.reload);
    Bind(module, "CamveyWpdSimClearRecords", &control.clear_records);
    Bind(module, "CamveyWpdSimLiveObjects", &control.live_objects);
    Bind(module, "CamveyWpdSimUnfreedStrings", &control.unfreed_strings);
    Bind(module, "CamveyWpdSimRecords", &control.records);
    Bind(module, "CamveyWpdSimWritePhone", &control.write_phone);
    return control;
  }

  bool found() const {
    return reload != nullptr && clear_records != nullptr && live_objects != nullptr &&
           unfreed_strings != nullptr && records != nullptr && write_phone != nullptr;
  }

  // The records as JSON text.
  std::string Records() const {
    std::string text(records(nullptr, 0), '\0');
    records(text.data(), text.size());
    text.pop_back();  // the NUL
    return text;
  }

 private:
  template <typename Function>
  static void Bind(HMODULE module, const char* name, Function* function) {
    // Through the generic function pointer type, which converts to any other.
    using Generic = void (*)();
    *function = reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(module, name)));
  }
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_WPD_SIM_CONTROL_H_
