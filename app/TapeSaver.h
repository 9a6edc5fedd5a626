#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "model/TapeItem.h"

class QWidget;
class CStoredSettings;

// Save and Save as of the main window, from the file dialog to the file on disk: a path that must
// not be written (a sound recording, a pipe) and an empty list are refused and told, the user
// confirms what a TAP image would leave out, and the file is written whole or not at all.
class CTapeSaver {
public:
    // How the saver speaks to the user through the window.
    struct Reports {
        std::function<void(const QString&)> problem;  // in a message box
        std::function<void()> canceled;               // nothing written, by choice or refusal
        std::function<void(const char*)> log;         // a line in the console log
    };

    CTapeSaver(QWidget& owner, CStoredSettings& stored, Reports reports);

    // The path the user chose in the save dialog; empty when cancelled or refused.
    QString AskPath();
    // Writes the blocks at the path; how many blocks the file holds, or nothing when nothing was
    // written.
    std::optional<int32_t> Write(const QString& path, const std::vector<TapeItem>& blocks);

private:
    bool Confirm(const QString& warning);

    QWidget& m_owner;
    CStoredSettings& m_stored;
    Reports m_reports;
};
