#include "ptp/device/device_watch.h"

#include <utility>

namespace camvey::ptp {
namespace {

// The objects of a watched device: each passes its calls on through the watch and
// wraps what it hands out, so that nothing reaches a device once it is gone.

class WatchedValues : public PropertyValues {
 public:
  WatchedValues(std::unique_ptr<PropertyValues> values, DeviceWatch& watch)
      : values_(std::move(values)), watch_(watch) {}

  DeviceResult GetStringValue(ObjectKey key, std::optional<std::u16string>* value) override {
    return watch_.Ask([&] { return values_->GetStringValue(key, value); });
  }
  DeviceResult GetGuidValue(ObjectKey key, Guid* value) override {
    return watch_.Ask([&] { return values_->GetGuidValue(key, value); });
  }
  DeviceResult GetUnsignedLargeIntegerValue(ObjectKey key, std::uint64_t* value) override {
    return watch_.Ask([&] { return values_->GetUnsignedLargeIntegerValue(key, value); });
  }
  DeviceResult GetUnsignedIntegerValue(ObjectKey key, std::uint32_t* value) override {
    return watch_.Ask([&] { return values_->GetUnsignedIntegerValue(key, value); });
  }
  DeviceResult GetBoolValue(ObjectKey key, bool* value) override {
    return watch_.Ask([&] { return values_->GetBoolValue(key, value); });
  }
  DeviceResult GetErrorValue(ObjectKey key, DeviceResult* reason) override {
    return watch_.Ask([&] { return values_->GetErrorValue(key, reason); });
  }

 private:
  std::unique_ptr<PropertyValues> values_;
  DeviceWatch& watch_;
};

class WatchedProperties : public DeviceProperties {
 public:
  WatchedProperties(std::unique_ptr<DeviceProperties> properties, DeviceWatch& watch)
      : properties_(std::move(properties)), watch_(watch) {}

  DeviceResult GetValues(const std::u16string& object_id, KeyCollection& keys,
                         std::unique_ptr<PropertyValues>* values) override {
    std::unique_ptr<PropertyValues> read;
    const DeviceResult result =
        watch_.Ask([&] { return properties_->GetValues(object_id, keys, &read); });
    if (read != nullptr) *values = std::make_unique<WatchedValues>(std::move(read), watch_);
    return result;
  }

 private:
  std::unique_ptr<DeviceProperties> properties_;
  DeviceWatch& watch_;
};

class WatchedEnumerator : public ObjectIdEnumerator {
 public:
  WatchedEnumerator(std::unique_ptr<ObjectIdEnumerator> enumerator, DeviceWatch& watch)
      : enumerator_(std::move(enumerator)), watch_(watch) {}

  DeviceResult Next(std::uint32_t count, std::vector<std::u16string>* ids) override {
    ids->clear();
    return watch_.Ask([&] { return enumerator_->Next(count, ids); });
  }

 private:
  std::unique_ptr<ObjectIdEnumerator> enumerator_;
  DeviceWatch& watch_;
};

class WatchedResults : public DeleteResults {
 public:
  WatchedResults(std::unique_ptr<DeleteResults> results, DeviceWatch& watch)
      : results_(std::move(results)), watch_(watch) {}

  DeviceResult GetCount(std::uint32_t* count) override {
    return watch_.Ask([&] { return results_->GetCount(count); });
  }
  DeviceResult GetAt(std::uint32_t index, std::optional<std::int32_t>* error_code) override {
    return watch_.Ask([&] { return results_->GetAt(index, error_code); });
  }

 private:
  std::unique_ptr<DeleteResults> results_;
  DeviceWatch& watch_;
};

class WatchedContent : public DeviceContent {
 public:
  WatchedContent(std::unique_ptr<DeviceContent> content, DeviceWatch& watch)
      : content_(std::move(content)), watch_(watch) {}

  DeviceResult Properties(std::unique_ptr<DeviceProperties>* properties) override {
    std::unique_ptr<DeviceProperties> made;
    const DeviceResult result = watch_.Ask([&] { return content_->Properties(&made); });
    if (made != nullptr) {
      *properties = std::make_unique<WatchedProperties>(std::move(made), watch_);
    }
    return result;
  }

  DeviceResult EnumObjects(const std::u16string& parent_id,
                           std::unique_ptr<ObjectIdEnumerator>* enumerator) override {
    std::unique_ptr<ObjectIdEnumerator> made;
    const DeviceResult result = watch_.Ask([&] { return content_->EnumObjects(parent_id, &made); });
    if (made != nullptr) {
      *enumerator = std::make_unique<WatchedEnumerator>(std::move(made), watch_);
    }
    return result;
  }

  DeviceResult Delete(IdCollection& ids, std::unique_ptr<DeleteResults>* results) override {
    std::unique_ptr<DeleteResults> made;
    const DeviceResult result = watch_.Ask([&] { return content_->Delete(ids, &made); });
    if (made != nullptr) *results = std::make_unique<WatchedResults>(std::move(made), watch_);
    return result;
  }

 private:
  std::unique_ptr<DeviceContent> content_;
  DeviceWatch& watch_;
};

}  // namespace

std::unique_ptr<DeviceContent> WatchContent(std::unique_ptr<DeviceContent> content,
                                            DeviceWatch& watch) {
  return std::make_unique<WatchedContent>(std::move(content), watch);
}

}  // namespace camvey::ptp
