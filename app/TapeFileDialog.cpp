#include "app/TapeFileDialog.h"

#include <QFileInfo>

#include "app/FileFilter.h"
#include "recording/AudioFileTypes.h"

namespace {

// Qt hides files without a dot under "*.*"; every file is meant.
QString DialogPattern(const std::string& pattern) {
    return pattern == "*.*" ? QStringLiteral("*") : QString::fromStdString(pattern);
}

QString NameFilter(const QString& display, const QStringList& patterns) {
    return display + " (" + patterns.join(' ') + ")";
}

}  // namespace

CTapeFileDialog::CTapeFileDialog(QWidget* owner, AcceptMode mode, const QString& folder)
    : QFileDialog(owner) {
    if (!folder.isEmpty()) {
        setDirectory(folder);
    }
    setWindowModality(Qt::WindowModal);
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(mode);
    setFileMode(mode == AcceptSave ? AnyFile : ExistingFiles);
    setNameFilters(NameFilters(mode));
    if (mode == AcceptSave) {
        setDefaultSuffix(QString::fromStdString(BareExtension(kTapeDefaultExtension)));
    }
}

// Each choice shows its own text and lists every one of its patterns (split and trimmed); Qt
// reads the patterns from the last parentheses, which the dialog hides.
QStringList CTapeFileDialog::NameFilters(AcceptMode mode) {
    QStringList filters;
    QStringList tapePatterns;
    QStringList audio;
    for (const std::string& pattern : AudioFilePatterns()) {
        audio << QString::fromStdString(pattern);
    }
    for (const FileTypeChoice& choice : SplitFileFilter(kTapeFileFilter)) {
        QStringList patterns;
        for (const std::string& pattern : choice.patterns) {
            patterns << DialogPattern(pattern);
        }
        if (mode == AcceptOpen && patterns == QStringList{QStringLiteral("*")}) {
            filters << NameFilter("All supported", tapePatterns + audio);
            filters << NameFilter("Audio Recordings", audio);
        } else {
            tapePatterns << patterns;
        }
        filters << NameFilter(QString::fromStdString(choice.display), patterns);
    }
    return filters;
}

// Qt's own accept asks before replacing a file: a refused path must end the dialog before that.
void CTapeFileDialog::accept() {
    const QStringList chosen = selectedFiles();
    if (acceptMode() == AcceptSave && m_refuse && !chosen.isEmpty() &&
        !QFileInfo(chosen.first()).isDir()) {
        if (const std::optional<QString> refusal = m_refuse(chosen.first())) {
            m_refusal = *refusal;
            reject();
            return;
        }
    }
    QFileDialog::accept();
}
