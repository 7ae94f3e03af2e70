// The entry points of camvey_wpd_sim.dll: the COM server's four, and the control
// functions described in wpd_sim_control.h.

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

#include "standins/wpd_server/class_factory.h"
#include "standins/wpd_server/sim_server.h"

namespace {

HMODULE server_module = nullptr;

// Registration replaces the system's own WPD classes in the registry it writes to,
// so it is only done inside Wine, which has none.
bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    server_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return camvey::phone::wpd::GetClassObject(clsid, iid, object);
}

// Once used the server stays: the task allocator calls its spy, and the phone keeps
// its deletions for the life of the process.
STDAPI DllCanUnloadNow() { return camvey::phone::wpd::SimServer::Get().InUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
  if (!RunningUnderWine()) {
    std::cerr << "camvey-wpd-sim: registers only inside Wine, where it replaces no real WPD"
              << std::endl;
    return E_ACCESSDENIED;
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(server_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  return camvey::phone::wpd::RegisterClasses(path);
}

STDAPI DllUnregisterServer() { return camvey::phone::wpd::UnregisterClasses(); }

extern "C" int CamveyWpdSimReload() {
  camvey::phone::wpd::SimServer& server = camvey::phone::wpd::SimServer::Get();
  const std::lock_guard<std::recursive_mutex> lock(server.mutex());
  if (!server.Reload()) return 1;
  return server.phone() == nullptr ? 2 : 0;
}

extern "C" void CamveyWpdSimClearRecords() { camvey::phone::wpd::SimServer::Get().ClearRecords(); }

extern "C" int CamveyWpdSimLiveObjects() {
  return camvey::phone::wpd::SimServer::Get().LiveObjects();
}

extern "C" int CamveyWpdSimUnfreedStrings() {
  return camvey::phone::wpd::SimServer::Get().UnfreedStrings();
}

extern "C" std::size_t CamveyWpdSimRecords(char* buffer, std::size_t size) {
  const std::string records = camvey::phone::wpd::SimServer::Get().RecordsJson();
  if (buffer != nullptr && size > 0) {
    const std::size_t copied = std::min(size - 1, records.size());
    std::memcpy(buffer, records.data(), copied);
    buffer[copied] = '\0';
  }
  return records.size() + 1;
}

extern "C" int CamveyWpdSimWritePhone(const wchar_t* path) {
  if (path == nullptr) return 1;
  return camvey::phone::wpd::SimServer::Get().WritePhone(path) ? 0 : 1;
}
