// The "Robust" and "Archive" check boxes of the Options dialog on the offscreen platform: they
// switch the main window's decoder between the modes, and a recording that only the robust mode can
// read then fills the list.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/LoaderDlg.h"
#include "decoder/archive/ArchiveDecoder.h"
#include "decoder/core/PlainDecoder.h"
#include "decoder/robust/RobustDecoder.h"
#include "tape/BlockListCtrl.h"
#include "tests/app/ScriptedLoader.h"
#include "tests/capture/ScriptedSoundLayer.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

namespace {

// Opens the Options dialog, sets the mode's box ("Robust", "Archive") and confirms with OK.
void ChooseMode(CLoaderDlg& loader, const QString& mode, bool on) {
    WhenModal([mode, on](QWidget* dialog) {
        QCheckBox* box = nullptr;
        for (QCheckBox* candidate : dialog->findChildren<QCheckBox*>()) {
            if (candidate->text() == mode) {
                box = candidate;
            }
        }
        QVERIFY(box != nullptr);
        box->setChecked(on);
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == "OK") {
                button->click();
            }
        }
    });
    loader.OnOptions();
}

}  // namespace

class RobustModeTest : public QObject {
    Q_OBJECT

private:
    CScriptedLoader m_script;
    ScriptedSoundLayer& m_layer = m_script.layer;
    std::vector<WaveHeader*>& m_filled = m_script.filled;

    std::unique_ptr<CLoaderDlg> MakeLoader() { return m_script.MakeLoader(); }
    void Play(CLoaderDlg& loader, const std::vector<uint8_t>& samples) {
        m_script.Play(loader, samples);
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void theCheckBoxesSwitchTheDecoderAndKeepTheSettings() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        QVERIFY(dynamic_cast<CPlainDecoder*>(&loader->Decoder()) != nullptr);
        DecoderSettings tuned = loader->Decoder().Settings();
        tuned.data1Max = 27;
        loader->Decoder().Reconfigure(tuned);
        ChooseMode(*loader, "Robust", true);
        QVERIFY(dynamic_cast<CRobustDecoder*>(&loader->Decoder()) != nullptr);
        QCOMPARE(loader->Decoder().Settings().mode, DecoderMode::Robust);
        QCOMPARE(loader->Decoder().Settings().data1Max, 27);
        ChooseMode(*loader, "Robust", false);
        QVERIFY(dynamic_cast<CPlainDecoder*>(&loader->Decoder()) != nullptr);
        QCOMPARE(loader->Decoder().Settings().mode, DecoderMode::Plain);

        ChooseMode(*loader, "Archive", true);
        QVERIFY(dynamic_cast<CArchiveDecoder*>(&loader->Decoder()) != nullptr);
        QCOMPARE(loader->Decoder().Settings().data1Max, 27);
        ChooseMode(*loader, "Archive", false);
        QVERIFY(dynamic_cast<CPlainDecoder*>(&loader->Decoder()) != nullptr);
    }

    void aHissyInvertedTapeLoadsInTheRobustModeOnly() {
        CTestTape tape;
        tape.AddCodeFile("hello", 300, 7);
        TapeWear wear;
        wear.inverted = true;
        wear.lowPassHz = 4000.0;
        wear.noiseRms = 0.08;
        wear.seed = 5;
        const std::vector<uint8_t> samples =
            CTapeSynth::ToUnsigned8(CTapeSynth::Render(tape.Blocks(), 22000.0, wear));
        const std::vector<uint8_t> silence(2 * 22000, 128);

        auto plain = MakeLoader();
        QVERIFY(plain);
        Play(*plain, samples);
        Play(*plain, silence);
        QVERIFY(plain->BlockList().Model().GetBlocks().size() < 2);

        auto robust = MakeLoader();
        QVERIFY(robust);
        ChooseMode(*robust, "Robust", true);
        Play(*robust, samples);
        Play(*robust, silence);
        CBlockListCtrl& list = robust->BlockList();
        QCOMPARE(list.GetItemCount(), 2);  // two block rows, no error row
        const std::vector<TapeItem> blocks = list.Model().GetBlocksToSave();
        QCOMPARE(blocks.size(), size_t{2});
        QCOMPARE(std::get<RomBlock>(blocks[1].body).bytes, tape.Blocks()[1]);
    }
};

QTEST_MAIN(RobustModeTest)
#include "RobustModeTest.moc"
