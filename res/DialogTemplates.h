#pragma once

#include "ui/DialogTemplate.h"

// The dialog templates of the program, by resource id.
inline constexpr int32_t kAboutTemplateId = 100;
inline constexpr int32_t kMainTemplateId = 102;
inline constexpr int32_t kOptionsTemplateId = 129;
inline constexpr int32_t kSignalTemplateId = 133;
// The program's name: the title of message boxes, which have no caption of their own.
inline constexpr const char* kProgramName = "Tapewise";

const DialogTemplate& AboutTemplate();    // 100, "About Tapewise"
const DialogTemplate& MainTemplate();     // 102, "Tapewise"
const DialogTemplate& OptionsTemplate();  // 129, "Dialog"
const DialogTemplate& SignalTemplate();   // 133, "Signal"

// The template with that id, or nullptr.
const DialogTemplate* FindDialogTemplate(int32_t id);
