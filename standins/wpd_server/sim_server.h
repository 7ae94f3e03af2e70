#ifndef CAMVEY_STANDINS_WPD_SERVER_SIM_SERVER_H_
#define CAMVEY_STANDINS_WPD_SERVER_SIM_SERVER_H_

// The process-wide state of the simulated WPD server: the phone it serves, the inputs
// its callers passed, and its counts of live objects and of task memory handed out.
//
// The phone is read from the file that the environment variable CAMVEY_SIM_PHONE
// names, on first use and again on Reload; after every deletion request (and once
// after reading) the phone as it is then is written to the file that
// CAMVEY_SIM_PHONE_OUT names, when that variable is set. The phone file itself is
// never written.

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "standins/phone/phone_model.h"
#include "standins/wpd_server/call_records.h"

namespace camvey::phone::wpd {

class SimServer {
 public:
  // The one server of this process, made on first use and never destroyed.
  static SimServer& Get();

  // Every method of every server object holds this lock for its whole length (see
  // ServerCall). It is recursive because the server reads its callers' collections,
  // which it serves itself.
  std::recursive_mutex& mutex() { return mutex_; }

  // The phone served; null, after one line on standard error, when it cannot be read
  // (not asked again until Reload). Under the lock.
  Phone* phone();
  // Forgets the phone and every record; the phone is read again on next use. Refused
  // (false) while server objects are alive, since they point into the phone.
  bool Reload();
  // Forgets the records and the phone's deletion log.
  void ClearRecords();
  // Writes the phone to CAMVEY_SIM_PHONE_OUT, when set. Under the lock.
  void SavePhone();
  // Writes the phone to `path`; false, after one line on standard error, on failure.
  bool WritePhone(const std::wstring& path);

  CallRecords& records() { return records_; }
  // The records, the counts and the phone's deletion log as JSON.
  std::string RecordsJson();

  // A copy of `text` in task memory for a caller to free, counted until it does; null
  // when memory ran out.
  LPWSTR HandOutString(const wchar_t* text);
  // Counts the task memory a PROPVARIANT copied out to a caller holds.
  void HandOut(const PROPVARIANT& value);
  // Task memory handed out and not freed yet; -1 when the allocator cannot be watched.
  int UnfreedStrings() const;

  void ObjectCreated();
  void ObjectDestroyed();
  int LiveObjects() const;
  void LockServer(bool lock);
  // True once the server has been used: it then stays loaded for good.
  bool InUse() const;
  void MarkInUse();

 private:
  SimServer() = default;
  bool LoadPhone();

  std::recursive_mutex mutex_;
  std::unique_ptr<Phone> phone_;
  bool phone_failed_ = false;
  CallRecords records_;
  std::atomic<int> live_objects_{0};
  std::atomic<int> server_locks_{0};
  std::atomic<bool> in_use_{false};
};

// The server's lock for the length of one method call, counting the call under
// `method` unless it is made from inside another server call (the server reading a
// caller's collection is not the caller's call). A null `method` counts nothing.
class ServerCall {
 public:
  explicit ServerCall(const char* method);
  ~ServerCall();
  ServerCall(const ServerCall&) = delete;
  ServerCall& operator=(const ServerCall&) = delete;

  SimServer& server() const { return server_; }

 private:
  SimServer& server_;
  std::lock_guard<std::recursive_mutex> lock_;
};

// The answer of every method the service does not use: counted, and E_NOTIMPL.
HRESULT NotImplemented(const char* method);

}  // namespace camvey::phone::wpd

#endif  // CAMVEY_STANDINS_WPD_SERVER_SIM_SERVER_H_
