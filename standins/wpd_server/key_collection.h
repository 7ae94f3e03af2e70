#ifndef CAMVEY_STANDINS_WPD_SERVER_KEY_COLLECTION_H_
#define CAMVEY_STANDINS_WPD_SERVER_KEY_COLLECTION_H_

// IPortableDeviceKeyCollection: property keys in the order they were added
// (CLSID_PortableDeviceKeyCollection).

#include <vector>

#include "ptp/device/wpd_api_win.h"
#include "standins/wpd_server/server_object.h"

namespace camvey::phone::wpd {

class KeyCollection : public ServerObject<IPortableDeviceKeyCollection> {
 public:
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAt(const DWORD index, PROPERTYKEY* key) override;
  HRESULT STDMETHODCALLTYPE Add(REFPROPERTYKEY key) override;
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE RemoveAt(const DWORD index) override;

 private:
  std::vector<PROPERTYKEY> keys_;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_KEY_COLLECTION_H_
