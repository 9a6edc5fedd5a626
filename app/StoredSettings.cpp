#include "app/StoredSettings.h"

#include <QSettings>
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

struct SwitchField {
    const char* key;
    bool DecoderSettings::*field;
};

constexpr SwitchField kSwitches[] = {
    {"decoder/maxFirst", &DecoderSettings::maxFirst},
    {"decoder/robust", &DecoderSettings::robust},
    {"decoder/archive", &DecoderSettings::archive},
    {"decoder/middleVals", &DecoderSettings::middleVals},
    {"decoder/externVals", &DecoderSettings::externVals},
};

constexpr const char* kBaseNameKey = "decoder/baseName";
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

DecoderSettings CStoredSettings::Decoder() const {
    DecoderSettings settings;
    for (const NumberField& number : kNumbers) {
        bool isNumber = false;
        const int value = Read(number.key).toInt(&isNumber);
        if (isNumber && (value == kNotSet || (value >= number.min && value <= number.max))) {
            settings.*number.field = value;
        }
    }
    for (const SwitchField& choice : kSwitches) {
        const QVariant value = Read(choice.key);
        if (value.isValid()) {
            settings.*choice.field = value.toBool();
        }
    }
    const QString baseName = Read(kBaseNameKey).toString();
    if (!baseName.isEmpty() && baseName.size() <= kMaxBaseName) {
        settings.baseName = baseName.toLocal8Bit().toStdString();
    }
    return settings;
}

void CStoredSettings::SetDecoder(const DecoderSettings& settings) {
    for (const NumberField& number : kNumbers) {
        Write(number.key, settings.*number.field);
    }
    for (const SwitchField& choice : kSwitches) {
        Write(choice.key, settings.*choice.field);
    }
    Write(kBaseNameKey, QString::fromLocal8Bit(settings.baseName.c_str()));
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
