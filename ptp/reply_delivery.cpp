#include "ptp/reply_delivery.h"

namespace camvey::ptp {
namespace {

ReplyDelivery* installed_delivery = nullptr;

}  // namespace

void SetReplyDelivery(ReplyDelivery* delivery) { installed_delivery = delivery; }

ReplyDelivery& CurrentReplyDelivery() {
  return installed_delivery != nullptr ? *installed_delivery : PlatformReplyDelivery();
}

}  // namespace camvey::ptp
