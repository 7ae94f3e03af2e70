#ifndef CAMVEY_PTP_DEVICE_LISTING_CACHE_H_
#define CAMVEY_PTP_DEVICE_LISTING_CACHE_H_

// The folder listings of one storage, their ids enumerated at most once and their
// objects read at most once, with a count of every object read so far. The deletion
// pass's rounds share one cache so that no folder is enumerated or read twice, and a
// round that needs only how many objects a folder holds reads none of them.

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

  // The ids of the children of `folder_id`, enumerated now if they were not before. An
  // id listing that ended early is kept as it is and not retried. The reference stays
  // valid until the cache is destroyed.
  const IdListing& Ids(const std::u16string& folder_id);

  // The children of `folder_id`, read now (after their ids) if they were not read
  // before. The reference stays valid until the cache is destroyed.
  const Listing& Lookup(const std::u16string& folder_id);

  // True when the children of `folder_id` were read.
  bool Read(const std::u16string& folder_id) const { return listings_.count(folder_id) != 0; }

  // Objects read through this cache, each folder counted once.
  std::size_t listed_count() const { return listed_count_; }

 private:
  DeviceContent& content_;
  DeviceProperties& properties_;
  KeyCollection& keys_;
  std::map<std::u16string, IdListing> ids_;
  std::map<std::u16string, Listing> listings_;
  std::size_t listed_count_ = 0;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_LISTING_CACHE_H_
