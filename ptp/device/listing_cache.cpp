#include "ptp/device/listing_cache.h"

#include <utility>

namespace camvey::ptp {

ListingCache::ListingCache(DeviceContent& content, DeviceProperties& properties,
                           KeyCollection& keys)
    : content_(content), properties_(properties), keys_(keys) {}

const IdListing& ListingCache::Ids(const std::u16string& folder_id) {
  const auto found = ids_.find(folder_id);
  if (found != ids_.end()) return found->second;
  return ids_.emplace(folder_id, ListChildIds(content_, folder_id, 0)).first->second;
}

const Listing& ListingCache::Lookup(const std::u16string& folder_id) {
  const auto found = listings_.find(folder_id);
  if (found != listings_.end()) return found->second;
  Listing listing = ReadObjects(properties_, keys_, Ids(folder_id));
  listed_count_ += listing.objects.size();
  return listings_.emplace(folder_id, std::move(listing)).first->second;
}

}  // namespace camvey::ptp
