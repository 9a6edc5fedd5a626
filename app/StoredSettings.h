#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "decoder/core/DecoderSettings.h"
#include "decoder/dump/DumpSettings.h"

class QSettings;

// What the desktop program keeps between runs, in the platform's usual place for settings (on
// Linux ~/.config/tapewise/tapewise.conf): the decoder's limits, wave processing, calibration
// switches, modes and dump base name, the sound input, the windows' places and sizes, and the
// folder of the last file dialog. The debug modes (dump, replay) start off at every run: they act
// on files at once. A value missing, out of its range or not of its kind keeps the default, and so
// does a pair of limits whose minimum is not below its maximum; the user is told of each.
class CStoredSettings {
public:
    // Kept in `store`; a null store keeps nothing (the widget tests).
    explicit CStoredSettings(std::unique_ptr<QSettings> store = nullptr);
    // The user's store in its usual place; null, with `problem` saying why, when that place holds
    // something other than a regular file (a FIFO would block the first read for ever).
    static std::unique_ptr<QSettings> OpenUserStore(QString& problem);
    ~CStoredSettings();
    CStoredSettings(const CStoredSettings&) = delete;
    CStoredSettings& operator=(const CStoredSettings&) = delete;

    // The decoder's settings kept; what was not taken, in words for the user, into `problems`.
    DecoderSettings Decoder(QStringList* problems = nullptr) const;
    void SetDecoder(const DecoderSettings& settings);
    // The dump's base name kept; dumping and replaying off, the count at 0.
    DumpSettings Dump() const;
    void SetDump(const DumpSettings& dump);

    QString SoundInput() const;  // empty: the system's default
    void SetSoundInput(const QString& source);

    QByteArray Place(const QString& window) const;
    void SetPlace(const QString& window, const QByteArray& place);

    QString LastFolder() const;
    void SetLastFolder(const QString& folder);
    // The type chosen last in the Load dialog.
    QString LastLoadFilter() const;
    void SetLastLoadFilter(const QString& filter);

    // Tape images and recordings opened or saved lately, the latest first.
    static constexpr int kMaxRecentFiles = 8;
    QStringList RecentFiles() const;
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);

    // Where blocks are kept when the program is ended before they were saved: beside the
    // settings. Empty when nothing is kept.
    QString RecoveryFolder() const;

private:
    QVariant Read(const QString& key) const;
    void Write(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> m_store;
};
