#include "standins/phone/phone_model.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

namespace camvey::phone {

std::u16string SimObject::ReadName() const {
  if (file_name.has_value() && !faults.file_name) return *file_name;
  if (name.has_value() && !faults.name) return *name;
  return {};
}

std::int32_t DeviceFaults::CodeOf(const std::string& fault, std::int32_t usual) const {
  const auto found = fault_codes.find(fault);
  return found == fault_codes.end() ? usual : found->second;
}

SimDevice::SimDevice() {
  SimObject root;
  root.id = kRootId;
  root.type = ContentType::kFunctionalObject;
  objects.emplace(root.id, std::move(root));
}

std::int32_t DeviceSession::Refusal() const {
  if (!open) return kWpdDeviceNotOpen;
  return device->AnswerCall();
}

std::int32_t DeviceSession::Close() {
  std::int32_t result = Refusal();
  if (result == 0 && device->faults.close) result = device->faults.CodeOf("close", kFailed);
  open = false;
  return result;
}

std::int32_t SimDevice::AnswerCall() {
  if (calls != UINT32_MAX) ++calls;
  if (!faults.gone_after.has_value() || calls <= *faults.gone_after) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(faults.gone_delay_ms));
  return faults.gone_code;
}

NextAnswer SimDevice::AnswerNext(const std::vector<std::u16string>& children, std::size_t position,
                                 std::uint32_t count) const {
  NextAnswer answer;
  const std::size_t left = position < children.size() ? children.size() - position : 0;
  const std::size_t available = std::min<std::size_t>(count, left);
  for (std::size_t i = 0; i < available; ++i) {
    const SimObject* object = Find(children[position + i]);
    if (object == nullptr) continue;
    if (object->faults.next) {
      answer.result = kFailed;
      return answer;
    }
    answer.null_id = answer.null_id || object->faults.next_null_id;
    if (object->faults.next_extra_id) ++answer.claimed;
  }
  answer.handed_out = available;
  answer.claimed += static_cast<std::uint32_t>(available);
  const bool reaches_end = available == left;
  if (available < count) {
    answer.result = available == 0 && faults.ok_without_id ? 0 : 1;
  } else {
    answer.result = available > 0 && reaches_end && faults.false_with_last_id ? 1 : 0;
  }
  return answer;
}

SimObject* SimDevice::Find(const std::u16string& object_id) {
  const auto found = objects.find(object_id);
  return found == objects.end() ? nullptr : &found->second;
}

const SimObject* SimDevice::Find(const std::u16string& object_id) const {
  const auto found = objects.find(object_id);
  return found == objects.end() ? nullptr : &found->second;
}

bool SimDevice::Add(SimObject object) {
  SimObject* parent = Find(object.parent_id);
  if (parent == nullptr || objects.count(object.id) != 0) return false;
  parent->children.push_back(object.id);
  const std::u16string object_id = object.id;
  objects.emplace(object_id, std::move(object));
  return true;
}

std::vector<std::int32_t> SimDevice::Delete(const std::vector<std::u16string>& object_ids,
                                            std::vector<DeletedObject>* deleted,
                                            std::vector<ObjectFaults>* faults_sent) {
  // Objects leave the id map at once and their parents' child lists once at the end, so
  // that a large request does not shift a long child list once per object; a parent's
  // depth is reckoned once for all its children deleted. The ids gone are views of
  // `object_ids`, with the faults their objects had: an id sent twice meets them again.
  struct Gone {
    int depth = 0;
    std::unordered_map<std::u16string_view, ObjectFaults> ids;
  };
  std::map<std::u16string, Gone> gone_by_parent;
  const auto faults_of_gone = [&](const std::u16string& object_id) {
    for (const auto& [parent_id, gone] : gone_by_parent) {
      const auto found = gone.ids.find(object_id);
      if (found != gone.ids.end()) return found->second;
    }
    return ObjectFaults();
  };
  std::vector<std::int32_t> statuses;
  statuses.reserve(object_ids.size());
  deleted->reserve(deleted->size() + object_ids.size());
  for (const std::u16string& object_id : object_ids) {
    const auto found = object_id == kRootId ? objects.end() : objects.find(object_id);
    const SimObject* object = found == objects.end() ? nullptr : &found->second;
    if (faults_sent != nullptr) {
      faults_sent->push_back(object == nullptr ? faults_of_gone(object_id) : object->faults);
    }
    const auto gone = gone_by_parent.find(object_id);
    const std::size_t children_gone = gone == gone_by_parent.end() ? 0 : gone->second.ids.size();
    if (object == nullptr) {
      statuses.push_back(kNotFound);
    } else if (object->faults.refuse) {
      statuses.push_back(object->refuse_code);
    } else if (object->children.size() > children_gone) {
      statuses.push_back(kFolderNotEmpty);
    } else {
      const auto [siblings, first] = gone_by_parent.try_emplace(object->parent_id);
      if (first) siblings->second.depth = Depth(object->parent_id) + 1;
      siblings->second.ids.emplace(object_id, object->faults);
      deleted->push_back(
          {id, object_id, object->ReadName(), object->parent_id, siblings->second.depth});
      objects.erase(found);
      statuses.push_back(0);
    }
  }
  for (const auto& [parent_id, gone] : gone_by_parent) {
    SimObject* parent = Find(parent_id);
    if (parent == nullptr) continue;
    std::vector<std::u16string>& children = parent->children;
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [&gone = gone.ids](const std::u16string& child) {
                                    return gone.count(child) != 0;
                                  }),
                   children.end());
  }
  return statuses;
}

int SimDevice::Depth(const std::u16string& object_id) const {
  int depth = 0;
  for (const SimObject* object = Find(object_id); object != nullptr && object->id != kRootId;
       object = Find(object->parent_id)) {
    ++depth;
  }
  return depth;
}

SimDevice* Phone::FindDevice(const std::u16string& device_id) {
  for (SimDevice& device : devices) {
    if (device.id == device_id) return &device;
  }
  return nullptr;
}

}  // namespace camvey::phone
