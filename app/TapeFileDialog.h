#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The file dialog of Save as and Load: Qt's own, so that it behaves alike on every desktop, with
// the tape filter, window-modal on the main window.
// - Save: one name; a name typed without extension gets ".blk". A name that must not be written
//   (`SetRefusal`) ends the dialog before Qt asks whether to replace it; Refusal() says why.
// - Load: several files at once; besides the tape filter it offers "All supported" (tape images
//   and recordings alike) and "Audio Recordings", before "All Files".
class CTapeFileDialog : public QFileDialog {
    Q_OBJECT

public:
    CTapeFileDialog(QWidget* owner, AcceptMode mode, const QString& folder);

    // Asked with the chosen path when the user accepts a save; a text refuses the path.
    void SetRefusal(std::function<std::optional<QString>(const QString&)> refuse) {
        m_refuse = std::move(refuse);
    }
    // Why the chosen path was refused; empty when it was not.
    QString Refusal() const { return m_refusal; }

    // The type list as shown, each with its patterns.
    static QStringList NameFilters(AcceptMode mode);

public slots:
    void accept() override;

private:
    std::function<std::optional<QString>(const QString&)> m_refuse;
    QString m_refusal;
};
