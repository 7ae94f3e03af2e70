#ifndef CAMVEY_PTP_DEVICE_LISTING_CACHE_H_
#define CAMVEY_PTP_DEVICE_LISTING_CACHE_H_

// The folder listings of one storage, made at most once each, with a count of every
// object listed so far. The deletion pass's two searches share one cache so that no
// folder is enumerated twice.

#include <cstddef>
#include <map>
#include <string>

#include "ptp/device/device_layer.h"
#include "ptp/device/folder_listing.h"

namespace camvey::ptp {

class ListingCache {
 public:
  // Borrows the connection's interfaces and the key set for the cache's lifetime.
  ListingCache(DeviceContent& content, DeviceProperties& properties, KeyCollection& keys);

  ListingCache(const ListingCache&) = delete;
  ListingCache& operator=(const ListingCache&) = delete;

  // The children of `folder_id`, listed now if they were not listed before. A listing
  // that ended early is kept as it is and not retried. The reference stays valid
  // until the cache is destroyed.
  const Listing& Lookup(const std::u16string& folder_id);

  // Objects listed through this cache, each folder counted once.
  std::size_t listed_count() const { return listed_count_; }

 private:
  DeviceContent& content_;
  DeviceProperties& properties_;
  KeyCollection& keys_;
  std::map<std::u16string, Listing> listings_;
  std::size_t listed_count_ = 0;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_LISTING_CACHE_H_
