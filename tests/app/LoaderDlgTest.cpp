// The desktop program's windows on the offscreen platform: the templates as built, the block
// list's editing, status texts reaching the console log, the indicator's stripes, the Options
// checks, the unsaved-blocks question, and a whole tape loaded through the main window.
#include <sndfile.h>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/AboutDlg.h"
#include "app/DecodeSession.h"
#include "app/LoaderDlg.h"
#include "app/LoaderStatusBar.h"
#include "decoder/SampleDecoder.h"
#include "decoder/core/TapeDecoder.h"
#include "options/OptionsDlg.h"
#include "res/ControlIds.h"
#include "res/DialogTemplates.h"
#include "signal/SignalDlg.h"
#include "tape/BlockListCtrl.h"
#include "tests/app/BoxWatcher.h"
#include "tests/app/ScriptedLoader.h"
#include "tests/capture/ScriptedSoundLayer.h"
#include "tests/support/SignalFile.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"
#include "ui/DialogBuilder.h"

namespace {

std::vector<uint8_t> Block(uint8_t flag, size_t payload, uint8_t fill = 0) {
    std::vector<uint8_t> bytes(payload + 2, fill);
    bytes[0] = flag;
    return bytes;
}

void AddTo(CBlockListCtrl& list, const std::vector<uint8_t>& bytes) {
    list.AddBlock(static_cast<int32_t>(bytes.size()), bytes.data());
}

// Five blocks told apart by their first payload byte (0 to 4), shown under "Length".
void FillFive(CBlockListCtrl& list) {
    for (uint8_t i = 0; i < 5; ++i) {
        AddTo(list, Block(0xFF, i, i));
    }
}

// The order of the entries by the length each one shows.
QString Order(const CBlockListCtrl& list) {
    QStringList lengths;
    for (int32_t p = 0; p < list.GetItemCount(); ++p) {
        lengths << QString::fromStdString(list.GetItemText(p, 2));
    }
    return lengths.join(',');
}

QString Selection(const CBlockListCtrl& list) {
    QStringList selected;
    for (int32_t p = 0; p < list.GetItemCount(); ++p) {
        if (list.IsSelected(p)) {
            selected << QString::number(p);
        }
    }
    return selected.join(',');
}

void ClickButton(QWidget* box, QMessageBox::StandardButton which) {
    auto* messageBox = qobject_cast<QMessageBox*>(box);
    QVERIFY(messageBox != nullptr);
    messageBox->button(which)->click();
}

}  // namespace

class LoaderDlgTest : public QObject {
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

    // The geometry of every row is checked once, in the builder's test; here what the window adds.
    void mainWindowFollowsItsTemplate() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        QCOMPARE(loader->windowTitle(), QString("Tapewise"));
        QVERIFY(qobject_cast<CBlockListCtrl*>(loader->Item(main_ids::kList)) ==
                &loader->BlockList());
        QCOMPARE(qobject_cast<QPushButton*>(loader->Item(main_ids::kSaveAs))->text(),
                 QString("&Save as ..."));
        QVERIFY(!qobject_cast<QPushButton*>(loader->Item(main_ids::kUp))->icon().isNull());
        QVERIFY(qobject_cast<QPushButton*>(loader->Item(main_ids::kUp))->text().isEmpty());
        QVERIFY(!qobject_cast<QPushButton*>(loader->Item(main_ids::kDown))->icon().isNull());
        QVERIFY(!loader->windowIcon().isNull());
        QStringList titles;
        const QAbstractItemModel* columns = loader->BlockList().model();
        for (int i = 0; i < columns->columnCount(); ++i) {
            titles << columns->headerData(i, Qt::Horizontal).toString();
        }
        QCOMPARE(titles.join(','), QString("Type,Sync,Length,Name,Expected"));
        QCOMPARE(loader->BlockList().columnWidth(4), 67);
        QCOMPARE(loader->actions().size(), 1);
        QCOMPARE(loader->actions().first()->text(), QString("&About Tapewise..."));
        // The capture started with four buffers of one second.
        QCOMPARE(m_layer.queued.size(), size_t{4});
        QCOMPARE(m_layer.CallCount("Start"), 1);
    }

    void aboutAndOptionsFollowTheirTemplates() {
        CAboutDlg about(nullptr);
        QCOMPARE(about.windowTitle(), QString("About Tapewise"));
        QStringList texts;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY(texts.contains("Version 1.01"));
        QVERIFY(qobject_cast<QPushButton*>(DialogItem(&about, 1))->isDefault());

        DecoderSettings settings;
        COptionsDlg options(settings, DumpSettings{}, nullptr);
        QVERIFY(qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->isDefault());
    }

    void theAboutMenuItemOpensTheAboutBox() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        QString title;
        WhenModal([&title](QWidget* box) {
            title = box->windowTitle();
            qobject_cast<QDialog*>(box)->accept();
        });
        loader->actions().first()->trigger();
        QCOMPARE(title, QString("About Tapewise"));
    }

    void aboutClosesOnEscape() {
        CAboutDlg about(nullptr);
        about.show();
        QTest::keyClick(&about, Qt::Key_Escape);
        QCOMPARE(about.result(), int(QDialog::Rejected));
        QVERIFY(!about.isVisible());
    }

    // The editing rules are the model's (tested with it); the view must show them and hand the
    // user's selection back.
    void theListShowsItsModelAndTakesTheFocusWhenRowsMove() {
        QWidget window;
        auto* elsewhere = new QLineEdit(&window);
        auto* list = new CBlockListCtrl(&window);
        list->move(0, 30);
        list->InsertColumns();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        elsewhere->setFocus();
        QSignalSpy changed(list, &CBlockListCtrl::BlocksChanged);
        FillFive(*list);
        list->AddErrorEntry(DescribeReadError(1, 0xFF));  // length -1
        QCOMPARE(changed.size(), 5);
        const auto showsModel = [list] {
            const CBlockListModel& model = list->Model();
            QCOMPARE(list->GetItemCount(), model.GetItemCount());
            for (int32_t p = 0; p < model.GetItemCount(); ++p) {
                const BlockEntry texts = model.GetTexts(p);
                QCOMPARE(list->GetItemText(p, 0), texts.type);
                QCOMPARE(list->GetItemText(p, 2), texts.length);
                QCOMPARE(list->GetItemText(p, 4), texts.expected);
                QCOMPARE(list->IsSelected(p), model.GetEntry(p).selected);
            }
        };
        showsModel();
        QVERIFY(elsewhere->hasFocus());

        // A selection made in the view reaches the model; moved rows carry it along.
        list->selectionModel()->select(list->model()->index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(3, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(list->Model().GetEntry(3).selected);
        list->MoveSelectedUp();
        QCOMPARE(Order(*list), QString("0,2,3,1,4,-1"));
        QCOMPARE(Selection(*list), QString("1,2"));
        showsModel();
        QVERIFY(list->hasFocus());
        QCOMPARE(changed.size(), 6);

        // Nothing moves past the top: the focus stays where it was.
        elsewhere->setFocus();
        list->clearSelection();
        list->SetSelected(0, true);
        list->MoveSelectedUp();
        QCOMPARE(Order(*list), QString("0,2,3,1,4,-1"));
        QVERIFY(elsewhere->hasFocus());
        QCOMPARE(changed.size(), 6);

        // Moving the error row alone changes no block; deleting it with a block does.
        list->SetSelected(0, false);
        list->SetSelected(5, true);
        list->MoveSelectedUp();
        QCOMPARE(Order(*list), QString("0,2,3,1,-1,4"));
        QCOMPARE(changed.size(), 6);
        list->SetSelected(0, true);
        list->DeleteSelected();
        QCOMPARE(Order(*list), QString("2,3,1,4"));
        QCOMPARE(Selection(*list), QString());
        showsModel();
        QCOMPARE(changed.size(), 7);
    }

    void statusTextsReachTheConsoleLog() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        QCOMPARE(loader->StatusBar().Text(0), QString("Start your tape"));
        QVERIFY(QString(loader->SignalDlg().Log().Text()).startsWith("Start your tape"));
        WhenModal([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
        loader->OnSaveAs();
        QCOMPARE(loader->StatusBar().Text(0), QString("Save canceled"));
        WhenModal([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
        loader->OnLoad();
        QCOMPARE(loader->StatusBar().Text(0), QString("Load canceled"));
        QVERIFY(
            QString(loader->SignalDlg().Log().Text()).contains("Save canceled\r\nLoad canceled"));
    }

    void indicatorStripesInThePane() {
        CLoaderStatusBar bar([](const char*) {});
        bar.resize(400, CLoaderStatusBar::kHeight);
        const PaneRect pane = bar.PaneRectangle(1);
        QCOMPARE(pane.top, 2);
        QCOMPARE(pane.bottom, 20);
        bar.UpdateIndicator(SignalReading::Leader);
        const std::vector<Stripe>& stripes = bar.Stripes();
        QCOMPARE(stripes.size(), size_t{4});
        QCOMPARE(stripes[0].y, 3);
        QCOMPARE(stripes[0].height, 4);
        // What is painted is what the stripes say: cyan on top, red below on the first update.
        const QImage image = bar.grab().toImage();
        QCOMPARE(image.pixelColor(pane.left + 5, 4), QColor(0, 255, 255));
        QCOMPARE(image.pixelColor(pane.left + 5, 8), QColor(255, 0, 0));
        bar.UpdateIndicator(SignalReading::Unchanged);  // keeps the colours, swaps them
        QCOMPARE(bar.grab().toImage().pixelColor(pane.left + 5, 4), QColor(255, 0, 0));
        bar.setFixedHeight(5);  // an inner height of 1: stripes of height 0, so nothing drawn
        bar.UpdateIndicator(SignalReading::Data);
        QVERIFY(bar.Stripes().empty());
    }

    void optionsShowDefaultsAndCheckInOrder() {
        DecoderSettings settings;
        COptionsDlg options(settings, DumpSettings{}, nullptr);
        options.show();
        QCOMPARE(options.ReadForm().Number(NumericBox::Delay), std::string("6"));
        QCOMPARE(options.ReadForm().Number(NumericBox::Decay), std::string("2"));
        QCOMPARE(options.ReadForm().baseCount, std::string("sample1.000"));
        QSignalSpy rejected(&options, &COptionsDlg::InputRejected);
        auto* leaderMin = qobject_cast<QLineEdit*>(options.Item(options_ids::kLeaderMin));
        auto* filter = qobject_cast<QLineEdit*>(options.Item(options_ids::kFilter));
        leaderMin->setText("40");
        filter->setText("101");
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QCOMPARE(rejected.size(), 1);
        QVERIFY(options.focusWidget() == leaderMin);
        QVERIFY(options.isVisible());
        leaderMin->setText("20");
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QCOMPARE(rejected.size(), 2);
        QVERIFY(options.focusWidget() == filter);
        QCOMPARE(options.Settings().leaderMin, 18);  // nothing stored while rejected
        // Typing takes digits only.
        filter->clear();
        QTest::keyClicks(filter, "1x0");
        QCOMPARE(filter->text(), QString("10"));
        qobject_cast<QCheckBox*>(options.Item(options_ids::kMiddleVals))->setChecked(false);
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QCOMPARE(options.result(), int(QDialog::Accepted));
        QCOMPARE(options.Settings().leaderMin, 20);
        QCOMPARE(options.Settings().filterPercent, 10);
        QVERIFY(!options.Settings().middleVals);
    }

    void optionsCancelAfterResetChangesNothing() {
        DecoderSettings settings;
        settings.delay = 9;
        settings.leaderMax = 40;
        COptionsDlg options(settings, DumpSettings{}, nullptr);
        options.show();
        qobject_cast<QPushButton*>(options.Item(3))->click();
        QCOMPARE(qobject_cast<QLineEdit*>(options.Item(options_ids::kDelay))->text(), QString("6"));
        QCOMPARE(qobject_cast<QLineEdit*>(options.Item(options_ids::kLeaderMax))->text(),
                 QString("36"));
        qobject_cast<QPushButton*>(options.Item(2))->click();
        QCOMPARE(options.Settings().delay, 9);
        QCOMPARE(options.Settings().leaderMax, 40);
    }

    void optionsRefuseAMissingReplayFile() {
        DecoderSettings settings;
        COptionsDlg options(settings, DumpSettings{}, nullptr);
        options.show();
        qobject_cast<QCheckBox*>(options.Item(options_ids::kFromFile))->setChecked(true);
        qobject_cast<QLineEdit*>(options.Item(options_ids::kBaseCount))
            ->setText("/nonexistent/take.3");
        QString shown;
        WhenModal([&shown](QWidget* box) {
            shown = qobject_cast<QMessageBox*>(box)->text();
            ClickButton(box, QMessageBox::Ok);
        });
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QCOMPARE(shown, QString("File to load from not found"));
        QVERIFY(options.focusWidget() == options.Item(options_ids::kBaseCount));
        QVERIFY(!options.Dump().fromFile);
    }

    void endingAsksOnlyAboutUnsavedBlocks() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        loader->show();
        QSignalSpy asked(loader.get(), &CLoaderDlg::AskedAboutUnsavedBlocks);
        loader->Session().AddErrorEntry(3, 0xFF);  // an error row is no block to lose
        QTest::keyClick(loader.get(), Qt::Key_Escape);
        QCOMPARE(asked.size(), 0);
        QVERIFY(!loader->isVisible());

        loader = MakeLoader();
        loader->show();
        QSignalSpy askedAgain(loader.get(), &CLoaderDlg::AskedAboutUnsavedBlocks);
        const std::vector<uint8_t> bytes = Block(0xFF, 3);
        loader->Session().AddBlock(5, bytes.data());
        QString question;
        WhenModal([&question](QWidget* box) {
            question = qobject_cast<QMessageBox*>(box)->text();
            ClickButton(box, QMessageBox::Cancel);
        });
        loader->reject();
        QCOMPARE(askedAgain.size(), 1);
        QCOMPARE(askedAgain.at(0).at(0).toBool(), false);
        QCOMPARE(question, QString(CUnsavedBlocks::kQuestion));
        QVERIFY(loader->isVisible());

        // Enter on the list ends too, and Discard ends.
        WhenModal([](QWidget* box) { ClickButton(box, QMessageBox::Discard); });
        loader->BlockList().setFocus();
        QTest::keyClick(&loader->BlockList(), Qt::Key_Return);
        QCOMPARE(askedAgain.size(), 2);
        QVERIFY(!loader->isVisible());
    }

    // Blocks just opened from a tape image are in that file; once changed, Save in the question
    // writes them back there and ends.
    void blocksOpenedFromATapeAreNotAskedAboutAndSaveGoesBackThere() {
        QTemporaryDir dir;
        const QString tap = dir.filePath("three.tap");
        const std::vector<uint8_t> image = {3, 0,    0xFF, 1, 0xFE, 3, 0,   0xFF,
                                            2, 0xFD, 3,    0, 0xFF, 3, 0xFC};
        CTestTape::WriteFile(tap.toStdString(), image);
        auto loader = MakeLoader();
        QVERIFY(loader);
        loader->show();
        QSignalSpy asked(loader.get(), &CLoaderDlg::AskedAboutUnsavedBlocks);
        loader->LoadFiles({tap});
        QCOMPARE(loader->BlockList().GetItemCount(), 3);
        QCOMPARE(loader->CurrentFile(), tap);
        loader->reject();
        QCOMPARE(asked.size(), 0);
        QVERIFY(!loader->isVisible());

        loader = MakeLoader();
        loader->show();
        QSignalSpy askedAgain(loader.get(), &CLoaderDlg::AskedAboutUnsavedBlocks);
        loader->LoadFiles({tap});
        loader->BlockList().SetSelected(1, true);
        loader->BlockList().DeleteSelected();
        WhenModal([](QWidget* box) { ClickButton(box, QMessageBox::Save); });
        loader->reject();
        QCOMPARE(askedAgain.size(), 1);
        QVERIFY(askedAgain.at(0).at(0).toBool());
        QVERIFY(!loader->isVisible());
        QCOMPARE(CTestTape::ReadFile(tap.toStdString()),
                 (std::vector<uint8_t>{3, 0, 0xFF, 1, 0xFE, 3, 0, 0xFF, 3, 0xFC}));
    }

    // A recording loads from the event loop while the sound input goes on undecoded, so the two
    // never mix in one decoder; a save asked for meanwhile waits for the load's end, and then
    // live capture decodes again.
    void aRecordingLoadsBesideTheSoundInputAndASaveWaitsForIt() {
        QTemporaryDir dir;
        const QString tap = dir.filePath("one.tap");
        const std::vector<uint8_t> image = {3, 0, 0xFF, 1, 0xFE};
        CTestTape::WriteFile(tap.toStdString(), image);
        CTestTape recorded;
        recorded.AddCodeFile("filed", 40, 3);
        const QString wav = dir.filePath("take.wav");
        QVERIFY(CSignalFile::WriteAudio(wav.toStdString(),
                                        CTapeSynth::Render(recorded.Blocks(), 44100.0, TapeWear{}),
                                        44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        CTestTape live;
        live.AddCodeFile("live", 20, 4);
        std::vector<uint8_t> liveSamples =
            CTapeSynth::ToUnsigned8(CTapeSynth::Render(live.Blocks(), 22000.0, TapeWear{}));
        liveSamples.resize(liveSamples.size() + 22000, 128);
        auto loader = MakeLoader();
        QVERIFY(loader);
        loader->show();

        loader->LoadFiles({tap, wav});
        QVERIFY(loader->IsLoading());
        Play(*loader, liveSamples);
        QVERIFY(!loader->OnSave());  // to one.tap, opened last
        QCOMPARE(loader->StatusBar().Text(0), QString("Saving to one.tap when loading ends"));
        QTRY_VERIFY(!loader->IsLoading());
        QCOMPARE(loader->StatusBar().Text(0), QString("Saved 3 blocks to one.tap"));
        QVERIFY(
            QString(loader->SignalDlg().Log().Text()).contains("Loaded 2 blocks from take.wav"));
        std::vector<uint8_t> both = image;
        const std::vector<uint8_t> recordedImage = recorded.TapBytes();
        both.insert(both.end(), recordedImage.begin(), recordedImage.end());
        QCOMPARE(CTestTape::ReadFile(tap.toStdString()), both);

        Play(*loader, liveSamples);
        QCOMPARE(loader->BlockList().Model().GetBlocks().size(), size_t{5});
    }

    void noInputDeviceIsToldAndStopsTheStart() {
        m_layer = ScriptedSoundLayer{};
        m_layer.devices = 0;
        CLoaderDlg loader(m_layer, [] { return nullptr; });
        QString shown;
        WhenModal([&shown](QWidget* box) {
            shown = qobject_cast<QMessageBox*>(box)->text();
            QCOMPARE(box->windowTitle(), QString("Tapewise"));
            ClickButton(box, QMessageBox::Ok);
        });
        QVERIFY(!loader.OnInitDialog());
        QCOMPARE(shown, QString("No sound input device on machine"));
        QCOMPARE(m_layer.CallCount("Open"), 0);

        // With files to open, the window starts after the message, and opens them.
        CLoaderDlg opener(m_layer, [] { return nullptr; });
        CBoxWatcher boxes;
        QVERIFY(opener.OnInitDialog(true));
        QCOMPARE(boxes.texts, QStringList{"No sound input device on machine"});
        QCOMPARE(m_layer.CallCount("Open"), 0);
        QTemporaryDir dir;
        CTestTape::WriteFile(dir.filePath("one.tap").toStdString(), {3, 0, 0xFF, 1, 0xFE});
        opener.LoadFiles({dir.filePath("one.tap")});
        QCOMPARE(opener.BlockList().GetItemCount(), 1);
    }

    void aBufferOutOfSequenceEndsWithFailure() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        loader->show();
        std::swap(m_layer.queued[0], m_layer.queued[1]);  // buffer 2 comes back first
        m_filled.push_back(m_layer.FillFull());
        QString shown;
        WhenModal([&shown](QWidget* box) {
            shown = qobject_cast<QMessageBox*>(box)->text();
            ClickButton(box, QMessageBox::Ok);
        });
        loader->OnFilledBuffers();
        QVERIFY2(shown.startsWith("What buffer is that 0x"), qPrintable(shown));
        QVERIFY(shown.endsWith(": 2 but expecting 1"));
        QCOMPARE(loader->ExitStatus(), int(CLoaderDlg::kFailureStatus));
        QVERIFY(!loader->isVisible());
    }

    void aLostInputIsToldOnceKeepsTheBlocksAndComesBack() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        CTestTape tape;
        tape.AddCodeFile("kept", 50, 1);
        const std::vector<uint8_t> samples =
            CTapeSynth::ToUnsigned8(CTapeSynth::Render(tape.Blocks(), 22000.0, TapeWear{}));
        Play(*loader, samples);
        Play(*loader, std::vector<uint8_t>(22000, 128));
        QCOMPARE(loader->BlockList().Model().GetBlocks().size(), size_t{2});

        // The server goes away: giving back fails, and the layer hands back every queued buffer.
        CBoxWatcher boxes;
        m_layer.failures["AddBuffer"] = {0, 7};
        m_layer.devices = 0;
        while (!m_layer.queued.empty()) {
            m_filled.push_back(m_layer.Fill(0));
        }
        loader->OnFilledBuffers();
        m_layer.queued.clear();  // closing forgets what was queued
        QCOMPARE(boxes.texts, QStringList{"Error 7 for waveInAddBuffer : text of 7"});
        QCOMPARE(boxes.titles, QStringList{"Tapewise"});
        QCOMPARE(loader->ExitStatus(), 0);
        QCOMPARE(loader->BlockList().Model().GetBlocks().size(), size_t{2});
        QCOMPARE(loader->BlockList().Model().GetBlocksToSave().size(), size_t{2});

        // No source, then a source that fails to open: retried quietly.
        QTest::qWait(1300);
        QCOMPARE(m_layer.CallCount("Open"), 1);
        m_layer.devices = 1;
        m_layer.failures = {{"Open", {0, 9}}};
        QTRY_COMPARE_WITH_TIMEOUT(m_layer.CallCount("Open"), 2, 3000);
        m_layer.failures.clear();
        QTRY_COMPARE_WITH_TIMEOUT(m_layer.CallCount("Start"), 2, 3000);
        QCOMPARE(m_layer.queued.size(), size_t{4});
        QCOMPARE(boxes.texts.size(), 1);

        // Capture goes on where the list left off.
        CTestTape more;
        more.AddCodeFile("again", 20, 2);
        Play(*loader,
             CTapeSynth::ToUnsigned8(CTapeSynth::Render(more.Blocks(), 22000.0, TapeWear{})));
        Play(*loader, std::vector<uint8_t>(22000, 128));
        QCOMPARE(loader->BlockList().Model().GetBlocks().size(), size_t{4});
        QCOMPARE(boxes.texts.size(), 1);
        QTest::qWait(1200);
        QCOMPARE(m_layer.CallCount("Open"), 3);  // no retries once recording again
    }

    void saveAsUsesTheTapeFilterAndReportsFailures() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        const std::vector<uint8_t> bytes = Block(0xFF, 3, 9);
        loader->Session().AddBlock(5, bytes.data());
        QTemporaryDir dir;
        QStringList filters;
        QString suffix;
        WhenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY(dialog != nullptr);
            filters = dialog->nameFilters();
            suffix = dialog->defaultSuffix();
            dialog->selectFile(dir.filePath("game"));
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        });
        loader->OnSaveAs();
        QCOMPARE(filters.value(0), QString("BLK and Z80 TAP Files (*.blk;*.tap) (*.blk *.tap)"));
        QCOMPARE(suffix, QString("blk"));
        QCOMPARE(CTestTape::ReadFile(dir.filePath("game.blk").toStdString()),
                 (std::vector<uint8_t>{5, 0, 0xFF, 9, 9, 9, 9}));
        QVERIFY(!loader->Unsaved().MustAsk(1));

        loader->Session().AddBlock(5, bytes.data());
        QString shown;
        WhenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            dialog->selectFile(dir.filePath("missing/game.tap"));
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
            WhenModal([&shown](QWidget* box) {
                shown = qobject_cast<QMessageBox*>(box)->text();
                ClickButton(box, QMessageBox::Ok);
            });
        });
        loader->OnSaveAs();
        QVERIFY2(shown.contains("missing/game.tap"), qPrintable(shown));
        QVERIFY(loader->Unsaved().MustAsk(2));

        // A sound recording is refused before anything asks to replace it, and stays as it was.
        const QString wav = dir.filePath("take.wav");
        const std::vector<uint8_t> recording = {
            'R', 'I', 'F', 'F', 38,  0,   0,   0,   'W',  'A',  'V', 'E', 'f',  'm',  't', ' ',
            16,  0,   0,   0,   1,   0,   1,   0,   0x44, 0xAC, 0,   0,   0x44, 0xAC, 0,   0,
            1,   0,   8,   0,   'd', 'a', 't', 'a', 2,    0,    0,   0,   128,  128};
        CTestTape::WriteFile(wav.toStdString(), recording);
        CBoxWatcher boxes;
        WhenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            dialog->selectFile(wav);
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        });
        QVERIFY(!loader->OnSaveAs());
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts.first().startsWith("take.wav is a sound recording"),
                 qPrintable(boxes.texts.first()));
        QCOMPARE(CTestTape::ReadFile(wav.toStdString()), recording);

        // An empty list writes nothing over an existing image.
        loader->BlockList().selectAll();
        loader->BlockList().DeleteSelected();
        WhenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            dialog->selectFile(dir.filePath("game.blk"));
            dialog->setOption(QFileDialog::DontConfirmOverwrite);
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        });
        QVERIFY(!loader->OnSaveAs());
        QCOMPARE(boxes.texts.size(), 2);
        QCOMPARE(CTestTape::ReadFile(dir.filePath("game.blk").toStdString()),
                 (std::vector<uint8_t>{5, 0, 0xFF, 9, 9, 9, 9}));
    }

    void optionsAskBeforeDumpingOnExistingFiles() {
        QTemporaryDir dir;
        const std::string base = dir.filePath("take").toStdString();
        for (const char* name : {"take.000", "take.001"}) {
            CTestTape::WriteFile(dir.filePath(name).toStdString(), {1});
        }
        DecoderSettings settings;
        COptionsDlg options(settings, DumpSettings{}, nullptr);
        options.show();
        qobject_cast<QCheckBox*>(options.Item(options_ids::kDump))->setChecked(true);
        qobject_cast<QLineEdit*>(options.Item(options_ids::kBaseCount))
            ->setText(QString::fromStdString(base));
        QString question;
        WhenModal([&question](QWidget* box) {
            question = qobject_cast<QMessageBox*>(box)->text();
            ClickButton(box, QMessageBox::No);
        });
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QCOMPARE(question, QString("Do you want to dump on these existing files ?"));
        QVERIFY(!options.Dump().dump);
        QVERIFY(options.focusWidget() == options.Item(options_ids::kBaseCount));
        QVERIFY(QFile::exists(dir.filePath("take.000")));

        WhenModal([](QWidget* box) { ClickButton(box, QMessageBox::Yes); });
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QVERIFY(options.Dump().dump);
        QCOMPARE(options.Dump().baseName, base);
        QCOMPARE(options.Dump().fileIndex, 0);
        QVERIFY(!QFile::exists(dir.filePath("take.000")));
        QVERIFY(!QFile::exists(dir.filePath("take.001")));
    }

    void decodingGoesOnUnderAModalDialog() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        CTestTape tape;
        tape.AddCodeFile("modal", 100, 3);
        std::vector<uint8_t> samples =
            CTapeSynth::ToUnsigned8(CTapeSynth::Render(tape.Blocks(), 22000.0, TapeWear{}));
        samples.resize(samples.size() + 44000, 128);
        int rowsUnderTheBox = -1;
        WhenModal([&](QWidget* box) {
            // Buffers arrive as queued calls, the way the sound input posts them.
            for (size_t at = 0; at < samples.size();) {
                WaveHeader* header = m_layer.queued.front();
                const size_t count = std::min<size_t>(header->bufferLength, samples.size() - at);
                m_layer.Fill(static_cast<uint32_t>(count));
                std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(at), count, header->data);
                at += count;
                m_filled.push_back(header);
                QMetaObject::invokeMethod(
                    loader.get(), [&loader] { loader->OnFilledBuffers(); }, Qt::QueuedConnection);
                QTRY_VERIFY(m_filled.empty());
            }
            rowsUnderTheBox = loader->BlockList().GetItemCount();
            qobject_cast<QDialog*>(box)->accept();
        });
        loader->OnAbout();
        QCOMPARE(rowsUnderTheBox, 2);
    }

    void aTapePlayedIntoTheWindowFillsTheList() {
        auto loader = MakeLoader();
        QVERIFY(loader);
        CTestTape tape;
        tape.AddCodeFile("hello", 300, 7);
        const std::vector<uint8_t> samples =
            CTapeSynth::ToUnsigned8(CTapeSynth::Render(tape.Blocks(), 22000.0, TapeWear{}));
        DecoderSettings typed = loader->Decoder().Settings();
        typed.leaderMin = 20;  // holds until the first block ends
        loader->Decoder().Reconfigure(typed);
        Play(*loader, samples);
        Play(*loader, std::vector<uint8_t>(22000, 128));
        QString shownLeaderMin;
        WhenModal([&shownLeaderMin](QWidget* dialog) {
            auto* options = qobject_cast<COptionsDlg*>(dialog);
            shownLeaderMin =
                qobject_cast<QLineEdit*>(options->Item(options_ids::kLeaderMin))->text();
            options->reject();
        });
        loader->OnOptions();
        QCOMPARE(shownLeaderMin, QString("18"));               // the limit in force is shown
        QCOMPARE(loader->Decoder().Settings().leaderMin, 20);  // the user's stays
        CBlockListCtrl& list = loader->BlockList();
        QCOMPARE(list.GetItemCount(), 2);
        QCOMPARE(list.GetItemText(0, 0), std::string("code"));
        QCOMPARE(list.GetItemText(0, 3), std::string("hello     "));
        QCOMPARE(list.GetItemText(1, 2), std::string("300"));
        const std::vector<TapeItem> blocks = list.Model().GetBlocksToSave();
        QCOMPARE(std::get<RomBlock>(blocks[1].body).bytes, tape.Blocks()[1]);
        QVERIFY(QString(loader->SignalDlg().Log().Text())
                    .contains("Load sucessful for 302 bytes block"));
        QVERIFY(loader->Unsaved().MustAsk(2));
    }
};

QTEST_MAIN(LoaderDlgTest)
#include "LoaderDlgTest.moc"
