#ifndef CAMVEY_PTP_DEVICE_PHOTO_NAME_H_
#define CAMVEY_PTP_DEVICE_PHOTO_NAME_H_

// The names of a photo's objects. An iPhone numbers every file of one photo alike:
// the still (IMG_0001.HEIC, or .JPG when the phone converts it), its Live Photo video
// (IMG_0001.MOV) and its edit sidecar (IMG_0001.AAE) share the stem IMG_0001.

#include <string>
#include <string_view>

namespace camvey::ptp {

// The name up to its last '.' (the whole name without one), upper-cased a to z.
std::u16string StemOf(const std::u16string& name);

// The same into *stem, whose storage is reused: a listing's objects are thousands.
void StemInto(const std::u16string& name, std::u16string* stem);

// The stem of a name already upper-cased, as a view of it.
std::u16string_view StemOfUpperCased(std::u16string_view name);

// `name` upper-cased: the name itself when it holds no a to z, as an iPhone spells its
// photos, else a copy upper-cased into *buffer, whose storage is reused. The view lasts
// while both do and neither changes.
std::u16string_view UpperCasedName(const std::u16string& name, std::u16string* buffer);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_PHOTO_NAME_H_
