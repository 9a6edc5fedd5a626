#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

#include "decoder/DecoderSettings.h"

class QSettings;

// What the desktop program keeps between runs, in the platform's usual place for settings (on
// Linux ~/.config/tapewise/tapewise.conf): the decoder's limits, wave processing, calibration
// switches, modes and dump base name, the sound input, the windows' places and sizes, and the
// folder of the last file dialog. The debug modes (dump, replay) start off at every run: they act
// on files at once. A value missing or out of its range keeps the default.
class CStoredSettings {
public:
    // Kept in `store`; a null store keeps nothing (the widget tests).
    explicit CStoredSettings(std::unique_ptr<QSettings> store = nullptr);
    ~CStoredSettings();
    CStoredSettings(const CStoredSettings&) = delete;
    CStoredSettings& operator=(const CStoredSettings&) = delete;

    DecoderSettings Decoder() const;
    void SetDecoder(const DecoderSettings& settings);

    QString SoundInput() const;  // empty: the system's default
    void SetSoundInput(const QString& source);

    QByteArray Place(const QString& window) const;
    void SetPlace(const QString& window, const QByteArray& place);

    QString LastFolder() const;
    void SetLastFolder(const QString& folder);

private:
    QVariant Read(const QString& key) const;
    void Write(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> m_store;
};
