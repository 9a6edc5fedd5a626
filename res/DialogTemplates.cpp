#include "res/DialogTemplates.h"

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
            {1, PushButton, "OK", 178, 7, 32, 14, cs::kDefaultButton | kButton},
            {kStaticId, Icon, ":/icons/128.svg", 7, 26, 20, 20, cs::kNone},
            {kStaticId, Label, "Tapewise", 46, 26, 119, 8, cs::kNone},
            {kStaticId, Label, "Version 1.01", 46, 40, 119, 8, cs::kNone},
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
            {1011, PushButton, "&Delete", 203, 75, 50, 14, kButton},
            {1002, PushButton, "&Save as ...", 203, 12, 50, 14, kButton},
            {1008, PushButton, "&Options ...", 203, 134, 48, 16, kButton},
            {1012, ListView, "", 7, 13, 187, 162,
             cs::kReportView | cs::kMultiSelect | cs::kNoSortHeader | cs::kSunken | cs::kTabStop},
            {1009, PushButton, "&About ...", 203, 158, 48, 16, kButton},
            {1003, PushButton, "&Load ...", 203, 32, 50, 14, kButton},
            {1004, PushButton, "Up", 203, 53, 17, 14, cs::kIconButton | kButton},
            {1005, PushButton, "Down", 234, 52, 17, 14, cs::kIconButton | kButton},
            {1013, PushButton, "Console", 203, 116, 50, 14, kButton},
        },
    };
    return main;
}

const DialogTemplate& OptionsTemplate() {
    static const DialogTemplate options{
        kOptionsTemplateId,
        "Dialog",
        223,
        162,
        kDialogFont,
        8,
        ds::kSystemMenu | ds::kModalFrame,
        {
            {1, PushButton, "OK", 165, 141, 50, 14, cs::kDefaultButton | kButton},
            {2, PushButton, "Cancel", 105, 141, 50, 14, kButton},
            {1013, GroupBox, "Leader", 4, 4, 67, 38, cs::kNone},
            {1014, Label, "Min", 8, 14, 14, 11, cs::kNone},
            {1015, Edit, "", 37, 13, 29, 12, kNumericEdit},
            {1016, Label, "Max", 8, 27, 14, 11, cs::kNone},
            {1017, Edit, "", 37, 26, 29, 12, kNumericEdit},
            {1023, GroupBox, "Sync bit", 4, 46, 67, 38, cs::kNone},
            {1024, Label, "Min", 8, 55, 14, 11, cs::kNone},
            {1025, Edit, "", 37, 54, 29, 12, kNumericEdit},
            {1026, Label, "Max", 8, 68, 14, 11, cs::kNone},
            {1027, Edit, "", 37, 67, 29, 12, kNumericEdit},
            {1028, GroupBox, "Data", 76, 4, 67, 80, cs::kNone},
            {1029, Label, "0 Min", 80, 15, 22, 11, cs::kNone},
            {1030, Edit, "", 109, 14, 29, 12, kNumericEdit},
            {1031, Label, "0 Max", 80, 28, 22, 11, cs::kNone},
            {1032, Edit, "", 109, 26, 29, 12, kNumericEdit},
            {1034, Label, "1 Min", 80, 56, 22, 11, cs::kNone},
            {1035, Edit, "", 109, 54, 29, 12, kNumericEdit},
            {1036, Label, "1 Max", 80, 69, 22, 11, cs::kNone},
            {1037, Edit, "", 109, 67, 29, 12, kNumericEdit},
            {1020, CheckBox, "Middle vals", 154, 13, 50, 12, kButton},
            {1038, CheckBox, "Extern vals", 154, 27, 50, 12, kButton},
            {3, PushButton, "Reset", 7, 141, 50, 14, kButton},
            {1021, GroupBox, "Auto calibration", 148, 4, 67, 38, cs::kNone},
            {1022, CheckBox, "Max first", 154, 55, 50, 12, kButton},
            {1033, GroupBox, "Wave processing", 148, 46, 67, 91, cs::kNone},
            {1040, Label, "% Filter ", 186, 69, 23, 12, cs::kNone},
            {1039, Edit, "", 154, 68, 29, 12, kNumericEdit},
            {1047, GroupBox, "Debug", 5, 85, 136, 37, cs::kNone},
            {1041, Label, "Delay", 187, 85, 23, 12, cs::kNone},
            {1042, Edit, "", 155, 84, 29, 12, kNumericEdit},
            {1043, Label, "% Decay", 184, 102, 29, 12, cs::kNone},
            {1044, Edit, "", 155, 102, 29, 12, kNumericEdit},
            {1048, CheckBox, "From file", 15, 93, 58, 13, kButton},
            {1049, CheckBox, "Dump", 83, 92, 54, 13, kButton},
            {1050, Edit, "", 58, 106, 79, 12, cs::kBorder | cs::kAutoHScroll | cs::kTabStop},
            {1051, Label, "Base[.count]", 10, 107, 45, 11, cs::kNone},
            {1052, CheckBox, "Robust", 154, 119, 50, 12, kButton},
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
            {1044, TabControl, "", 7, 4, 260, 214, cs::kTabStop},
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
