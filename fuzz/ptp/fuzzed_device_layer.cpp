#include "fuzz/ptp/fuzzed_device_layer.h"

#include <algorithm>
#include <utility>

#include "fuzz/ptp/fuzz_check.h"

namespace camvey::fuzz {

using ptp::kDeviceFalse;
using ptp::kDeviceOk;
using ptp::ObjectKey;

namespace {

// A content type of no kind the service knows.
constexpr ptp::Guid kContentTypeOther = {
    0x28D8D31E, 0x249C, 0x454E, {0xAA, 0xBC, 0x34, 0x88, 0x31, 0x68, 0xE6, 0x34}};

// Counts itself among the layer's live objects and, when it belongs to an opened
// device, among that device's.
class Tracked {
 public:
  Tracked(FuzzedDeviceLayer* layer, Connection* connection)
      : layer_(layer), connection_(connection) {
    layer_->Track(1);
    if (connection_ != nullptr) ++connection_->live_objects;
  }
  virtual ~Tracked() {
    layer_->Track(-1);
    if (connection_ != nullptr) --connection_->live_objects;
  }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;

 protected:
  FuzzedDeviceLayer& layer() const { return *layer_; }
  AnswerReader& reader() const { return layer_->phone().reader(); }
  Connection& connection() const { return *connection_; }
  FuzzedDevice& device() const { return *connection_->device; }

 private:
  FuzzedDeviceLayer* layer_;
  Connection* connection_;
};

// A setter or adder: success, or now and then a failure.
DeviceResult DrawSmallResult(AnswerReader& reader) {
  return reader.Hostile(240) ? kFailed : kDeviceOk;
}

class FuzzedKeyCollection : public ptp::KeyCollection, public Tracked {
 public:
  explicit FuzzedKeyCollection(FuzzedDeviceLayer* layer) : Tracked(layer, nullptr) {}

  DeviceResult Add(ObjectKey key) override {
    const DeviceResult result = DrawSmallResult(reader());
    if (Failed(result)) return result;
    switch (key) {
      case ObjectKey::kOriginalFileName:
        keys_.file_name = true;
        break;
      case ObjectKey::kName:
        keys_.object_name = true;
        break;
      case ObjectKey::kContentType:
        keys_.content_type = true;
        break;
      case ObjectKey::kSize:
        keys_.size = true;
        break;
      case ObjectKey::kCanDelete:
        keys_.can_delete = true;
        break;
      case ObjectKey::kStorageAccessCapability:
        keys_.access = true;
        break;
    }
    return result;
  }

  const KeysAsked& keys() const { return keys_; }

 private:
  KeysAsked keys_;
};

class FuzzedClientInformation : public ptp::ClientInformation, public Tracked {
 public:
  explicit FuzzedClientInformation(FuzzedDeviceLayer* layer) : Tracked(layer, nullptr) {}

  DeviceResult SetStringValue(ptp::ClientKey, const std::u16string&) override {
    return DrawSmallResult(reader());
  }
  DeviceResult SetUnsignedIntegerValue(ptp::ClientKey, std::uint32_t) override {
    return DrawSmallResult(reader());
  }
};

class FuzzedManager : public ptp::DeviceManager, public Tracked {
 public:
  explicit FuzzedManager(FuzzedDeviceLayer* layer)
      : Tracked(layer, nullptr), ids_(layer->phone().DrawDeviceList()) {}

  DeviceResult RefreshDeviceList() override { return DrawSmallResult(reader()); }

  DeviceResult GetDevices(std::vector<std::optional<std::u16string>>* ids,
                          std::uint32_t* count) override {
    const auto listed = static_cast<std::uint32_t>(ids_.size());
    if (ids == nullptr) {
      if (!reader().Hostile(224)) {
        *count = listed;
        return kDeviceOk;
      }
      if (reader().Byte() % 2 == 0) return kFailed;
      static constexpr std::uint32_t kCounts[] = {0xFFFFFFFF, 4097, 0, 7, 1};
      *count = reader().Pick(kCounts);
      return kDeviceOk;
    }
    const std::size_t written = std::min({std::size_t{*count}, ids->size(), ids_.size()});
    std::copy(ids_.begin(), ids_.begin() + static_cast<std::ptrdiff_t>(written), ids->begin());
    *count = static_cast<std::uint32_t>(written);
    DiscoveryRecord& record = layer().discovery();
    record.device_ids.clear();
    record.cut = false;
    for (std::size_t i = 0; i < written; ++i) {
      if (ids_[i].has_value()) {
        record.device_ids.push_back(*ids_[i]);
      } else {
        record.cut = true;
      }
    }
    if (!reader().Hostile(224)) {
      record.cut = record.cut || written < listed;
      return written < listed ? kDeviceFalse : kDeviceOk;
    }
    record.cut = true;
    switch (reader().Below(4)) {
      case 0:
        record.device_ids.clear();
        return kFailed;
      case 1:
        return kDeviceFalse;
      case 2:
        *count = 0xFFFFFFFF;
        return kDeviceOk;
      default:
        *count = static_cast<std::uint32_t>(written + 3);
        return kDeviceFalse;
    }
  }

  DeviceResult GetDeviceFriendlyName(const std::u16string& device_id, char16_t* buffer,
                                     std::uint32_t* length) override {
    const std::u16string& text = layer().phone().Device(device_id).friendly_name;
    return Recorded(device_id, ReadText(text, buffer, length), buffer, length,
                    &layer().discovery().friendly_names[device_id]);
  }

  DeviceResult GetDeviceManufacturer(const std::u16string& device_id, char16_t* buffer,
                                     std::uint32_t* length) override {
    const std::u16string& text = layer().phone().Device(device_id).manufacturer;
    return Recorded(device_id, ReadText(text, buffer, length), buffer, length,
                    &layer().discovery().manufacturers[device_id]);
  }

 private:
  // Adds to `*reads` what the reader's buffer holds after a read that succeeded: its
  // text up to the first NUL within the room it gave. A length query adds nothing. A
  // call that failed marks the device unread.
  DeviceResult Recorded(const std::u16string& device_id, DeviceResult result,
                        const char16_t* buffer, const std::uint32_t* length,
                        std::vector<std::u16string>* reads) {
    if (Failed(result)) layer().discovery().unread.insert(device_id);
    if (buffer == nullptr || Failed(result)) return result;
    const std::u16string room(buffer, *length);
    reads->push_back(room.substr(0, room.find(u'\0')));
    return result;
  }

  // Lengths as drivers give them, counting the terminating NUL or not, and hostile
  // ones; texts written whole, filling the room without a NUL, or not at all.
  DeviceResult ReadText(const std::u16string& text, char16_t* buffer, std::uint32_t* length) {
    const auto needed = static_cast<std::uint32_t>(text.size() + 1);
    if (buffer == nullptr) {
      if (!reader().Hostile(224)) {
        *length = needed;
        return kDeviceOk;
      }
      static constexpr std::uint32_t kLengths[] = {0, 1, 40000};
      switch (reader().Below(5)) {
        case 0:
          return kInvalidData;
        case 1:
          return kInsufficientBuffer;
        case 2:
          *length = needed - 1;
          return kDeviceOk;
        default:
          *length = reader().Pick(kLengths);
          return kDeviceOk;
      }
    }
    const std::uint32_t room = *length;
    if (reader().Hostile(224)) {
      switch (reader().Below(3)) {
        case 0:
          return kFailed;
        case 1:
          // Fills the room with text and no NUL.
          for (std::uint32_t i = 0; i < room; ++i) {
            buffer[i] = text.empty() ? u'x' : text[i % text.size()];
          }
          return kDeviceOk;
        default:
          return kDeviceOk;
      }
    }
    if (room < needed) return kInsufficientBuffer;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return kDeviceOk;
  }

  std::vector<std::optional<std::u16string>> ids_;
};

class FuzzedEnumerator : public ptp::ObjectIdEnumerator, public Tracked {
 public:
  FuzzedEnumerator(FuzzedDeviceLayer* layer, Connection* connection, const FuzzedListing* listing,
                   std::size_t served)
      : Tracked(layer, connection), listing_(*listing), served_(served) {}

  // Answers a batch as a driver does: the ids asked for while they last; the last ones
  // with "no more objects"; and a listing's end, reached within the batch, as drawn:
  // a failure hands out nothing of the batch, success without the ids asked for or
  // another success code hands out those before the end.
  DeviceResult Next(std::uint32_t count, std::vector<std::u16string>* ids) override {
    ids->clear();
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    // After its end an enumeration answers "no more objects", whatever the end was:
    // a caller that asks again after a failure is not told what it missed.
    if (ended_) return kDeviceFalse;
    const std::size_t children = listing_.children.size();
    switch (listing_.end) {
      case ListingEnd::kNoMoreObjects:
      case ListingEnd::kLastWithNoMore: {
        const std::size_t take = std::min<std::size_t>(count, children - position_);
        HandOut(take, ids);
        const bool last = listing_.end == ListingEnd::kLastWithNoMore && position_ == children;
        if (take == count && !last) return kDeviceOk;
        EndNormally();
        return kDeviceFalse;
      }
      case ListingEnd::kFailure:
      case ListingEnd::kOkWithoutId:
      case ListingEnd::kOtherSuccess:
        break;
    }
    const std::size_t available = listing_.handed_out - std::min(position_, listing_.handed_out);
    if (count <= available) {
      HandOut(count, ids);
      return kDeviceOk;
    }
    ended_ = true;
    if (listing_.end == ListingEnd::kFailure) return connection().Answer(listing_.end_result);
    HandOut(available, ids);
    if (listing_.end == ListingEnd::kOkWithoutId) return kDeviceOk;
    if (listing_.end_with_id && position_ < children) HandOut(1, ids);
    return listing_.end_result;
  }

 private:
  ServedListing& served() const { return connection().listings[served_]; }

  void HandOut(std::size_t count, std::vector<std::u16string>* ids) {
    for (std::size_t i = 0; i < count; ++i) {
      ids->push_back(listing_.children[position_++]);
      served().ids.push_back(ids->back());
      ++connection().handed_out;
    }
  }

  void EndNormally() {
    ended_ = true;
    served().ended_normally = true;
  }

  const FuzzedListing& listing_;
  std::size_t served_;  // index in the connection's listings
  std::size_t position_ = 0;
  bool ended_ = false;
};

class FuzzedPropertyValues : public ptp::PropertyValues, public Tracked {
 public:
  FuzzedPropertyValues(FuzzedDeviceLayer* layer, Connection* connection, const FuzzedObject* object,
                       KeysAsked keys)
      : Tracked(layer, connection), object_(*object), keys_(keys) {}

  DeviceResult GetStringValue(ObjectKey key, std::optional<std::u16string>* value) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (!Holds(key)) return kElementNotFound;
    if (key == ObjectKey::kContentType) return kTypeMismatch;
    const bool file_name = key == ObjectKey::kOriginalFileName;
    const Property& property = file_name ? object_.file_name_answer : object_.object_name_answer;
    if (property.answer != PropertyAnswer::kValue) return Refuse(property);
    *value = file_name ? object_.file_name : object_.object_name;
    return kDeviceOk;
  }

  DeviceResult GetGuidValue(ObjectKey key, ptp::Guid* value) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (!Holds(key)) return kElementNotFound;
    if (key != ObjectKey::kContentType) return kTypeMismatch;
    if (object_.content_type_answer.answer != PropertyAnswer::kValue) {
      return Refuse(object_.content_type_answer);
    }
    switch (object_.kind) {
      case Kind::kFolder:
        *value = ptp::kContentTypeFolder;
        break;
      case Kind::kFunctionalObject:
        *value = ptp::kContentTypeFunctionalObject;
        break;
      case Kind::kImage:
        *value = ptp::kContentTypeImage;
        break;
      case Kind::kOther:
        *value = kContentTypeOther;
        break;
    }
    return kDeviceOk;
  }

  DeviceResult GetUnsignedLargeIntegerValue(ObjectKey key, std::uint64_t* value) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (!Holds(key)) return kElementNotFound;
    if (key != ObjectKey::kSize) return kTypeMismatch;
    if (object_.size_answer.answer != PropertyAnswer::kValue) return Refuse(object_.size_answer);
    *value = object_.size;
    return kDeviceOk;
  }

  DeviceResult GetUnsignedIntegerValue(ObjectKey key, std::uint32_t* value) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (!Holds(key)) return kElementNotFound;
    if (key != ObjectKey::kStorageAccessCapability) return kTypeMismatch;
    if (object_.access_answer.answer != PropertyAnswer::kValue) {
      return Refuse(object_.access_answer);
    }
    *value = object_.access;
    return kDeviceOk;
  }

  DeviceResult GetBoolValue(ObjectKey key, bool* value) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (!Holds(key)) return kElementNotFound;
    if (key != ObjectKey::kCanDelete) return kTypeMismatch;
    if (object_.can_delete_answer.answer != PropertyAnswer::kValue) {
      return Refuse(object_.can_delete_answer);
    }
    *value = object_.can_delete;
    return kDeviceOk;
  }

  DeviceResult GetErrorValue(ObjectKey key, DeviceResult* reason) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (!Holds(key)) return kElementNotFound;
    const Property& property = PropertyOf(key);
    if (property.answer == PropertyAnswer::kErrorValue) {
      *reason = property.failure != 0 ? property.failure : kNotSupported;
      return kDeviceOk;
    }
    // A value is no error value; anything else fails as a getter of the value does.
    const DeviceResult refused = Refuse(property);
    return Failed(refused) ? refused : kTypeMismatch;
  }

 private:
  const Property& PropertyOf(ObjectKey key) const {
    switch (key) {
      case ObjectKey::kOriginalFileName:
        return object_.file_name_answer;
      case ObjectKey::kName:
        return object_.object_name_answer;
      case ObjectKey::kContentType:
        return object_.content_type_answer;
      case ObjectKey::kSize:
        return object_.size_answer;
      case ObjectKey::kCanDelete:
        return object_.can_delete_answer;
      case ObjectKey::kStorageAccessCapability:
        break;
    }
    return object_.access_answer;
  }

  bool Holds(ObjectKey key) const {
    switch (key) {
      case ObjectKey::kOriginalFileName:
        return keys_.file_name;
      case ObjectKey::kName:
        return keys_.object_name;
      case ObjectKey::kContentType:
        return keys_.content_type;
      case ObjectKey::kSize:
        return keys_.size;
      case ObjectKey::kCanDelete:
        return keys_.can_delete;
      case ObjectKey::kStorageAccessCapability:
        return keys_.access;
    }
    return false;
  }

  DeviceResult Refuse(const Property& property) {
    switch (property.answer) {
      case PropertyAnswer::kErrorValue:
        return kTypeMismatch;
      case PropertyAnswer::kNoEntry:
        return kElementNotFound;
      case PropertyAnswer::kFailure:
        return connection().Answer(property.failure);
      case PropertyAnswer::kEmptySuccess:
      case PropertyAnswer::kValue:
        break;
    }
    return kDeviceOk;
  }

  const FuzzedObject& object_;
  KeysAsked keys_;
};

class FuzzedProperties : public ptp::DeviceProperties, public Tracked {
 public:
  FuzzedProperties(FuzzedDeviceLayer* layer, Connection* connection) : Tracked(layer, connection) {}

  DeviceResult GetValues(const std::u16string& object_id, ptp::KeyCollection& keys,
                         std::unique_ptr<ptp::PropertyValues>* values) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    const FuzzedObject& object = layer().phone().Object(device(), object_id);
    const KeysAsked& asked = static_cast<FuzzedKeyCollection&>(keys).keys();
    connection().keys = asked;
    layer().NoteKeys(asked);
    connection().seen[object_id] = Seen(object, asked);
    if (Failed(object.values_result)) return connection().Answer(object.values_result);
    if (!object.values_missing) {
      *values = std::make_unique<FuzzedPropertyValues>(&layer(), &connection(), &object, asked);
    }
    return object.values_result;
  }
};

class FuzzedIdCollection : public ptp::IdCollection, public Tracked {
 public:
  explicit FuzzedIdCollection(FuzzedDeviceLayer* layer) : Tracked(layer, nullptr) {}

  DeviceResult Add(const std::u16string& object_id) override {
    if (reader().Hostile(240)) return kOutOfMemory;
    ids_.push_back(object_id);
    return kDeviceOk;
  }

  const std::vector<std::u16string>& ids() const { return ids_; }

 private:
  std::vector<std::u16string> ids_;
};

// Whether an object whose deletion had no clear outcome left the device all the same.
bool DrawLeft(AnswerReader& reader) { return !reader.Hostile(128); }

void DrawAllLeft(AnswerReader& reader, ServedDeletion* deletion) {
  for (std::size_t i = 0; i < deletion->left.size(); ++i) deletion->left[i] = DrawLeft(reader);
}

// One element of a deletion's results, or a failure to read it.
struct ResultElement {
  DeviceResult read_result = kDeviceOk;
  std::optional<std::int32_t> error_code;
};

class FuzzedDeleteResults : public ptp::DeleteResults, public Tracked {
 public:
  FuzzedDeleteResults(FuzzedDeviceLayer* layer, Connection* connection, std::size_t deletion)
      : Tracked(layer, connection), deletion_(deletion) {
    ServedDeletion& served = connection->deletions[deletion_];
    const std::size_t requested = served.ids.size();
    // Mostly one success per requested id; else fewer or more elements, statuses
    // that refuse, elements that are no error values, and reads that fail.
    const bool hostile = reader().Hostile(192);
    std::size_t size = requested;
    if (hostile && reader().Hostile(128))
      size = reader().Below(static_cast<std::uint32_t>(std::min<std::size_t>(requested, 253)) + 3);
    count_result_ = hostile && reader().Hostile(224) ? kFailed : kDeviceOk;
    static constexpr ResultElement kElements[] = {
        {kDeviceOk, kFailed},      {kDeviceOk, kAccessDenied},  {kDeviceOk, kElementNotFound},
        {kDeviceOk, kDirNotEmpty}, {kDeviceOk, std::nullopt},   {kDeviceOk, kDeviceFalse},
        {kFailed, std::nullopt},   {kDeviceHung, std::nullopt},
    };
    for (std::size_t i = 0; i < size; ++i) {
      if (hostile && reader().Hostile(160)) {
        elements_.push_back(reader().Pick(kElements));
      } else {
        elements_.push_back({kDeviceOk, kDeviceOk});
      }
    }
    // What left the device agrees with every status it gives; where it gives none, with
    // a request that succeeded whole, and otherwise either way.
    for (std::size_t i = 0; i < requested; ++i) {
      if (i < size && !Failed(elements_[i].read_result) && elements_[i].error_code.has_value()) {
        served.left[i] = !Failed(*elements_[i].error_code);
      } else if (served.result != kDeviceOk) {
        served.left[i] = DrawLeft(reader());
      }
    }
  }

  DeviceResult GetCount(std::uint32_t* count) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (Failed(count_result_)) return count_result_;
    *count = static_cast<std::uint32_t>(elements_.size());
    return kDeviceOk;
  }

  DeviceResult GetAt(std::uint32_t index, std::optional<std::int32_t>* error_code) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (index >= elements_.size()) return kInvalidArgument;
    const ResultElement& element = elements_[index];
    if (Failed(element.read_result)) return connection().Answer(element.read_result);
    *error_code = element.error_code;
    connection().deletions[deletion_].statuses_read[index] = element.error_code;
    return kDeviceOk;
  }

 private:
  std::size_t deletion_;  // index in the connection's deletions
  DeviceResult count_result_ = kDeviceOk;
  std::vector<ResultElement> elements_;
};

class FuzzedContent : public ptp::DeviceContent, public Tracked {
 public:
  FuzzedContent(FuzzedDeviceLayer* layer, Connection* connection) : Tracked(layer, connection) {}

  DeviceResult Properties(std::unique_ptr<ptp::DeviceProperties>* properties) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    if (reader().Hostile(240)) return DrawMissing();
    *properties = std::make_unique<FuzzedProperties>(&layer(), &connection());
    return kDeviceOk;
  }

  DeviceResult EnumObjects(const std::u16string& parent_id,
                           std::unique_ptr<ptp::ObjectIdEnumerator>* enumerator) override {
    if (const std::optional<DeviceResult> gone = connection().Call()) return *gone;
    // A locked device lists no storage, and ends that listing normally.
    static const FuzzedListing kShowsNothing;
    const FuzzedListing& listing = device().locked && parent_id == ptp::kDeviceObjectId
                                       ? kShowsNothing
                                       : layer().phone().Listing(device(), parent_id);
    connection().listings.push_back({parent_id, {}, false});
    if (Failed(listing.enum_result)) return connection().Answer(listing.enum_result);
    if (!listing.enumerator_missing) {
      *enumerator = std::make_unique<FuzzedEnumerator>(&layer(), &connection(), &listing,
                                                       connection().listings.size() - 1);
    }
    return listing.enum_result;
  }

  DeviceResult Delete(ptp::IdCollection& ids,
                      std::unique_ptr<ptp::DeleteResults>* results) override {
    const std::vector<std::u16string>& requested = static_cast<FuzzedIdCollection&>(ids).ids();
    std::vector<ServedDeletion>& deletions = connection().deletions;
    // Recorded also when the device is gone: the pass has sent the objects all the same.
    deletions.push_back({requested, kDeviceOk, {}, std::vector<bool>(requested.size(), true)});
    ServedDeletion& served = deletions.back();
    if (const std::optional<DeviceResult> gone = connection().Call()) {
      served.result = *gone;
      served.left.assign(requested.size(), false);
      return *gone;
    }
    bool with_results = true;
    if (reader().Hostile(192)) {
      static constexpr DeviceResult kResults[] = {kDeviceFalse,     kDeviceFalse, kFailed,
                                                  kAccessDenied,    kDeviceOk,    kDeviceHung,
                                                  kElementNotFound, kNotConnected};
      served.result = reader().Pick(kResults);
      with_results = reader().Byte() % 4 != 0;
    }
    if (Failed(served.result)) {
      // It may have deleted some before it failed, or went away.
      DrawAllLeft(reader(), &served);
      return connection().Answer(served.result);
    }
    if (with_results) {
      *results =
          std::make_unique<FuzzedDeleteResults>(&layer(), &connection(), deletions.size() - 1);
    } else if (served.result != kDeviceOk) {
      DrawAllLeft(reader(), &served);
    }
    return served.result;
  }

 private:
  DeviceResult DrawMissing() {
    static constexpr DeviceResult kMissing[] = {kFailed, kDeviceOk, kDeviceHung, kAccessDenied};
    return connection().Answer(reader().Pick(kMissing));
  }
};

class FuzzedPortableDevice : public ptp::PortableDevice, public Tracked {
 public:
  explicit FuzzedPortableDevice(FuzzedDeviceLayer* layer) : Tracked(layer, nullptr) {}

  ~FuzzedPortableDevice() override {
    Check(closes_ == (connection_ != nullptr ? 1 : 0), 6,
          "an opened device is closed exactly once, and no other");
  }

  DeviceResult Open(const std::u16string& device_id, ptp::ClientInformation&) override {
    FuzzedDevice& device = layer().phone().Device(device_id);
    if (device.gone) {
      layer().NoteOpenFailure(device_id);
      return device.gone_code;
    }
    DeviceResult result = kDeviceOk;
    if (reader().Hostile(232)) {
      static constexpr DeviceResult kOpenResults[] = {
          kBusy,   kAccessDenied, kDeviceHung,        kNotConnected,
          kFailed, kDeviceFalse,  kClassNotRegistered};
      result = reader().Pick(kOpenResults);
    }
    if (AnswersGone(result)) device.gone = true;
    if (Failed(result)) {
      layer().NoteOpenFailure(device_id);
      return result;
    }
    connection_ = layer().AddConnection(device_id);
    return result;
  }

  DeviceResult Content(std::unique_ptr<ptp::DeviceContent>* content) override {
    if (connection_ == nullptr) return kDeviceNotOpen;
    if (const std::optional<DeviceResult> gone = connection_->Call()) return *gone;
    if (reader().Hostile(240)) {
      static constexpr DeviceResult kMissing[] = {kFailed, kDeviceOk, kDeviceHung};
      return connection_->Answer(reader().Pick(kMissing));
    }
    *content = std::make_unique<FuzzedContent>(&layer(), connection_);
    return kDeviceOk;
  }

  DeviceResult Close() override {
    ++closes_;
    if (connection_ == nullptr) return kDeviceNotOpen;
    Check(connection_->live_objects == 0, 6,
          "everything obtained from a device is released before it is closed");
    connection_->closed = true;
    return DrawSmallResult(reader());
  }

 private:
  Connection* connection_ = nullptr;
  int closes_ = 0;
};

}  // namespace

std::optional<DeviceResult> Connection::Call() {
  Check(!closed, 5, "no call reaches a device after its Close");
  Check(!gone, 5, "no call but Close reaches a device after it answered that it is gone");
  ++calls;
  Check(calls <= kCallsPerDevice + kCallsPerListedObject * handed_out, 5,
        "a device is asked no more than what it listed can cost");
  ++device->calls;
  if (device->gone_after >= 0 && device->calls > device->gone_after) device->gone = true;
  if (!device->gone) return std::nullopt;
  gone = true;
  return device->gone_code;
}

DeviceResult Connection::Answer(DeviceResult result) {
  if (AnswersGone(result)) {
    gone = true;
    device->gone = true;
    device->gone_code = result;
  }
  return result;
}

FuzzedDeviceLayer::FuzzedDeviceLayer(FuzzedPhone* phone) : phone_(*phone) {}

FuzzedDeviceLayer::~FuzzedDeviceLayer() = default;

Connection* FuzzedDeviceLayer::AddConnection(const std::u16string& device_id) {
  auto connection = std::make_unique<Connection>();
  connection->device_id = device_id;
  connection->device = &phone_.Device(device_id);
  connections_.push_back(std::move(connection));
  return connections_.back().get();
}

template <typename Made, typename Interface>
DeviceResult FuzzedDeviceLayer::Create(std::unique_ptr<Interface>* made) {
  if (!phone_.reader().Hostile(240)) {
    *made = std::make_unique<Made>(this);
    return kDeviceOk;
  }
  static constexpr DeviceResult kFailures[] = {kClassNotRegistered, kFailed, kDeviceOk,
                                               kOutOfMemory};
  return phone_.reader().Pick(kFailures);
}

DeviceResult FuzzedDeviceLayer::CreateManager(std::unique_ptr<ptp::DeviceManager>* manager) {
  return Create<FuzzedManager>(manager);
}

DeviceResult FuzzedDeviceLayer::CreateKeyCollection(std::unique_ptr<ptp::KeyCollection>* keys) {
  return Create<FuzzedKeyCollection>(keys);
}

DeviceResult FuzzedDeviceLayer::CreateClientInformation(
    std::unique_ptr<ptp::ClientInformation>* info) {
  return Create<FuzzedClientInformation>(info);
}

DeviceResult FuzzedDeviceLayer::CreateDevice(std::unique_ptr<ptp::PortableDevice>* device) {
  return Create<FuzzedPortableDevice>(device);
}

DeviceResult FuzzedDeviceLayer::CreateIdCollection(std::unique_ptr<ptp::IdCollection>* ids) {
  return Create<FuzzedIdCollection>(ids);
}

}  // namespace camvey::fuzz
