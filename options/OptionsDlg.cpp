#include "options/OptionsDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "options/DumpSeries.h"
#include "res/ControlIds.h"
#include "res/DialogTemplates.h"
#include "ui/DialogBuilder.h"

namespace {

using namespace options_ids;

// Control ids of the numeric boxes, in NumericBox order.
constexpr std::array<int32_t, kNumericBoxCount> kNumberIds = {
    kData0Min, kData0Max, kData1Min, kData1Max, kLeaderMin, kLeaderMax,
    kSyncMin,  kSyncMax,  kFilter,   kDelay,    kDecay};
constexpr int kMaxBaseText = 255;

int32_t IdOf(OptionsControl control) {
    switch (control) {
        case OptionsControl::LeaderMin:
            return kLeaderMin;
        case OptionsControl::LeaderMax:
            return kLeaderMax;
        case OptionsControl::SyncMin:
            return kSyncMin;
        case OptionsControl::SyncMax:
            return kSyncMax;
        case OptionsControl::Data0Min:
            return kData0Min;
        case OptionsControl::Data0Max:
            return kData0Max;
        case OptionsControl::Data1Min:
            return kData1Min;
        case OptionsControl::Data1Max:
            return kData1Max;
        case OptionsControl::Filter:
            return kFilter;
        case OptionsControl::Delay:
            return kDelay;
        case OptionsControl::Decay:
            return kDecay;
        case OptionsControl::FromFile:
            return kFromFile;
        case OptionsControl::BaseCount:
            break;
    }
    return kBaseCount;
}

// What the user reads beside the beep when a check fails.
QString RejectionReason(OptionsControl control, const OptionsForm& form) {
    switch (control) {
        case OptionsControl::LeaderMin:
        case OptionsControl::LeaderMax:
            return "Leader: Min must be a number below Max.";
        case OptionsControl::SyncMin:
        case OptionsControl::SyncMax:
            return "Sync bit: Min must be a number below Max.";
        case OptionsControl::Data0Min:
        case OptionsControl::Data0Max:
            return "Data: 0 Min must be a number below 0 Max.";
        case OptionsControl::Data1Min:
        case OptionsControl::Data1Max:
            return "Data: 1 Min must be a number below 1 Max.";
        case OptionsControl::Filter:
            return "% Filter must be a number from 0 to 100.";
        case OptionsControl::Delay:
            return "Delay must be a number.";
        case OptionsControl::Decay:
            return "% Decay must be a number from 0 to 100.";
        case OptionsControl::FromFile:
            return "From file and Dump cannot both be ticked.";
        case OptionsControl::BaseCount:
            break;
    }
    return form.baseCount.empty() ? "Base[.count] needs a file name for the debug mode."
                                  : "Base[.count]: a name, then optionally a dot and a count.";
}

// What each control is for, for its tool tip and for screen readers; a label names its field.
struct ControlHelp {
    int32_t id;
    int32_t labelId;  // 0: none
    const char* name;
    const char* tip;
};

constexpr ControlHelp kHelp[] = {
    {kLeaderMin, kLeaderMinLabel, "Leader Min",
     "Shortest period of the leader tone, in samples (22 samples = 1 ms). Usual: 18."},
    {kLeaderMax, kLeaderMaxLabel, "Leader Max",
     "Longest period of the leader tone, in samples (22 samples = 1 ms). Usual: 36."},
    {kSyncMin, kSyncMinLabel, "Sync bit Min",
     "Shortest period of the sync pulse after the leader, in samples. Usual: 5."},
    {kSyncMax, kSyncMaxLabel, "Sync bit Max",
     "Longest period of the sync pulse after the leader, in samples. Usual: 14."},
    {kData0Min, kData0MinLabel, "Data 0 Min", "Shortest period of a 0 bit, in samples. Usual: 5."},
    {kData0Max, kData0MaxLabel, "Data 0 Max", "Longest period of a 0 bit, in samples. Usual: 14."},
    {kData1Min, kData1MinLabel, "Data 1 Min", "Shortest period of a 1 bit, in samples. Usual: 16."},
    {kData1Max, kData1MaxLabel, "Data 1 Max", "Longest period of a 1 bit, in samples. Usual: 28."},
    {kFilter, kFilterLabel, "Filter percent",
     "Noise filter of the peak and trough tracker, in percent (0 to 100): higher ignores more "
     "ripple. Usual: 55."},
    {kDelay, kDelayLabel, "Delay",
     "Samples after a peak or trough during which the filter threshold stays whole."},
    {kDecay, kDecayLabel, "Decay percent",
     "Percentage points by which the filter threshold falls per sample after the delay (0 to "
     "100)."},
    {kMaxFirst, 0, "Max first",
     "Take periods peak to peak instead of trough to trough (try it for an inverted "
     "recording)."},
    {kMiddleVals, 0, "Middle vals",
     "The automatic calibration may move the boundary between 0 bits and 1 bits."},
    {kExternVals, 0, "Extern vals",
     "The automatic calibration may move the shortest 0 bit and the longest 1 bit."},
    {kRobust, 0, "Robust",
     "For noisy, worn, quiet or inverted tapes: the samples are conditioned and three decoders "
     "run side by side."},
    {kArchive, 0, "Archive",
     "For turbo and custom loaders: keeps turbo timing, tones, pulses, recordings and pauses. "
     "Save as TZX to keep them."},
    {kFromFile, 0, "From file",
     "Decode the numbered raw files Base.000, Base.001, ... instead of the sound input."},
    {kDump, 0, "Dump",
     "Write every sound buffer to the numbered raw files Base.000, Base.001, ..."},
    {kBaseCount, kBaseCountLabel, "Base and count",
     "Base name of the raw files, then optionally a dot and the number to start at: take.7 "
     "starts at take.007."},
    {kSoundInput, kSoundInputLabel, "Sound input", "The sound input that Tapewise records from."},
    {common_ids::kReset, 0, "Reset", "Puts the usual values into the boxes; OK applies them."},
    {common_ids::kOk, 0, "OK", "Applies the values and closes."},
    {common_ids::kCancel, 0, "Cancel", "Closes without changing anything."},
    {kRejection, 0, "Why a value was refused", ""},
};

}  // namespace

void COptionsDlg::DescribeControls() {
    for (const ControlHelp& help : kHelp) {
        QWidget* control = Item(help.id);
        if (control == nullptr) {
            continue;
        }
        control->setAccessibleName(help.name);
        control->setToolTip(help.tip);
        if (auto* label = help.labelId == 0 ? nullptr : qobject_cast<QLabel*>(Item(help.labelId))) {
            label->setBuddy(control);
            label->setToolTip(help.tip);
        }
    }
}

COptionsDlg::COptionsDlg(const DecoderSettings& settings, const DumpSettings& dump, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_dump(dump) {
    CDialogBuilder(OptionsTemplate()).Build(this);
    OnInitDialog();
}

void COptionsDlg::OfferSoundInputs(const std::vector<std::pair<std::string, std::string>>& sources,
                                   const std::string& chosen) {
    m_pSoundInput->clear();
    for (const auto& [name, description] : sources) {
        const QString shown = QString::fromStdString(description.empty() ? name : description);
        m_pSoundInput->addItem(shown, QString::fromStdString(name));
    }
    const int at = m_pSoundInput->findData(QString::fromStdString(chosen));
    m_pSoundInput->setCurrentIndex(at >= 0 ? at : 0);
}

std::string COptionsDlg::ChosenSoundInput() const {
    return m_pSoundInput->currentData().toString().toStdString();
}

QString COptionsDlg::RejectionText() const {
    return m_pRejection->text();
}

QWidget* COptionsDlg::Item(int32_t id) const {
    return DialogItem(this, id);
}

void COptionsDlg::OnInitDialog() {
    for (size_t i = 0; i < kNumberIds.size(); ++i) {
        m_numberEdits[i] = qobject_cast<QLineEdit*>(Item(kNumberIds[i]));
    }
    m_pMaxFirst = qobject_cast<QCheckBox*>(Item(kMaxFirst));
    m_pRobust = qobject_cast<QCheckBox*>(Item(kRobust));
    m_pMiddleVals = qobject_cast<QCheckBox*>(Item(kMiddleVals));
    m_pExternVals = qobject_cast<QCheckBox*>(Item(kExternVals));
    m_pFromFile = qobject_cast<QCheckBox*>(Item(kFromFile));
    m_pDump = qobject_cast<QCheckBox*>(Item(kDump));
    m_pBaseCount = qobject_cast<QLineEdit*>(Item(kBaseCount));
    m_pBaseCount->setMaxLength(kMaxBaseText);
    m_pArchive = qobject_cast<QCheckBox*>(Item(kArchive));
    m_pSoundInput = qobject_cast<QComboBox*>(Item(kSoundInput));
    DescribeControls();
    m_pRejection = qobject_cast<QLabel*>(Item(kRejection));
    m_pRejection->setWordWrap(true);
    QPalette colours = m_pRejection->palette();
    colours.setColor(QPalette::WindowText, Qt::darkRed);
    m_pRejection->setPalette(colours);

    connect(qobject_cast<QPushButton*>(Item(common_ids::kReset)), &QPushButton::clicked, this,
            &COptionsDlg::OnReset);
    connect(qobject_cast<QPushButton*>(Item(common_ids::kCancel)), &QPushButton::clicked, this,
            &COptionsDlg::reject);
    connect(qobject_cast<QPushButton*>(Item(QDialog::Accepted)), &QPushButton::clicked, this,
            &COptionsDlg::accept);
    // One mode at a time: ticking one mode's box clears the other's.
    connect(m_pRobust, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_pArchive->setChecked(false);
        }
    });
    connect(m_pArchive, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_pRobust->setChecked(false);
        }
    });
    WriteForm(OptionsForm::FromSettings(m_settings, m_dump));
}

OptionsForm COptionsDlg::ReadForm() const {
    OptionsForm form;
    for (size_t i = 0; i < m_numberEdits.size(); ++i) {
        form.numbers[i] = m_numberEdits[i]->text().toStdString();
    }
    form.maxFirst = m_pMaxFirst->isChecked();
    form.robust = m_pRobust->isChecked();
    form.archive = m_pArchive->isChecked();
    form.middleVals = m_pMiddleVals->isChecked();
    form.externVals = m_pExternVals->isChecked();
    form.dump = m_pDump->isChecked();
    form.fromFile = m_pFromFile->isChecked();
    form.baseCount = m_pBaseCount->text().toLocal8Bit().toStdString();
    return form;
}

void COptionsDlg::WriteForm(const OptionsForm& form) {
    for (size_t i = 0; i < m_numberEdits.size(); ++i) {
        m_numberEdits[i]->setText(QString::fromStdString(form.numbers[i]));
    }
    m_pMaxFirst->setChecked(form.maxFirst);
    m_pRobust->setChecked(form.robust);
    m_pArchive->setChecked(form.archive);
    m_pMiddleVals->setChecked(form.middleVals);
    m_pExternVals->setChecked(form.externVals);
    m_pBaseCount->setText(QString::fromLocal8Bit(form.baseCount.c_str()));
    m_pFromFile->setChecked(form.fromFile);
    m_pDump->setChecked(form.dump);
}

QWidget* COptionsDlg::ControlFor(OptionsControl control) const {
    return Item(IdOf(control));
}

void COptionsDlg::OnReset() {
    OptionsForm form = ReadForm();
    form.ProposeReset();
    WriteForm(form);
}

void COptionsDlg::Reject(OptionsControl control) {
    QApplication::beep();
    m_pRejection->setText(RejectionReason(control, ReadForm()));
    ControlFor(control)->setFocus();
    emit InputRejected(control);
}

// Before dumping into a series that already has files, the user decides; a replay needs its
// first file. False keeps the dialog open with the focus on "Base[.count]".
bool COptionsDlg::SettleDumpFiles(const CheckedOptions& checked) {
    const std::string& base = checked.dump.baseName;
    const int32_t count = checked.dump.fileIndex;
    const QString title = QString::fromUtf8(kProgramName);
    if (checked.dumpSwitchingOn && DumpFileExists(base, count)) {
        const auto answer =
            QMessageBox::question(this, title, "Do you want to dump on these existing files ?",
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            m_pBaseCount->setFocus();
            return false;
        }
        RemoveDumpSeries(base, count);
    }
    if (checked.replaySwitchingOn && !DumpFileExists(base, count)) {
        QMessageBox box(QMessageBox::NoIcon, title, "File to load from not found", QMessageBox::Ok,
                        this);
        box.exec();
        m_pBaseCount->setFocus();
        return false;
    }
    return true;
}

void COptionsDlg::accept() {
    const OptionsVerdict verdict = CheckOptionsForm(ReadForm(), m_settings, m_dump);
    if (verdict.rejectedAt) {
        Reject(*verdict.rejectedAt);
        return;
    }
    if (!SettleDumpFiles(verdict.accepted)) {
        return;
    }
    m_pRejection->clear();
    m_settings = verdict.accepted.settings;
    m_dump = verdict.accepted.dump;
    QDialog::accept();
}
