#pragma once

#include <cstdint>
#include <vector>

// A dialog as data: its caption, size and controls in dialog units, the way the templates in res/
// hold them. CDialogBuilder turns one into a window; tests check each control against its row.

enum class ControlKind {
    PushButton,
    CheckBox,
    GroupBox,
    Label,  // static text
    Edit,
    ListView,
    TabControl,
    Icon,      // a picture: the text names the icon resource
    ComboBox,  // a drop-down list to choose from
};

// Style flags of a control, or-ed together.
namespace control_style {
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kDefaultButton = 1u << 0;  // Enter presses it
inline constexpr uint32_t kIconButton = 1u << 1;     // shows an icon instead of its text
inline constexpr uint32_t kDigitsOnly = 1u << 2;     // an edit that takes only digits when typed
inline constexpr uint32_t kBorder = 1u << 3;
inline constexpr uint32_t kAutoHScroll = 1u << 4;  // an edit that scrolls instead of stopping
inline constexpr uint32_t kCentred = 1u << 5;      // centred label text
inline constexpr uint32_t kMultiSelect = 1u << 6;  // a list in which several rows can be selected
inline constexpr uint32_t kReportView = 1u << 7;   // a list with columns
inline constexpr uint32_t kNoSortHeader = 1u << 8;
inline constexpr uint32_t kSunken = 1u << 9;  // sunken client edge
inline constexpr uint32_t kTabStop = 1u << 10;
}  // namespace control_style

// Style flags of a dialog window.
namespace dialog_style {
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kVisible = 1u << 0;      // shown as soon as it is built
inline constexpr uint32_t kSystemMenu = 1u << 1;   // close box
inline constexpr uint32_t kMinimizeBox = 1u << 2;  //
inline constexpr uint32_t kModalFrame = 1u << 3;   // fixed size, dialog border
inline constexpr uint32_t kAppWindow = 1u << 4;    // shown in the task bar
}  // namespace dialog_style

struct ControlTemplate {
    int32_t id = 0;
    ControlKind kind = ControlKind::Label;
    const char* text = "";
    int32_t x = 0;  // dialog units
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t style = control_style::kNone;
};

struct DialogTemplate {
    int32_t id = 0;
    const char* caption = "";
    int32_t width = 0;  // dialog units
    int32_t height = 0;
    const char* fontName = "";
    int32_t pointSize = 8;
    uint32_t style = dialog_style::kNone;
    std::vector<ControlTemplate> controls;  // in tab order
};
