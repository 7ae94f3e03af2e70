#ifndef CAMVEY_STANDINS_WPD_SERVER_PROP_VARIANT_COLLECTION_H_
#define CAMVEY_STANDINS_WPD_SERVER_PROP_VARIANT_COLLECTION_H_

// IPortableDevicePropVariantCollection: values in the order they were added. Served
// as CLSID_PortableDevicePropVariantCollection (the ids of a deletion request) and
// handed out as the results of a deletion request.

#include <optional>
#include <vector>

#include "ptp/device/com_holders_win.h"
#include "ptp/device/wpd_api_win.h"
#include "standins/wpd_server/server_object.h"

namespace camvey::phone::wpd {

class PropVariantCollection : public ServerObject<IPortableDevicePropVariantCollection> {
 public:
  // The results of a deletion request: one VT_ERROR per status, VT_EMPTY for a status
  // the device gives as no error value. GetCount fails when `count_fails`; GetAt(i)
  // fails when `element_fails[i]`.
  static Microsoft::WRL::ComPtr<PropVariantCollection> DeleteResults(
      const std::vector<std::optional<HRESULT>>& statuses, std::vector<bool> element_fails,
      bool count_fails);

  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAt(const DWORD index, PROPVARIANT* value) override;
  // A string naming an object whose `copy_id` fault is set is refused with
  // E_OUTOFMEMORY, as when a copy of it cannot be made.
  HRESULT STDMETHODCALLTYPE Add(const PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE GetType(VARTYPE* type) override;
  HRESULT STDMETHODCALLTYPE ChangeType(const VARTYPE type) override;
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE RemoveAt(const DWORD index) override;

 private:
  std::vector<ptp::PropVariantHolder> values_;
  std::vector<bool> element_fails_;
  bool count_fails_ = false;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_PROP_VARIANT_COLLECTION_H_
