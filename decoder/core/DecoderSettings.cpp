#include "decoder/core/DecoderSettings.h"

void DecoderSettings::ResetLimits() {
    const DecoderSettings defaults;
    leaderCount = defaults.leaderCount;
    data0Min = defaults.data0Min;
    data0Max = defaults.data0Max;
    data1Min = defaults.data1Min;
    data1Max = defaults.data1Max;
    leaderMin = defaults.leaderMin;
    leaderMax = defaults.leaderMax;
    syncMin = defaults.syncMin;
    syncMax = defaults.syncMax;
}
