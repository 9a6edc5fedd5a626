#pragma once

#include <cstdint>

// Control ids of the dialog templates, shared by the templates, the windows that address their
// controls and the tests. Ids are unique within one dialog only.

// Buttons that any dialog may have.
namespace common_ids {
inline constexpr int32_t kOk = 1;
inline constexpr int32_t kCancel = 2;
inline constexpr int32_t kReset = 3;
}  // namespace common_ids

// The main window (template 102).
namespace main_ids {
inline constexpr int32_t kSaveAs = 1002;
inline constexpr int32_t kLoad = 1003;
inline constexpr int32_t kUp = 1004;
inline constexpr int32_t kDown = 1005;
inline constexpr int32_t kOptions = 1008;
inline constexpr int32_t kAbout = 1009;
inline constexpr int32_t kDelete = 1011;
inline constexpr int32_t kList = 1012;
inline constexpr int32_t kConsole = 1013;
}  // namespace main_ids

// The Options dialog (template 129).
namespace options_ids {
inline constexpr int32_t kLeaderGroup = 1013;
inline constexpr int32_t kLeaderMinLabel = 1014;
inline constexpr int32_t kLeaderMin = 1015;
inline constexpr int32_t kLeaderMaxLabel = 1016;
inline constexpr int32_t kLeaderMax = 1017;
inline constexpr int32_t kMiddleVals = 1020;
inline constexpr int32_t kCalibrationGroup = 1021;
inline constexpr int32_t kMaxFirst = 1022;
inline constexpr int32_t kSyncGroup = 1023;
inline constexpr int32_t kSyncMinLabel = 1024;
inline constexpr int32_t kSyncMin = 1025;
inline constexpr int32_t kSyncMaxLabel = 1026;
inline constexpr int32_t kSyncMax = 1027;
inline constexpr int32_t kDataGroup = 1028;
inline constexpr int32_t kData0MinLabel = 1029;
inline constexpr int32_t kData0Min = 1030;
inline constexpr int32_t kData0MaxLabel = 1031;
inline constexpr int32_t kData0Max = 1032;
inline constexpr int32_t kWaveGroup = 1033;
inline constexpr int32_t kData1MinLabel = 1034;
inline constexpr int32_t kData1Min = 1035;
inline constexpr int32_t kData1MaxLabel = 1036;
inline constexpr int32_t kData1Max = 1037;
inline constexpr int32_t kExternVals = 1038;
inline constexpr int32_t kFilter = 1039;
inline constexpr int32_t kFilterLabel = 1040;
inline constexpr int32_t kDelayLabel = 1041;
inline constexpr int32_t kDelay = 1042;
inline constexpr int32_t kDecayLabel = 1043;
inline constexpr int32_t kDecay = 1044;
inline constexpr int32_t kDebugGroup = 1047;
inline constexpr int32_t kFromFile = 1048;
inline constexpr int32_t kDump = 1049;
inline constexpr int32_t kBaseCount = 1050;
inline constexpr int32_t kBaseCountLabel = 1051;
inline constexpr int32_t kRobust = 1052;
inline constexpr int32_t kArchive = 1053;
inline constexpr int32_t kSoundInputLabel = 1054;
inline constexpr int32_t kSoundInput = 1055;
inline constexpr int32_t kRejection = 1056;
}  // namespace options_ids

// The Signal window (template 133).
namespace signal_ids {
inline constexpr int32_t kTab = 1044;
}  // namespace signal_ids
