#include "standins/wpd_server/sim_server.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iostream>
#include <optional>
#include <vector>

#include "standins/phone/phone_json.h"
#include "standins/wpd_server/server_object.h"
#include "standins/wpd_server/task_memory_spy.h"
#include "text/wide_text.h"

namespace camvey::phone::wpd {
namespace {

constexpr char kLinePrefix[] = "camvey-wpd-sim: ";

thread_local int server_call_depth = 0;

std::optional<std::wstring> Setting(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  value.resize(length);
  return value;
}

std::string Utf8(const std::wstring& text) {
  return text::WideToUtf8(std::u16string(text.begin(), text.end()));
}

void Problem(const std::string& line) { std::cerr << kLinePrefix << line << std::endl; }

bool ReadFile(const std::wstring& path, std::string* text) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  char buffer[65536];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, read);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteFile(const std::wstring& path, const std::string& text) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

void ObjectCreated() { SimServer::Get().ObjectCreated(); }
void ObjectDestroyed() { SimServer::Get().ObjectDestroyed(); }

SimServer& SimServer::Get() {
  // Never destroyed: objects may be released by a caller's static destructors.
  static SimServer* const server = new SimServer();
  return *server;
}

Phone* SimServer::phone() {
  if (phone_ == nullptr && !phone_failed_) phone_failed_ = !LoadPhone();
  return phone_.get();
}

bool SimServer::LoadPhone() {
  const std::optional<std::wstring> path = Setting(L"CAMVEY_SIM_PHONE");
  if (!path.has_value()) {
    Problem("CAMVEY_SIM_PHONE names no phone file");
    return false;
  }
  std::string text;
  if (!ReadFile(*path, &text)) {
    Problem(Utf8(*path) + ": cannot be read");
    return false;
  }
  auto phone = std::make_unique<Phone>();
  std::string problem;
  if (!ReadPhoneJson(text, phone.get(), &problem)) {
    Problem(Utf8(*path) + ": " + problem);
    return false;
  }
  phone_ = std::move(phone);
  SavePhone();
  return true;
}

bool SimServer::Reload() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (LiveObjects() != 0) return false;
  phone_.reset();
  phone_failed_ = false;
  records_.Clear();
  return true;
}

void SimServer::ClearRecords() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  records_.Clear();
  if (phone_ != nullptr) phone_->deleted.clear();
}

void SimServer::SavePhone() {
  if (phone_ == nullptr) return;
  const std::optional<std::wstring> path = Setting(L"CAMVEY_SIM_PHONE_OUT");
  if (path.has_value()) WritePhone(*path);
}

bool SimServer::WritePhone(const std::wstring& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (phone() == nullptr) return false;
  if (!WriteFile(path, WritePhoneJson(*phone_))) {
    Problem(Utf8(path) + ": cannot be written");
    return false;
  }
  return true;
}

std::string SimServer::RecordsJson() {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  nlohmann::json records = records_.ToJson();
  records["live_objects"] = LiveObjects();
  records["unfreed_strings"] = UnfreedStrings();
  nlohmann::json deleted = nlohmann::json::array();
  if (phone_ != nullptr) {
    for (const DeletedObject& object : phone_->deleted) {
      deleted.push_back({{"device", text::WideToUtf8(object.device_id)},
                         {"object", text::WideToUtf8(object.object_id)},
                         {"name", text::WideToUtf8(object.name)}});
    }
  }
  records["deleted"] = std::move(deleted);
  return records.dump(2);
}

LPWSTR SimServer::HandOutString(const wchar_t* text) {
  const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, bytes);
  if (TaskMemorySpy* spy = TaskMemorySpy::Installed()) spy->Track(copy);
  return copy;
}

void SimServer::HandOut(const PROPVARIANT& value) {
  TaskMemorySpy* spy = TaskMemorySpy::Installed();
  if (spy == nullptr) return;
  if (value.vt == VT_LPWSTR) spy->Track(value.pwszVal);
}

int SimServer::UnfreedStrings() const {
  const TaskMemorySpy* spy = TaskMemorySpy::Installed();
  return spy == nullptr ? -1 : spy->Outstanding();
}

void SimServer::ObjectCreated() { ++live_objects_; }
void SimServer::ObjectDestroyed() { --live_objects_; }
int SimServer::LiveObjects() const { return live_objects_; }

void SimServer::LockServer(bool lock) {
  if (lock) {
    ++server_locks_;
  } else {
    --server_locks_;
  }
}

bool SimServer::InUse() const { return in_use_ || live_objects_ != 0 || server_locks_ != 0; }

void SimServer::MarkInUse() {
  // The spy goes in before the first object exists, so that it sees every block the
  // server hands out.
  TaskMemorySpy::Installed();
  in_use_ = true;
}

ServerCall::ServerCall(const char* method) : server_(SimServer::Get()), lock_(server_.mutex()) {
  if (method != nullptr && server_call_depth == 0) server_.records().CountCall(method);
  ++server_call_depth;
}

ServerCall::~ServerCall() { --server_call_depth; }

HRESULT NotImplemented(const char* method) {
  const ServerCall call(method);
  return E_NOTIMPL;
}

}  // namespace camvey::phone::wpd
