#ifndef CAMVEY_PTP_PTP_CHANNEL_H_
#define CAMVEY_PTP_PTP_CHANNEL_H_

// The service's method channel, "camvey/ptp", on the engine's messenger.

#include "engine/flutter_engine.h"

namespace camvey::ptp {

inline constexpr char kPtpChannelName[] = "camvey/ptp";

// Builds the channel over `engine`'s messenger with the shared standard method codec,
// keeps it in the service's channel slot (destroying the channel held there before)
// and installs HandlePtpCall on it, replacing any handler under the same name: the
// messenger then holds one handler for the channel. The slot keeps its channel until
// the process exits, when it is destroyed without a messenger call. Platform thread.
void RegisterPtpChannel(flutter::FlutterEngine& engine);

}  // namespace camvey::ptp

#endif  // CAMVEY_PTP_PTP_CHANNEL_H_
