#ifndef CAMVEY_STANDINS_WPD_SERVER_CLASS_FACTORY_H_
#define CAMVEY_STANDINS_WPD_SERVER_CLASS_FACTORY_H_

// The classes the simulated server serves: their class objects and registration.

#include <windows.h>

namespace camvey::phone::wpd {

// Registers every served class under HKEY_CLASSES_ROOT\CLSID as an in-process server
// in `module_path` with threading model Both; removes them again.
HRESULT RegisterClasses(const wchar_t* module_path);
HRESULT UnregisterClasses();

// DllGetClassObject: the class object of `clsid` as `iid`, or
// CLASS_E_CLASSNOTAVAILABLE. Class objects are static and not counted as live objects.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_CLASS_FACTORY_H_
