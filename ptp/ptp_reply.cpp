#include "ptp/ptp_reply.h"

#include <iostream>
#include <utility>

#include "messaging/encodable_value.h"
#include "text/wide_text.h"

namespace camvey::ptp {

void DeliverPtpReply(PtpReply& reply) {
  flutter::EncodableList names;
  names.reserve(reply.names.size());
  for (const std::u16string& name : reply.names) {
    names.emplace_back(text::WideToUtf8(name));
  }
  if (names.empty() && !reply.error.empty()) {
    reply.result->Error(kPtpFailed, reply.error, nullptr);
  } else {
    reply.result->Success(flutter::EncodableValue(std::move(names)));
  }
}

void CompletePtpReply(PtpReply reply) {
  try {
    DeliverPtpReply(reply);
  } catch (...) {
    // The reply goes on return; an unanswered result prints its own warning.
    std::cerr << "Exception while answering a deleteFiles request.\n" << std::flush;
  }
}

}  // namespace camvey::ptp
