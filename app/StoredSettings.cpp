#include "app/StoredSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <utility>

namespace {

struct NumberField {
    const char* key;
    int32_t DecoderSettings::*field;
    int32_t min;
    int32_t max;
};

constexpr int32_t kLongestPeriod = 100000;

constexpr NumberField kNumbers[] = {
    {"decoder/leaderCount", &DecoderSettings::leaderCount, 1, kLongestPeriod},
    {"decoder/data0Min", &DecoderSettings::data0Min, 0, kLongestPeriod},
    {"decoder/data0Max", &DecoderSettings::data0Max, 0, kLongestPeriod},
    {"decoder/data1Min", &DecoderSettings::data1Min, 0, kLongestPeriod},
    {"decoder/data1Max", &DecoderSettings::data1Max, 0, kLongestPeriod},
    {"decoder/leaderMin", &DecoderSettings::leaderMin, 0, kLongestPeriod},
    {"decoder/leaderMax", &DecoderSettings::leaderMax, 0, kLongestPeriod},
    {"decoder/syncMin", &DecoderSettings::syncMin, 0, kLongestPeriod},
    {"decoder/syncMax", &DecoderSettings::syncMax, 0, kLongestPeriod},
    {"decoder/filterPercent", &DecoderSettings::filterPercent, 0, 100},
    {"decoder/delay", &DecoderSettings::delay, 0, kLongestPeriod},
    {"decoder/decayPercent", &DecoderSettings::decayPercent, 0, 100},
};

// The switches as they stand on disk. The mode is kept as two of them, "robust" and "archive",
// archive winning when both are true, so that files written before the mode was one choice keep
// their meaning.
struct StoredSwitches {
    bool maxFirst = false;
    bool robust = false;
    bool archive = false;
    bool middleVals = true;
    bool externVals = false;

    static StoredSwitches Of(const DecoderSettings& settings) {
        return {settings.maxFirst, settings.mode == DecoderMode::Robust,
                settings.mode == DecoderMode::Archive, settings.middleVals, settings.externVals};
    }
    void Into(DecoderSettings& settings) const {
        settings.maxFirst = maxFirst;
        settings.mode = archive  ? DecoderMode::Archive
                        : robust ? DecoderMode::Robust
                                 : DecoderMode::Plain;
        settings.middleVals = middleVals;
        settings.externVals = externVals;
    }
};

struct SwitchField {
    const char* key;
    bool StoredSwitches::*field;
};

constexpr SwitchField kSwitches[] = {
    {"decoder/maxFirst", &StoredSwitches::maxFirst},
    {"decoder/robust", &StoredSwitches::robust},
    {"decoder/archive", &StoredSwitches::archive},
    {"decoder/middleVals", &StoredSwitches::middleVals},
    {"decoder/externVals", &StoredSwitches::externVals},
};

// Pairs of limits whose minimum must lie below the maximum, as the Options dialog demands.
struct LimitPair {
    const char* name;
    int32_t DecoderSettings::*min;
    int32_t DecoderSettings::*max;
};

constexpr LimitPair kPairs[] = {
    {"Leader", &DecoderSettings::leaderMin, &DecoderSettings::leaderMax},
    {"Sync bit", &DecoderSettings::syncMin, &DecoderSettings::syncMax},
    {"0 bit", &DecoderSettings::data0Min, &DecoderSettings::data0Max},
    {"1 bit", &DecoderSettings::data1Min, &DecoderSettings::data1Max},
};

constexpr const char* kBaseNameKey = "decoder/baseName";
constexpr const char* kRecentKey = "files/recent";

void Note(QStringList* problems, const QString& text) {
    if (problems != nullptr) {
        *problems << QStringLiteral("Settings: ") + text;
    }
}
constexpr int kMaxBaseName = 255;

}  // namespace

CStoredSettings::CStoredSettings(std::unique_ptr<QSettings> store) : m_store(std::move(store)) {}

CStoredSettings::~CStoredSettings() {
    if (m_store) {
        m_store->sync();
    }
}

QVariant CStoredSettings::Read(const QString& key) const {
    return m_store ? m_store->value(key) : QVariant();
}

void CStoredSettings::Write(const QString& key, const QVariant& value) {
    if (m_store) {
        m_store->setValue(key, value);
    }
}

std::unique_ptr<QSettings> CStoredSettings::OpenUserStore(QString& problem) {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         "/tapewise/tapewise.conf";
    const QFileInfo file(path);
    if (file.exists() && !file.isFile()) {
        problem = path + " is not a regular file; settings are not kept this time.";
        return nullptr;
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "tapewise",
                                       "tapewise");
}

DecoderSettings CStoredSettings::Decoder(QStringList* problems) const {
    DecoderSettings settings;
    for (const NumberField& number : kNumbers) {
        const QVariant stored = Read(number.key);
        if (!stored.isValid()) {
            continue;
        }
        bool isNumber = false;
        const int value = stored.toInt(&isNumber);
        if (isNumber && (value == kNotSet || (value >= number.min && value <= number.max))) {
            settings.*number.field = value;
        } else {
            Note(problems, QString("%1=%2 is not a number from %3 to %4; %5 is used")
                               .arg(number.key, stored.toString())
                               .arg(number.min)
                               .arg(number.max)
                               .arg(settings.*number.field));
        }
    }
    const DecoderSettings defaults;
    for (const LimitPair& pair : kPairs) {
        if (settings.*pair.min >= settings.*pair.max) {
            Note(problems, QString("%1 Min %2 is not below Max %3; %4 and %5 are used")
                               .arg(pair.name)
                               .arg(settings.*pair.min)
                               .arg(settings.*pair.max)
                               .arg(defaults.*pair.min)
                               .arg(defaults.*pair.max));
            settings.*pair.min = defaults.*pair.min;
            settings.*pair.max = defaults.*pair.max;
        }
    }
    StoredSwitches switches = StoredSwitches::Of(settings);
    for (const SwitchField& choice : kSwitches) {
        const QVariant value = Read(choice.key);
        if (!value.isValid()) {
            continue;
        }
        const QString text = value.toString();
        if (text == "true" || text == "false") {
            switches.*choice.field = text == "true";
        } else {
            Note(problems, QString("%1=%2 is neither true nor false; %3 is used")
                               .arg(choice.key, text, switches.*choice.field ? "true" : "false"));
        }
    }
    switches.Into(settings);
    return settings;
}

void CStoredSettings::SetDecoder(const DecoderSettings& settings) {
    for (const NumberField& number : kNumbers) {
        Write(number.key, settings.*number.field);
    }
    const StoredSwitches switches = StoredSwitches::Of(settings);
    for (const SwitchField& choice : kSwitches) {
        Write(choice.key, switches.*choice.field);
    }
}

DumpSettings CStoredSettings::Dump() const {
    DumpSettings dump;
    const QString baseName = Read(kBaseNameKey).toString();
    if (!baseName.isEmpty() && baseName.size() <= kMaxBaseName) {
        dump.baseName = baseName.toLocal8Bit().toStdString();
    }
    return dump;
}

void CStoredSettings::SetDump(const DumpSettings& dump) {
    Write(kBaseNameKey, QString::fromLocal8Bit(dump.baseName.c_str()));
}

QString CStoredSettings::SoundInput() const {
    return Read("sound/input").toString();
}

void CStoredSettings::SetSoundInput(const QString& source) {
    Write("sound/input", source);
}

QByteArray CStoredSettings::Place(const QString& window) const {
    return Read("windows/" + window).toByteArray();
}

void CStoredSettings::SetPlace(const QString& window, const QByteArray& place) {
    Write("windows/" + window, place);
}

QString CStoredSettings::LastFolder() const {
    return Read("files/lastFolder").toString();
}

void CStoredSettings::SetLastFolder(const QString& folder) {
    Write("files/lastFolder", folder);
}

QString CStoredSettings::LastLoadFilter() const {
    return Read("files/loadFilter").toString();
}

void CStoredSettings::SetLastLoadFilter(const QString& filter) {
    Write("files/loadFilter", filter);
}

QStringList CStoredSettings::RecentFiles() const {
    QStringList paths = Read(kRecentKey).toStringList();
    paths.removeAll(QString());
    return paths.mid(0, kMaxRecentFiles);
}

void CStoredSettings::AddRecentFile(const QString& path) {
    QStringList paths = RecentFiles();
    paths.removeAll(path);
    paths.prepend(path);
    Write(kRecentKey, paths.mid(0, kMaxRecentFiles));
}

void CStoredSettings::RemoveRecentFile(const QString& path) {
    QStringList paths = RecentFiles();
    paths.removeAll(path);
    Write(kRecentKey, paths);
}

QString CStoredSettings::RecoveryFolder() const {
    return m_store ? QFileInfo(m_store->fileName()).absolutePath() + "/unsaved" : QString();
}
