#ifndef CAMVEY_PTP_DEVICE_DELETION_MEMORY_H_
#define CAMVEY_PTP_DEVICE_DELETION_MEMORY_H_

// What this process has sent to phones for deletion, and what became of it. A request
// may come again: sent twice, resent after a reply the application never received, or
// after a deletion request whose outcome the pass could not learn. Without a memory the
// pass cannot tell "the copy was already deleted" from "the copy was never here", and
// a later round would take the photo's namesake, which was never copied.
//
// The memory keeps photos, not names: what was sent for a wanted (name, month, size),
// and which stems it touched. A photo is several objects of one stem (IMG_0001.HEIC,
// .MOV, .AAE; shown as .JPG when the phone converts): once one of them is gone, a later
// request for another of them must not take a namesake from another month.
//
// Held for the life of the process and never written to disk: a restart forgets it.
// Not locked: the service runs one pass at a time, and each pass uses the memory only
// on its own thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace camvey::ptp {

enum class SentOutcome {
  kDeleted,  // the phone said it deleted the object
  kRefused,  // the phone said it did not
  kUnknown,  // the request failed as a whole or the phone went away: it may be gone
};

// One object sent for deletion for one wanted photo.
struct SentPhoto {
  std::u16string name;                // the wanted name, upper-cased
  std::u16string month;               // the wanted month, as sent
  std::optional<std::uint64_t> size;  // the copy's size as sent, else the object's as read
  std::u16string device_id;
  std::u16string object_id;
  std::u16string spelled;  // the object's name as the phone spells it
  SentOutcome outcome = SentOutcome::kUnknown;
};

class DeletionMemory {
 public:
  DeletionMemory() = default;
  DeletionMemory(const DeletionMemory&) = delete;
  DeletionMemory& operator=(const DeletionMemory&) = delete;

  // Makes room for `photos` more: a deletion request remembers hundreds at once.
  void Reserve(std::size_t photos);

  // Notes what became of `photo`. A later outcome of the same object sent for the same
  // wanted name and month takes the place of the earlier one.
  void Remember(const SentPhoto& photo);

  // The photo an earlier request deleted for this name and month whose size agrees with
  // `size` where both have one; empty when there is none.
  std::optional<SentPhoto> DeletedEarlier(const std::u16string& name, const std::u16string& month,
                                          const std::optional<std::uint64_t>& size) const;

  // True when an earlier request deleted, or sent with an unknown outcome, an object of
  // this stem (upper-cased), under any name and month.
  bool StemSent(std::u16string_view stem) const;

  // The objects of this name (upper-cased), under any month, whose deletion had an
  // unknown outcome that no later request cleared up.
  std::vector<SentPhoto> Unresolved(const std::u16string& name) const;

 private:
  // One object sent for one wanted name, kept small: a request sends hundreds, each
  // remembered for the life of the process. The name is its entry's key, the device an
  // index into `device_ids_`, and the spelling empty where it is the name itself, as an
  // iPhone spells its files.
  struct Record {
    std::u16string month;
    std::optional<std::uint64_t> size;
    std::size_t device = 0;
    std::u16string object_id;
    std::u16string spelled;
    SentOutcome outcome = SentOutcome::kUnknown;
    std::size_t next_of_name = 0;  // the next record of the name; itself when the last
  };
  // An upper-cased name's records, oldest first, from `first` through `next_of_name`,
  // and the next name of its stem; null when the last.
  struct SentName {
    std::size_t first = 0;
    std::size_t last = 0;
    std::pair<const std::u16string, SentName>* next_of_stem = nullptr;
  };
  using SentNames = std::unordered_map<std::u16string, SentName>;

  SentPhoto PhotoOf(const SentNames::value_type& name, const Record& record) const;
  // Calls `visit` with the index of each of the name's records, oldest first, until it
  // gives false.
  template <typename Visit>
  void ForEachRecord(const SentName& name, Visit visit) const;

  std::vector<Record> records_;
  std::vector<std::u16string> device_ids_;
  // Only looked up, never walked in order: hashed. Entries are never removed.
  SentNames by_name_;
  // Stem to the first name sent under it; keys are views of `by_name_`'s keys, which
  // stay where they are.
  std::unordered_map<std::u16string_view, SentNames::value_type*> first_name_of_stem_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETION_MEMORY_H_
