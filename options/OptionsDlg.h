#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "decoder/core/DecoderSettings.h"
#include "decoder/dump/DumpSettings.h"
#include "options/OptionsForm.h"
#include "options/OptionsValidator.h"

// The Options dialog: shows the decoder's settings, checks what the user typed and, on OK, keeps
// them for its owner to apply (Settings(), Dump()). Cancel changes nothing. Run modally; recording
// and decoding go on meanwhile, so the owner applies the result to the decoder once it returns.
class QComboBox;
class QLabel;

class COptionsDlg : public QDialog {
    Q_OBJECT

public:
    // What the controls show first: the settings with the pulse limits in force, and the dump
    // with the number of its next file.
    COptionsDlg(const DecoderSettings& settings, const DumpSettings& dump, QWidget* parent);

    // The settings and dump as the last successful OK left them; as given until then.
    const DecoderSettings& Settings() const { return m_settings; }
    const DumpSettings& Dump() const { return m_dump; }

    // The form as the controls hold it now, and the other way round.
    OptionsForm ReadForm() const;
    void WriteForm(const OptionsForm& form);
    // The control that a rejection focuses.
    QWidget* ControlFor(OptionsControl control) const;
    QWidget* Item(int32_t id) const;

    // Fills the "Sound input" list with (name, description) pairs, the system's default first,
    // and selects `chosen` (the first when it is not among them).
    void OfferSoundInputs(const std::vector<std::pair<std::string, std::string>>& sources,
                          const std::string& chosen);
    // The source picked in the list; empty when the list is empty.
    std::string ChosenSoundInput() const;
    // Why the last check failed, in words; empty after a successful OK.
    QString RejectionText() const;

public slots:
    void accept() override;
    void OnReset();

signals:
    // A check failed: the beep sounded and the focus went to the control.
    void InputRejected(OptionsControl control);

private:
    void OnInitDialog();
    void DescribeControls();
    void Reject(OptionsControl control);
    bool SettleDumpFiles(const CheckedOptions& checked);

    DecoderSettings m_settings;
    DumpSettings m_dump;
    std::array<QLineEdit*, kNumericBoxCount> m_numberEdits{};
    QCheckBox* m_pMaxFirst = nullptr;
    QCheckBox* m_pRobust = nullptr;
    QCheckBox* m_pArchive = nullptr;
    QCheckBox* m_pMiddleVals = nullptr;
    QCheckBox* m_pExternVals = nullptr;
    QCheckBox* m_pDump = nullptr;
    QCheckBox* m_pFromFile = nullptr;
    QLineEdit* m_pBaseCount = nullptr;
    QComboBox* m_pSoundInput = nullptr;
    QLabel* m_pRejection = nullptr;
};
