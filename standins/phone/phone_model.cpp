#include "standins/phone/phone_model.h"

#include <algorithm>
#include <utility>

namespace camvey::phone {

std::u16string SimObject::ReadName() const {
  if (file_name.has_value() && !faults.file_name) return *file_name;
  if (name.has_value() && !faults.name) return *name;
  return {};
}

SimDevice::SimDevice() {
  SimObject root;
  root.id = kRootId;
  root.type = ContentType::kFunctionalObject;
  objects.emplace(root.id, std::move(root));
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

bool SimDevice::Remove(const std::u16string& object_id) {
  const SimObject* object = Find(object_id);
  if (object == nullptr || object_id == kRootId || !object->children.empty()) return false;
  std::vector<std::u16string>& siblings = Find(object->parent_id)->children;
  const auto position = std::find(siblings.begin(), siblings.end(), object_id);
  if (position != siblings.end()) siblings.erase(position);
  objects.erase(object_id);
  return true;
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
