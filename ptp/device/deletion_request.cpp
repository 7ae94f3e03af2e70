#include "ptp/device/deletion_request.h"

#include <cstdint>
#include <memory>
#include <optional>

#include "ptp/device/delete_trace.h"
#include "text/wide_text.h"

namespace camvey::ptp {

void RecordError(std::string* error, const char* code) {
  if (error->empty()) *error = code;
}

std::vector<const ChosenObject*> SendDeletionRequest(DeviceLayer& layer, DeviceContent& content,
                                                     const std::u16string& device_id,
                                                     const std::vector<ChosenObject>& chosen,
                                                     DeletionMemory* memory,
                                                     std::vector<std::u16string>* deleted,
                                                     std::string* error) {
  std::vector<const ChosenObject*> deleted_objects;
  std::unique_ptr<IdCollection> ids;
  if (DeviceFailed(layer.CreateIdCollection(&ids)) || ids == nullptr) return deleted_objects;
  std::vector<const ChosenObject*> sent;
  sent.reserve(chosen.size());
  for (const ChosenObject& object : chosen) {
    if (!DeviceFailed(ids->Add(object.object->id))) sent.push_back(&object);
  }
  if (sent.empty()) return deleted_objects;

  std::size_t photos = 0;
  for (const ChosenObject* object : sent) photos += object->photos.size();
  memory->Reserve(photos);
  // Filled anew for each photo: the memory keeps a copy of its own.
  SentPhoto sent_photo;
  sent_photo.device_id = device_id;
  const auto remember = [&](const ChosenObject& chosen_object, SentOutcome outcome) {
    const PhoneObject& object = *chosen_object.object;
    for (const WantedFile* photo : chosen_object.photos) {
      sent_photo.name = photo->name;
      sent_photo.month = photo->month;
      sent_photo.size = photo->size ? photo->size : object.size;
      sent_photo.object_id = object.id;
      sent_photo.spelled = object.name;
      sent_photo.outcome = outcome;
      memory->Remember(sent_photo);
    }
  };
  std::unique_ptr<DeleteResults> results;
  const DeviceResult outcome = content.Delete(*ids, &results);
  if (DeviceFailed(outcome)) {
    // Some objects may be gone all the same: a later request must not take their
    // namesakes. A device that went away refused nothing; the pass says it is gone.
    for (const ChosenObject* object : sent) remember(*object, SentOutcome::kUnknown);
    if (!DeviceGone(outcome)) RecordError(error, kErrorDeleteRefused);
    return deleted_objects;
  }
  std::uint32_t count = 0;
  if (results == nullptr || DeviceFailed(results->GetCount(&count))) count = 0;
  deleted->reserve(deleted->size() + sent.size());
  deleted_objects.reserve(sent.size());
  bool status_missing = false;
  for (std::uint32_t i = 0; i < sent.size(); ++i) {
    const std::u16string& spelled = sent[i]->object->name;
    // Empty unless the device gave this object's status as an error value.
    std::optional<std::int32_t> error_code;
    if (i >= count || DeviceFailed(results->GetAt(i, &error_code))) error_code.reset();
    if (error_code.has_value() && *error_code < 0) {
      DeleteTrace("delete: %s refused with 0x%08lX", text::WideToUtf8(spelled).c_str(),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(*error_code)));
      RecordError(error, kErrorDeleteRefused);
      remember(*sent[i], SentOutcome::kRefused);
    } else if (error_code.has_value() || outcome == kDeviceOk) {
      deleted->push_back(spelled);
      deleted_objects.push_back(sent[i]);
      remember(*sent[i], SentOutcome::kDeleted);
    } else {
      // The device said some objects were refused without saying which: a name
      // without its status, or whose status is not an error value, is not reported
      // as deleted.
      status_missing = true;
      remember(*sent[i], SentOutcome::kUnknown);
    }
  }
  if (status_missing) RecordError(error, kErrorDeleteRefused);
  return deleted_objects;
}

}  // namespace camvey::ptp
