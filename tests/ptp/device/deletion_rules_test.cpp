#include "ptp/device/deletion_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace camvey::ptp {
namespace {

using Kind = Verdict::Kind;

const std::u16string kPhone = u"usb#iphone";
const std::u16string kFolder = u"202401__";
const PhoneObject kCopy = {u"o1", u"IMG_0001.HEIC", false, true, true, 2048};
const PhoneObject kNamesake = {u"o2", u"IMG_0001.HEIC", false, true, true, 4096};
const PhoneObject kSizeless = {u"o3", u"IMG_0001.HEIC", false, true, true};

Sighting At(const PhoneObject& object) { return {&object, 0, &kPhone, &kFolder, {0, 0, 0}}; }

// Evidence for IMG_0001.HEIC of 202401 whose rounds up to `gathered` were gathered and
// found nothing; each row then adds what its rule reads.
PhotoEvidence Evidence(std::size_t gathered) {
  PhotoEvidence evidence;
  evidence.wanted = {u"IMG_0001.HEIC", u"202401"};
  evidence.real_month = true;
  for (std::size_t round = 0; round < gathered; ++round) evidence.rounds[round].gathered = true;
  return evidence;
}

TEST(DeletionRulesTest, OneVerdictPerEvidenceInTheTablesOrder) {
  const SentPhoto deleted_before = {
      u"IMG_0001.HEIC", u"202401", 2048, kPhone, u"o9", u"IMG_0001.HEIC", SentOutcome::kDeleted};
  const SentPhoto unknown_other = {
      u"IMG_0001.HEIC",     u"202312", std::nullopt, kPhone, u"o9", u"IMG_0001.HEIC",
      SentOutcome::kUnknown};
  const SentPhoto unknown_same = {
      u"IMG_0001.HEIC", u"202401", 2048, kPhone, u"o1", u"IMG_0001.HEIC", SentOutcome::kUnknown};
  struct Row {
    const char* rule;
    std::size_t gathered;
    std::function<void(PhotoEvidence&)> evidence;
    Kind kind;
    Round round;
    Reason reason;
  };
  const auto own = [](PhotoEvidence& e) -> RoundEvidence& { return e.round(Round::kOwnMonth); };
  const auto beside = [](PhotoEvidence& e) -> RoundEvidence& {
    return e.round(Round::kNeighbours);
  };
  const auto unique = [](PhotoEvidence& e) -> RoundEvidence& { return e.round(Round::kUnique); };
  const Gap unseen = {GapCause::kDeviceUnseen, u"usb#ipad"};
  const Row rows[] = {
      {"nothing gathered: seek the own month", 0, [](PhotoEvidence&) {}, Kind::kSeek,
       Round::kOwnMonth, Reason::kNone},
      {"1 a size that is no byte count", 0, [](PhotoEvidence& e) { e.wanted.size_unusable = true; },
       Kind::kLeftAlone, Round::kOwnMonth, Reason::kSizeUnusable},
      {"2 deleted by an earlier request", 0,
       [&](PhotoEvidence& e) { e.deleted_earlier = deleted_before; }, Kind::kDeletedEarlier,
       Round::kOwnMonth, Reason::kNone},
      {"3 two carriers beat a gap", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy), At(kNamesake)};
         own(e).gap = unseen;
       },
       Kind::kLeftAlone, Round::kOwnMonth, Reason::kSeveralCarriers},
      {"3 a carrier and one of no month", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         own(e).of_no_month = {At(kNamesake)};
       },
       Kind::kLeftAlone, Round::kOwnMonth, Reason::kAlsoOfNoMonth},
      {"3 one of no month alone: seek the neighbours", 1,
       [&](PhotoEvidence& e) { own(e).of_no_month = {At(kNamesake)}; }, Kind::kSeek,
       Round::kNeighbours, Reason::kNone},
      {"4 own month not seen whole", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         own(e).gap = {GapCause::kGroupUnseen, u""};
       },
       Kind::kKeptBack, Round::kOwnMonth, Reason::kNotSeenWhole},
      {"5 a carrier of unknown kind", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         own(e).of_unknown_kind = {At(kNamesake)};
       },
       Kind::kKeptBack, Round::kOwnMonth, Reason::kKindUnknown},
      {"5 a namesake of unknown size", 1,
       [&](PhotoEvidence& e) {
         e.wanted.size = 2048;
         own(e).carriers = {At(kCopy)};
         own(e).of_unknown_size = {At(kSizeless)};
       },
       Kind::kKeptBack, Round::kOwnMonth, Reason::kSizeUnknown},
      {"6 one carrier, another size passed over", 1,
       [&](PhotoEvidence& e) {
         e.wanted.size = 2048;
         own(e).carriers = {At(kCopy)};
         own(e).of_other_size = {At(kNamesake)};
       },
       Kind::kTake, Round::kOwnMonth, Reason::kNone},
      {"6 one carrier, the same object an earlier request may have deleted", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         e.unresolved = {unknown_same};
         e.stem_sent_earlier = true;
       },
       Kind::kTake, Round::kOwnMonth, Reason::kNone},
      {"6 one carrier, but another object may have been deleted", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         e.unresolved = {unknown_other};
       },
       Kind::kLeftAlone, Round::kOwnMonth, Reason::kMaybeDeletedEarlier},
      {"6 one carrier without a size, another storage may not list the copy", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         e.storages_without_deletion = {{1, 0, &kFolder}};
       },
       Kind::kLeftAlone, Round::kOwnMonth, Reason::kMayLieUnlisted},
      {"6 one carrier on the storage that may not list every photo", 1,
       [&](PhotoEvidence& e) {
         own(e).carriers = {At(kCopy)};
         e.storages_without_deletion = {{0, 0, &kFolder}};
       },
       Kind::kTake, Round::kOwnMonth, Reason::kNone},
      {"7 the stem under another extension", 1,
       [&](PhotoEvidence& e) { own(e).stem_elsewhere = true; }, Kind::kLeftAlone, Round::kOwnMonth,
       Reason::kStemInOwnMonth},
      {"own month empty: seek the neighbours", 1, [](PhotoEvidence&) {}, Kind::kSeek,
       Round::kNeighbours, Reason::kNone},
      {"8 several photos of the name", 1, [](PhotoEvidence& e) { e.photos_of_name = 2; },
       Kind::kLeftAlone, Round::kOwnMonth, Reason::kSeveralPhotos},
      {"9 an earlier request sent the stem", 1,
       [](PhotoEvidence& e) { e.stem_sent_earlier = true; }, Kind::kLeftAlone, Round::kOwnMonth,
       Reason::kStemSentEarlier},
      {"10 two carriers beside", 2,
       [&](PhotoEvidence& e) {
         beside(e).carriers = {At(kCopy), At(kNamesake)};
       },
       Kind::kLeftAlone, Round::kNeighbours, Reason::kSeveralCarriers},
      {"10 a neighbour not seen whole", 2,
       [&](PhotoEvidence& e) {
         beside(e).gap = {GapCause::kGroupUnseen, u""};
       },
       Kind::kKeptBack, Round::kNeighbours, Reason::kNotSeenWhole},
      {"10 one carrier beside", 2, [&](PhotoEvidence& e) { beside(e).carriers = {At(kCopy)}; },
       Kind::kTake, Round::kNeighbours, Reason::kNone},
      {"neighbours empty: seek the unique name", 2, [](PhotoEvidence&) {}, Kind::kSeek,
       Round::kUnique, Reason::kNone},
      {"no real month: seek the unique name at once", 0,
       [](PhotoEvidence& e) { e.real_month = false; }, Kind::kSeek, Round::kUnique, Reason::kNone},
      {"11 two carriers in the household", 3,
       [&](PhotoEvidence& e) {
         unique(e).carriers = {At(kCopy), At(kNamesake)};
       },
       Kind::kLeftAlone, Round::kUnique, Reason::kSeveralCarriers},
      {"11 a storage not seen whole", 3,
       [&](PhotoEvidence& e) {
         unique(e).carriers = {At(kCopy)};
         unique(e).gap = {GapCause::kListingLimit, u"Internal Storage"};
       },
       Kind::kKeptBack, Round::kUnique, Reason::kNotSeenWhole},
      {"11 one carrier in the household", 3,
       [&](PhotoEvidence& e) { unique(e).carriers = {At(kCopy)}; }, Kind::kTake, Round::kUnique,
       Reason::kNone},
      {"12 not found", 3, [](PhotoEvidence&) {}, Kind::kNotFound, Round::kOwnMonth, Reason::kNone},
  };
  for (const Row& row : rows) {
    PhotoEvidence evidence = Evidence(row.gathered);
    row.evidence(evidence);
    const Verdict verdict = Judge(evidence);
    EXPECT_EQ(verdict.kind, row.kind) << row.rule;
    EXPECT_EQ(verdict.reason, row.reason) << row.rule;
    if (row.kind != Kind::kNotFound && row.kind != Kind::kDeletedEarlier) {
      EXPECT_EQ(verdict.round, row.round) << row.rule;
    }
    if (row.kind == Kind::kTake) {
      EXPECT_EQ(verdict.taken->object, &kCopy) << row.rule;
    }
  }
}

}  // namespace
}  // namespace camvey::ptp
