#ifndef CAMVEY_STANDINS_PHONE_WPD_SERVER_PROP_VARIANT_VALUE_H_
#define CAMVEY_STANDINS_PHONE_WPD_SERVER_PROP_VARIANT_VALUE_H_

// A PROPVARIANT that owns what it holds and clears it when it goes away.

#include <propidl.h>
#include <windows.h>

namespace camvey::phone::wpd {

class PropVariantValue {
 public:
  PropVariantValue() { PropVariantInit(&value_); }
  ~PropVariantValue() { PropVariantClear(&value_); }
  PropVariantValue(PropVariantValue&& other) noexcept : value_(other.value_) {
    PropVariantInit(&other.value_);
  }
  PropVariantValue& operator=(PropVariantValue&& other) noexcept {
    if (this != &other) {
      PropVariantClear(&value_);
      value_ = other.value_;
      PropVariantInit(&other.value_);
    }
    return *this;
  }
  PropVariantValue(const PropVariantValue&) = delete;
  PropVariantValue& operator=(const PropVariantValue&) = delete;

  const PROPVARIANT& get() const { return value_; }
  // Clears the value and hands it out as an out-parameter to fill.
  PROPVARIANT* Receive() {
    PropVariantClear(&value_);
    return &value_;
  }

 private:
  PROPVARIANT value_;
};

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_PHONE_WPD_SERVER_PROP_VARIANT_VALUE_H_
