#ifndef CAMVEY_PTP_PTP_CHANNEL_H_
#define CAMVEY_PTP_PTP_CHANNEL_H_

// The service's method channel, "camvey/ptp", on the engine's messenger.

#include "messaging/binary_messenger.h"
#include "ptp/ptp_service.h"

namespace camvey::ptp {

inline constexpr char kPtpChannelName[] = "camvey/ptp";

// Builds the channel over `messenger` (borrowed) with the shared standard method codec,
// keeps it in `service`'s channel slot (destroying the channel held there before) and
// installs on it a handler that hands every call to HandlePtpCall with `service`,
// replacing any handler under the same name: the messenger then holds one handler for
// the channel. Neither the slot nor the service takes the handler off the messenger
// when it goes, so the messenger must deliver no more calls on the channel once
// `service` is gone. Platform thread.
void RegisterPtpChannel(flutter::BinaryMessenger* messenger, PtpService& service);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_CHANNEL_H_
