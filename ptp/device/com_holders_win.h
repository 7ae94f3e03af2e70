#ifndef CAMVEY_PTP_DEVICE_COM_HOLDERS_WIN_H_
#define CAMVEY_PTP_DEVICE_COM_HOLDERS_WIN_H_

// Owners for the kinds of memory a COM call hands back besides interfaces: strings in
// task memory (freed with CoTaskMemFree), alone or in a caller's array, and a
// PROPVARIANT (cleared with PropVariantClear). All free on destruction and cannot be
// copied; a PROPVARIANT holder can be moved, so that containers can hold it.

#include <objbase.h>
#include <propidl.h>
#include <windows.h>

#include <cstddef>
#include <vector>

namespace camvey::ptp {

// A wide string in task memory, or null.
class CoTaskMemString {
 public:
  CoTaskMemString() = default;
  ~CoTaskMemString() { CoTaskMemFree(text_); }
  CoTaskMemString(const CoTaskMemString&) = delete;
  CoTaskMemString& operator=(const CoTaskMemString&) = delete;

  const wchar_t* get() const { return text_; }
  // Frees the string held and gives the address a COM call writes a new one to.
  LPWSTR* Receive() {
    CoTaskMemFree(text_);
    text_ = nullptr;
    return &text_;
  }

 private:
  LPWSTR text_ = nullptr;
};

// A caller's array of wide strings in task memory, all null at first, that a COM call
// fills; every entry it holds is freed, whatever the call said it wrote.
class CoTaskMemStringArray {
 public:
  explicit CoTaskMemStringArray(std::size_t size) : texts_(size, nullptr) {}
  ~CoTaskMemStringArray() {
    for (LPWSTR text : texts_) CoTaskMemFree(text);
  }
  CoTaskMemStringArray(const CoTaskMemStringArray&) = delete;
  CoTaskMemStringArray& operator=(const CoTaskMemStringArray&) = delete;

  std::size_t size() const { return texts_.size(); }
  const wchar_t* operator[](std::size_t index) const { return texts_[index]; }
  // The array a COM call writes to; null when it has no entries.
  LPWSTR* data() { return texts_.empty() ? nullptr : texts_.data(); }

 private:
  std::vector<LPWSTR> texts_;
};

class PropVariantHolder {
 public:
  PropVariantHolder() { PropVariantInit(&value_); }
  ~PropVariantHolder() { PropVariantClear(&value_); }
  PropVariantHolder(PropVariantHolder&& other) noexcept : value_(other.value_) {
    PropVariantInit(&other.value_);
  }
  PropVariantHolder& operator=(PropVariantHolder&& other) noexcept {
    if (this != &other) {
      PropVariantClear(&value_);
      value_ = other.value_;
      PropVariantInit(&other.value_);
    }
    return *this;
  }
  PropVariantHolder(const PropVariantHolder&) = delete;
  PropVariantHolder& operator=(const PropVariantHolder&) = delete;

  const PROPVARIANT& get() const { return value_; }
  // Clears the value held and gives the address a COM call writes a new one to.
  PROPVARIANT* Receive() {
    PropVariantClear(&value_);
    return &value_;
  }

 private:
  PROPVARIANT value_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_COM_HOLDERS_WIN_H_
