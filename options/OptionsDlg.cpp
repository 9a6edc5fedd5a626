#include "options/OptionsDlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/DialogBuilder.h"
#include "options/DumpSeries.h"
#include "res/DialogTemplates.h"

namespace {

// Control ids of the numeric boxes, in NumericBox order.
constexpr std::array<int32_t, kNumericBoxCount> kNumberIds = {1030, 1032, 1035, 1037, 1015, 1017,
                                                              1025, 1027, 1039, 1042, 1044};
constexpr int32_t kMaxFirstId = 1022;
constexpr int32_t kRobustId = 1052;
constexpr int32_t kMiddleValsId = 1020;
constexpr int32_t kExternValsId = 1038;
constexpr int32_t kFromFileId = 1048;
constexpr int32_t kDumpId = 1049;
constexpr int32_t kBaseCountId = 1050;
constexpr int32_t kResetId = 3;
constexpr int32_t kCancelId = 2;
constexpr int kMaxBaseText = 255;

int32_t IdOf(OptionsControl control) {
    switch (control) {
        case OptionsControl::LeaderMin:
            return 1015;
        case OptionsControl::LeaderMax:
            return 1017;
        case OptionsControl::SyncMin:
            return 1025;
        case OptionsControl::SyncMax:
            return 1027;
        case OptionsControl::Data0Min:
            return 1030;
        case OptionsControl::Data0Max:
            return 1032;
        case OptionsControl::Data1Min:
            return 1035;
        case OptionsControl::Data1Max:
            return 1037;
        case OptionsControl::Filter:
            return 1039;
        case OptionsControl::Delay:
            return 1042;
        case OptionsControl::Decay:
            return 1044;
        case OptionsControl::FromFile:
            return kFromFileId;
        case OptionsControl::BaseCount:
            break;
    }
    return kBaseCountId;
}

}  // namespace

COptionsDlg::COptionsDlg(DecoderSettings& settings, QWidget* parent)
    : QDialog(parent), m_pSettings(&settings) {
    CDialogBuilder(OptionsTemplate()).Build(this);
    OnInitDialog();
}

QWidget* COptionsDlg::Item(int32_t id) const {
    return DialogItem(this, id);
}

void COptionsDlg::OnInitDialog() {
    for (size_t i = 0; i < kNumberIds.size(); ++i) {
        m_numberEdits[i] = qobject_cast<QLineEdit*>(Item(kNumberIds[i]));
    }
    m_pMaxFirst = qobject_cast<QCheckBox*>(Item(kMaxFirstId));
    m_pRobust = qobject_cast<QCheckBox*>(Item(kRobustId));
    m_pMiddleVals = qobject_cast<QCheckBox*>(Item(kMiddleValsId));
    m_pExternVals = qobject_cast<QCheckBox*>(Item(kExternValsId));
    m_pFromFile = qobject_cast<QCheckBox*>(Item(kFromFileId));
    m_pDump = qobject_cast<QCheckBox*>(Item(kDumpId));
    m_pBaseCount = qobject_cast<QLineEdit*>(Item(kBaseCountId));
    m_pBaseCount->setMaxLength(kMaxBaseText);

    connect(qobject_cast<QPushButton*>(Item(kResetId)), &QPushButton::clicked, this,
            &COptionsDlg::OnReset);
    connect(qobject_cast<QPushButton*>(Item(kCancelId)), &QPushButton::clicked, this,
            &COptionsDlg::reject);
    connect(qobject_cast<QPushButton*>(Item(QDialog::Accepted)), &QPushButton::clicked, this,
            &COptionsDlg::accept);
    WriteForm(OptionsForm::FromSettings(*m_pSettings));
}

OptionsForm COptionsDlg::ReadForm() const {
    OptionsForm form;
    for (size_t i = 0; i < m_numberEdits.size(); ++i) {
        form.numbers[i] = m_numberEdits[i]->text().toStdString();
    }
    form.maxFirst = m_pMaxFirst->isChecked();
    form.robust = m_pRobust->isChecked();
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
    ControlFor(control)->setFocus();
    emit InputRejected(control);
}

// Before dumping into a series that already has files, the user decides; a replay needs its
// first file. False keeps the dialog open with the focus on "Base[.count]".
bool COptionsDlg::SettleDumpFiles(const CheckedOptions& checked) {
    const std::string& base = checked.settings.baseName;
    const int32_t count = checked.settings.fileIndex;
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
    const OptionsVerdict verdict = CheckOptionsForm(ReadForm(), *m_pSettings);
    if (verdict.rejectedAt) {
        Reject(*verdict.rejectedAt);
        return;
    }
    if (!SettleDumpFiles(verdict.accepted)) {
        return;
    }
    ApplyCheckedOptions(verdict.accepted, *m_pSettings);
    QDialog::accept();
}
