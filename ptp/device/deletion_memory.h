#ifndef CAMVEY_PTP_DEVICE_DELETION_MEMORY_H_
#define CAMVEY_PTP_DEVICE_DELETION_MEMORY_H_

// What this process has sent to phones for deletion, and what became of it. A request
// may come again: sent twice, resent after a reply the application never received, or
// after a deletion request whose outcome the pass could not learn. Without a memory the
// pass cannot tell "the copy was already deleted" from "the copy was never here", and
// the unique-name search would take the photo's namesake, which was never copied.
//
// Held for the life of the process and never written to disk: a restart forgets it.
// Not locked: the service runs one pass at a time, and each pass uses the memory only
// on its own thread.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace camvey::ptp {

enum class SentOutcome {
  kDeleted,  // the phone said it deleted the object
  kRefused,  // the phone said it did not
  kUnknown,  // the request failed as a whole or the phone went away: it may be gone
};

// One object sent for deletion for one wanted (name, month).
struct SentObject {
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

  // Notes that `object` was sent for the wanted `name` (upper-cased) under `month`.
  void Remember(const std::u16string& name, const std::u16string& month, SentObject object);

  // The object a request deleted for (name, month), or null when none did.
  const SentObject* Deleted(const std::u16string& name, const std::u16string& month) const;

  // The objects sent for (name, month) whose outcome is unknown and that no later
  // request deleted; empty when there are none.
  std::vector<const SentObject*> Unresolved(const std::u16string& name,
                                            const std::u16string& month) const;

  // True when any request sent an object for `name` (upper-cased), under any month, on
  // any device, whatever became of it.
  bool Sent(const std::u16string& name) const { return sent_names_.count(name) != 0; }

 private:
  // (name, month) to what was sent for it, oldest first.
  std::map<std::pair<std::u16string, std::u16string>, std::vector<SentObject>> sent_;
  std::set<std::u16string> sent_names_;
};

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_DEVICE_DELETION_MEMORY_H_
