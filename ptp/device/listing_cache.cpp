#include "ptp/device/listing_cache.h"

#include <utility>

namespace camvey::ptp {

ListingCache::ListingCache(DeviceContent& content, DeviceProperties& properties,
                           KeyCollection& keys)
    : content_(content), properties_(properties), keys_(keys) {}

const Listing& ListingCache::Lookup(const std::u16string& folder_id) {
  const auto found = listings_.find(folder_id);
  if (found != listings_.end()) return found->second;
  Listing listing = ListChildren(content_, properties_, keys_, folder_id, 0);
  listed_count_ += listing.objects.size();
  return listings_.emplace(folder_id, std::move(listing)).first->second;
}

}  // namespace camvey::ptp
