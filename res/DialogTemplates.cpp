#include "res/DialogTemplates.h"

#include "res/ControlIds.h"

namespace {
using enum ControlKind;
namespace cs = control_style;
namespace ds = dialog_style;

constexpr const char* kDialogFont = "MS Sans Serif";
constexpr uint32_t kNumericEdit = cs::kDigitsOnly | cs::kBorder | cs::kAutoHScroll | cs::kTabStop;
constexpr uint32_t kButton = cs::kTabStop;
// Static controls that no code addresses share this id.
constexpr int32_t kStaticId = -1;
}  // namespace

const DialogTemplate& AboutTemplate() {
    static const DialogTemplate about{
        kAboutTemplateId,
        "About Tapewise",
        217,
        87,
        kDialogFont,
        8,
        ds::kSystemMenu | ds::kModalFrame,
        {
            {common_ids::kOk, PushButton, "OK", 178, 7, 32, 14, cs::kDefaultButton | kButton},
            {kStaticId, Icon, ":/icons/128.svg", 7, 26, 20, 20, cs::kNone},
            {kStaticId, Label, "Tapewise", 46, 26, 119, 8, cs::kNone},
            {kStaticId, Label, "Version " TAPEWISE_VERSION, 46, 40, 119, 8, cs::kNone},
        },
    };
    return about;
}

const DialogTemplate& MainTemplate() {
    static const DialogTemplate main{
        kMainTemplateId,
        "Tapewise",
        259,
        190,
        kDialogFont,
        8,
        ds::kVisible | ds::kSystemMenu | ds::kMinimizeBox | ds::kModalFrame | ds::kAppWindow,
        {
            {main_ids::kDelete, PushButton, "&Delete", 203, 75, 50, 14, kButton},
            {main_ids::kSaveAs, PushButton, "&Save as ...", 203, 12, 50, 14, kButton},
            {main_ids::kOptions, PushButton, "&Options ...", 203, 134, 48, 16, kButton},
            {main_ids::kList, ListView, "", 7, 13, 187, 162,
             cs::kReportView | cs::kMultiSelect | cs::kNoSortHeader | cs::kSunken | cs::kTabStop},
            {main_ids::kAbout, PushButton, "&About ...", 203, 158, 48, 16, kButton},
            {main_ids::kLoad, PushButton, "&Load ...", 203, 32, 50, 14, kButton},
            {main_ids::kUp, PushButton, "Up", 203, 53, 17, 14, cs::kIconButton | kButton},
            {main_ids::kDown, PushButton, "Down", 234, 52, 17, 14, cs::kIconButton | kButton},
            {main_ids::kConsole, PushButton, "Console", 203, 116, 50, 14, kButton},
        },
    };
    return main;
}

const DialogTemplate& OptionsTemplate() {
    static const DialogTemplate options{
        kOptionsTemplateId,
        "Dialog",
        223,
        197,
        kDialogFont,
        8,
        ds::kSystemMenu | ds::kModalFrame,
        {
            {common_ids::kOk, PushButton, "OK", 165, 176, 50, 14, cs::kDefaultButton | kButton},
            {common_ids::kCancel, PushButton, "Cancel", 105, 176, 50, 14, kButton},
            {options_ids::kLeaderGroup, GroupBox, "Leader", 4, 4, 67, 38, cs::kNone},
            {options_ids::kLeaderMinLabel, Label, "Min", 8, 14, 14, 11, cs::kNone},
            {options_ids::kLeaderMin, Edit, "", 37, 13, 29, 12, kNumericEdit},
            {options_ids::kLeaderMaxLabel, Label, "Max", 8, 27, 14, 11, cs::kNone},
            {options_ids::kLeaderMax, Edit, "", 37, 26, 29, 12, kNumericEdit},
            {options_ids::kSyncGroup, GroupBox, "Sync bit", 4, 46, 67, 38, cs::kNone},
            {options_ids::kSyncMinLabel, Label, "Min", 8, 55, 14, 11, cs::kNone},
            {options_ids::kSyncMin, Edit, "", 37, 54, 29, 12, kNumericEdit},
            {options_ids::kSyncMaxLabel, Label, "Max", 8, 68, 14, 11, cs::kNone},
            {options_ids::kSyncMax, Edit, "", 37, 67, 29, 12, kNumericEdit},
            {options_ids::kDataGroup, GroupBox, "Data", 76, 4, 67, 80, cs::kNone},
            {options_ids::kData0MinLabel, Label, "0 Min", 80, 15, 22, 11, cs::kNone},
            {options_ids::kData0Min, Edit, "", 109, 14, 29, 12, kNumericEdit},
            {options_ids::kData0MaxLabel, Label, "0 Max", 80, 28, 22, 11, cs::kNone},
            {options_ids::kData0Max, Edit, "", 109, 26, 29, 12, kNumericEdit},
            {options_ids::kData1MinLabel, Label, "1 Min", 80, 56, 22, 11, cs::kNone},
            {options_ids::kData1Min, Edit, "", 109, 54, 29, 12, kNumericEdit},
            {options_ids::kData1MaxLabel, Label, "1 Max", 80, 69, 22, 11, cs::kNone},
            {options_ids::kData1Max, Edit, "", 109, 67, 29, 12, kNumericEdit},
            {options_ids::kMiddleVals, CheckBox, "Middle vals", 154, 13, 50, 12, kButton},
            {options_ids::kExternVals, CheckBox, "Extern vals", 154, 27, 50, 12, kButton},
            {common_ids::kReset, PushButton, "Reset", 7, 176, 50, 14, kButton},
            {options_ids::kCalibrationGroup, GroupBox, "Auto calibration", 148, 4, 67, 38,
             cs::kNone},
            {options_ids::kMaxFirst, CheckBox, "Max first", 154, 55, 50, 12, kButton},
            {options_ids::kWaveGroup, GroupBox, "Wave processing", 148, 46, 67, 105, cs::kNone},
            {options_ids::kFilterLabel, Label, "% Filter ", 186, 69, 23, 12, cs::kNone},
            {options_ids::kFilter, Edit, "", 154, 68, 29, 12, kNumericEdit},
            {options_ids::kDebugGroup, GroupBox, "Debug", 5, 85, 136, 37, cs::kNone},
            {options_ids::kDelayLabel, Label, "Delay", 187, 85, 23, 12, cs::kNone},
            {options_ids::kDelay, Edit, "", 155, 84, 29, 12, kNumericEdit},
            {options_ids::kDecayLabel, Label, "% Decay", 184, 102, 29, 12, cs::kNone},
            {options_ids::kDecay, Edit, "", 155, 102, 29, 12, kNumericEdit},
            {options_ids::kFromFile, CheckBox, "From file", 15, 93, 58, 13, kButton},
            {options_ids::kDump, CheckBox, "Dump", 83, 92, 54, 13, kButton},
            {options_ids::kBaseCount, Edit, "", 58, 106, 79, 12,
             cs::kBorder | cs::kAutoHScroll | cs::kTabStop},
            {options_ids::kBaseCountLabel, Label, "Base[.count]", 10, 107, 45, 11, cs::kNone},
            {options_ids::kRobust, CheckBox, "Robust", 154, 119, 50, 12, kButton},
            {options_ids::kArchive, CheckBox, "Archive", 154, 133, 50, 12, kButton},
            // Why the last value was refused, in words; empty until then.
            {options_ids::kRejection, Label, "", 7, 126, 134, 22, cs::kNone},
            {options_ids::kSoundInputLabel, Label, "Sound &input", 7, 158, 48, 11, cs::kNone},
            {options_ids::kSoundInput, ComboBox, "", 58, 156, 157, 14, cs::kTabStop},
        },
    };
    return options;
}

const DialogTemplate& SignalTemplate() {
    static const DialogTemplate signal{
        kSignalTemplateId,
        "Signal",
        276,
        226,
        kDialogFont,
        8,
        ds::kSystemMenu | ds::kModalFrame,
        {
            {signal_ids::kTab, TabControl, "", 7, 4, 260, 214, cs::kTabStop},
        },
    };
    return signal;
}

const DialogTemplate* FindDialogTemplate(int32_t id) {
    for (const DialogTemplate* dialog :
         {&AboutTemplate(), &MainTemplate(), &OptionsTemplate(), &SignalTemplate()}) {
        if (dialog->id == id) {
            return dialog;
        }
    }
    return nullptr;
}
