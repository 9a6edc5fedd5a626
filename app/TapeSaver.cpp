#include "app/TapeSaver.h"

#include <QFileInfo>
#include <QMessageBox>

#include "app/SavePlan.h"
#include "app/StoredSettings.h"
#include "app/TapeFileDialog.h"
#include "recording/AudioFileTypes.h"
#include "res/DialogTemplates.h"
#include "tape/TapeImageWriter.h"

namespace {

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.c_str());
}

}  // namespace

CTapeSaver::CTapeSaver(QWidget& owner, CStoredSettings& stored, Reports reports)
    : m_owner(owner), m_stored(stored), m_reports(std::move(reports)) {}

QString CTapeSaver::AskPath() {
    CTapeFileDialog dialog(&m_owner, QFileDialog::AcceptSave, m_stored.LastFolder());
    dialog.SetRefusal([](const QString& path) -> std::optional<QString> {
        const auto refusal = RefuseSavePath(path.toLocal8Bit().toStdString(), IsAudioFile);
        return refusal ? std::optional<QString>(FromLocal(*refusal)) : std::nullopt;
    });
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (!dialog.Refusal().isEmpty()) {
        m_reports.problem(dialog.Refusal());
    }
    if (!chosen) {
        m_reports.canceled();
        return {};
    }
    const QString path = dialog.selectedFiles().first();
    m_stored.SetLastFolder(QFileInfo(path).absolutePath());
    return path;
}

std::optional<int32_t> CTapeSaver::Write(const QString& path, const std::vector<TapeItem>& blocks) {
    const std::string file = path.toLocal8Bit().toStdString();
    const SavePlan plan = PlanSave(file, blocks, IsAudioFile);
    if (plan.refusal) {
        m_reports.problem(FromLocal(*plan.refusal));
        m_reports.canceled();
        return std::nullopt;
    }
    if (plan.warning && !Confirm(FromLocal(*plan.warning))) {
        m_reports.canceled();
        return std::nullopt;
    }
    if (const auto failure = SaveTapeImage(file, blocks)) {
        m_reports.problem(FromLocal(*failure));
        return std::nullopt;
    }
    if (const auto unkept = DescribeUnkept(file, blocks)) {
        m_reports.log(unkept->c_str());
    }
    return plan.blocksWritten;
}

bool CTapeSaver::Confirm(const QString& warning) {
    QMessageBox question(QMessageBox::Warning, QString::fromUtf8(kProgramName), warning,
                         QMessageBox::Save | QMessageBox::Cancel, &m_owner);
    question.setDefaultButton(QMessageBox::Cancel);
    question.setWindowModality(Qt::WindowModal);
    return question.exec() == QMessageBox::Save;
}
