#include "ptp/device/deletion_rules.h"

#include <algorithm>

#include "ptp/device/delete_trace.h"
#include "ptp/device/photo_name.h"
#include "text/wide_text.h"

namespace camvey::ptp {
namespace {

Verdict Seek(Round round) { return {Verdict::Kind::kSeek, round, Reason::kNone, nullptr}; }
Verdict LeftAlone(Round round, Reason reason) {
  return {Verdict::Kind::kLeftAlone, round, reason, nullptr};
}
Verdict KeptBack(Round round, Reason reason) {
  return {Verdict::Kind::kKeptBack, round, reason, nullptr};
}

// The carrier is the object an earlier request sent with an unknown outcome: the same
// device, id and name, and no other size.
bool SameObject(const SentPhoto& earlier, const Sighting& carrier) {
  const PhoneObject& object = *carrier.object;
  const bool sizes_agree =
      !earlier.size.has_value() || !object.size.has_value() || *earlier.size == *object.size;
  return earlier.device_id == *carrier.device_id && earlier.object_id == object.id &&
         earlier.spelled == object.name && sizes_agree;
}

// A storage other than the carrier's that may not list the copy of a photo asked
// without a size; null when there is none.
const StorageWithoutDeletion* UnlistedStorage(const PhotoEvidence& evidence,
                                              const Sighting& carrier) {
  if (evidence.wanted.size.has_value()) return nullptr;
  for (const StorageWithoutDeletion& storage : evidence.storages_without_deletion) {
    if (storage.device != carrier.device || storage.storage != carrier.place[0]) return &storage;
  }
  return nullptr;
}

// Rows 3 to 6 over one round's group; empty when the group holds no carrier.
std::optional<Verdict> JudgeGroup(const PhotoEvidence& evidence, Round round) {
  const RoundEvidence& seen = evidence.round(round);
  if (!seen.gathered) return Seek(round);
  if (seen.carriers.size() > 1) return LeftAlone(round, Reason::kSeveralCarriers);
  if (!seen.carriers.empty() && !seen.of_no_month.empty()) {
    return LeftAlone(round, Reason::kAlsoOfNoMonth);
  }
  if (seen.gap) return KeptBack(round, Reason::kNotSeenWhole);
  if (!seen.of_unknown_kind.empty()) return KeptBack(round, Reason::kKindUnknown);
  if (!seen.of_unknown_size.empty()) return KeptBack(round, Reason::kSizeUnknown);
  if (seen.carriers.empty()) return std::nullopt;
  const Sighting& carrier = seen.carriers.front();
  if (std::any_of(evidence.unresolved.begin(), evidence.unresolved.end(),
                  [&carrier](const SentPhoto& earlier) { return !SameObject(earlier, carrier); })) {
    return LeftAlone(round, Reason::kMaybeDeletedEarlier);
  }
  if (UnlistedStorage(evidence, carrier) != nullptr) {
    return LeftAlone(round, Reason::kMayLieUnlisted);
  }
  return Verdict{Verdict::Kind::kTake, round, Reason::kNone, &carrier};
}

std::string Utf8(const std::u16string& text) { return text::WideToUtf8(text); }

// A gap other than a group's is said once a pass, however many names it keeps back:
// nothing is spelled for the names after the first.
void TraceGap(const PhotoEvidence& evidence, Round round, const Gap& gap, GapsSaid* gaps_said) {
  if (gap.cause == GapCause::kGroupUnseen) {
    const std::string name = Utf8(evidence.wanted.name);
    const std::string month = Utf8(evidence.wanted.month);
    if (round == Round::kOwnMonth) {
      DeleteTrace("delete: the folders of %s were not seen whole, %s is left alone", month.c_str(),
                  name.c_str());
    } else {
      DeleteTrace("delete: a folder beside %s was not seen whole, %s is not sought elsewhere",
                  month.c_str(), name.c_str());
    }
    return;
  }
  if (!gaps_said->insert({gap.cause, gap.subject}).second) return;
  const std::string subject = Utf8(gap.subject);
  switch (gap.cause) {
    case GapCause::kDeviceUnlisted:
      DeleteTrace(
          "delete: an attached device could not be identified, names not yet found are left "
          "alone");
      break;
    case GapCause::kDeviceUnseen:
      DeleteTrace("delete: %s could not be searched whole, names not yet found are left alone",
                  subject.c_str());
      break;
    case GapCause::kFoldersHidden:
      DeleteTrace(
          "delete: the folders of \"%s\" were not all seen, names sought in month folders are "
          "left alone",
          subject.c_str());
      break;
    case GapCause::kNoMonthFolders:
      DeleteTrace(
          "delete: a folder of no month on \"%s\" could not be read whole, names sought in "
          "month folders are left alone",
          subject.c_str());
      break;
    case GapCause::kListingEndedEarly:
      DeleteTrace("delete: a listing of \"%s\" ended early, unique names there are left alone",
                  subject.c_str());
      break;
    case GapCause::kUnreadableObject:
      DeleteTrace(
          "delete: an object of \"%s\" could not be read, unique names there are left alone",
          subject.c_str());
      break;
    case GapCause::kDeeperFolder:
      DeleteTrace(
          "delete: \"%s\" holds a folder inside its camera roll, unique names there are left "
          "alone",
          subject.c_str());
      break;
    case GapCause::kListingLimit:
      DeleteTrace(
          "delete: more than %d objects listed on \"%s\", unique names there are left alone",
          static_cast<int>(kUniqueSearchListingLimit), subject.c_str());
      break;
    case GapCause::kGroupUnseen:
    case GapCause::kNone:
      break;
  }
}

void TraceSeveralCarriers(const PhotoEvidence& evidence, Round round) {
  const std::string name = Utf8(evidence.wanted.name);
  const std::string month = Utf8(evidence.wanted.month);
  const int count = static_cast<int>(evidence.round(round).carriers.size());
  switch (round) {
    case Round::kOwnMonth:
      DeleteTrace("delete: %s is in the folders of %s %d times, left alone", name.c_str(),
                  month.c_str(), count);
      break;
    case Round::kNeighbours:
      DeleteTrace("delete: %s is in the folders beside %s %d times, left alone", name.c_str(),
                  month.c_str(), count);
      break;
    case Round::kUnique:
      DeleteTrace("delete: %s is on the phone %d times, left alone", name.c_str(), count);
      break;
  }
}

void TraceAlsoOfNoMonth(const PhotoEvidence& evidence, Round round) {
  const std::string name = Utf8(evidence.wanted.name);
  const std::string month = Utf8(evidence.wanted.month);
  if (round == Round::kOwnMonth) {
    DeleteTrace("delete: %s is in the folders of %s and in a folder of no month, left alone",
                name.c_str(), month.c_str());
  } else {
    DeleteTrace("delete: %s is in the folders beside %s and in a folder of no month, left alone",
                name.c_str(), month.c_str());
  }
}

}  // namespace

Verdict Judge(const PhotoEvidence& evidence) {
  const Round any = Round::kOwnMonth;
  if (evidence.wanted.size_unusable) return LeftAlone(any, Reason::kSizeUnusable);  // 1
  if (evidence.deleted_earlier.has_value()) {                                       // 2
    return {Verdict::Kind::kDeletedEarlier, any, Reason::kNone, nullptr};
  }
  if (evidence.real_month) {
    if (std::optional<Verdict> own = JudgeGroup(evidence, Round::kOwnMonth)) return *own;  // 3-6
    if (evidence.round(Round::kOwnMonth).stem_elsewhere) {                                 // 7
      return LeftAlone(Round::kOwnMonth, Reason::kStemInOwnMonth);
    }
  }
  if (evidence.photos_of_name > 1) return LeftAlone(any, Reason::kSeveralPhotos);   // 8
  if (evidence.stem_sent_earlier) return LeftAlone(any, Reason::kStemSentEarlier);  // 9
  if (evidence.real_month) {
    if (std::optional<Verdict> beside = JudgeGroup(evidence, Round::kNeighbours)) {  // 10
      return *beside;
    }
  }
  if (std::optional<Verdict> unique = JudgeGroup(evidence, Round::kUnique)) return *unique;  // 11
  return {};                                                                                 // 12
}

void TraceVerdict(const PhotoEvidence& evidence, const Verdict& verdict, GapsSaid* gaps_said) {
  if (verdict.kind == Verdict::Kind::kSeek) return;
  // The unique round meets again what a month round met: each namesake is said once.
  std::vector<const PhoneObject*> said;
  for (const RoundEvidence& round : evidence.rounds) {
    for (const Sighting& other : round.of_other_size) {
      if (std::find(said.begin(), said.end(), other.object) != said.end()) continue;
      said.push_back(other.object);
      DeleteTrace("delete: %s in %s is %llu bytes, the copy %llu, passed over",
                  Utf8(evidence.wanted.name).c_str(), Utf8(*other.folder).c_str(),
                  static_cast<unsigned long long>(*other.object->size),
                  static_cast<unsigned long long>(*evidence.wanted.size));
    }
  }
  const RoundEvidence& decided = evidence.round(verdict.round);
  switch (verdict.kind) {
    case Verdict::Kind::kDeletedEarlier:
      DeleteTrace("delete: %s was deleted by an earlier request",
                  Utf8(evidence.wanted.name).c_str());
      return;
    case Verdict::Kind::kSeek:  // not final: nothing to say yet
    case Verdict::Kind::kTake:
    case Verdict::Kind::kNotFound:
      return;
    case Verdict::Kind::kLeftAlone:
    case Verdict::Kind::kKeptBack:
      break;
  }
  if (verdict.reason == Reason::kNotSeenWhole) {
    TraceGap(evidence, verdict.round, decided.gap, gaps_said);
    return;
  }
  // Most verdicts of a pass are takes, which say nothing: the name is spelled only here.
  const std::string name = Utf8(evidence.wanted.name);
  switch (verdict.reason) {
    case Reason::kSizeUnusable:
      DeleteTrace("delete: %s has a size that is no byte count, left alone", name.c_str());
      break;
    case Reason::kSeveralCarriers:
      TraceSeveralCarriers(evidence, verdict.round);
      break;
    case Reason::kAlsoOfNoMonth:
      TraceAlsoOfNoMonth(evidence, verdict.round);
      break;
    case Reason::kMaybeDeletedEarlier:
      DeleteTrace("delete: %s may have been deleted by an earlier request, left alone",
                  name.c_str());
      break;
    case Reason::kMayLieUnlisted:
      DeleteTrace(
          "delete: %s was asked without a size and \"%s\" may not list every photo (iCloud "
          "Photos may be on), left alone",
          name.c_str(), Utf8(*UnlistedStorage(evidence, decided.carriers.front())->name).c_str());
      break;
    case Reason::kStemInOwnMonth:
      DeleteTrace("delete: %s is in the folders of %s under another extension, left alone",
                  name.c_str(), Utf8(evidence.wanted.month).c_str());
      break;
    case Reason::kSeveralPhotos:
      DeleteTrace(
          "delete: %s is wanted as %d photos, the one of \"%s\" is sought only in its own month",
          name.c_str(), static_cast<int>(evidence.photos_of_name),
          Utf8(evidence.wanted.month).c_str());
      break;
    case Reason::kStemSentEarlier:
      DeleteTrace(
          "delete: an earlier request sent a photo of %s, %s is sought only in its own month",
          Utf8(std::u16string(StemOfUpperCased(evidence.wanted.name))).c_str(), name.c_str());
      break;
    case Reason::kKindUnknown:
      DeleteTrace("delete: %s could not be told from a folder, left alone", name.c_str());
      break;
    case Reason::kSizeUnknown:
      DeleteTrace("delete: the size of %s in %s could not be read, left alone", name.c_str(),
                  Utf8(*decided.of_unknown_size.front().folder).c_str());
      break;
    case Reason::kNotSeenWhole:  // said above
    case Reason::kNone:
      break;
  }
}

}  // namespace camvey::ptp
