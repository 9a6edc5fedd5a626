// What the desktop program does for the user beyond the templates, on the offscreen platform:
// settings and window places kept between runs (and a bad settings file told), a refused Options
// value said in words, the Delete key and its undo, notes of a tape image told without a box, files
// that cannot be read or written as they stand, and unsaved blocks kept when a signal ends the
// program.
#include <signal.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/DecodeSession.h"
#include "app/LoaderDlg.h"
#include "app/LoaderStatusBar.h"
#include "app/MainMenu.h"
#include "app/RecoveryFiles.h"
#include "app/StoredSettings.h"
#include "app/TerminationWatch.h"
#include "decoder/archive/ArchiveDecoder.h"
#include "options/OptionsDlg.h"
#include "res/ControlIds.h"
#include "signal/SignalDlg.h"
#include "tape/BlockListCtrl.h"
#include "tests/app/BoxWatcher.h"
#include "tests/app/ScriptedLoader.h"
#include "tests/support/TestTape.h"

namespace {

using namespace options_ids;

template <typename Control>
Control* ItemOf(QWidget* dialog, int32_t id) {
    auto* options = qobject_cast<COptionsDlg*>(dialog);
    return options == nullptr ? nullptr : qobject_cast<Control*>(options->Item(id));
}

void AddBlockTo(CLoaderDlg& loader, uint8_t first) {
    const std::vector<uint8_t> bytes = {0xFF, first, static_cast<uint8_t>(0xFF ^ first)};
    loader.Session().AddBlock(static_cast<int32_t>(bytes.size()), bytes.data());
}

// The first data byte of every block in row order, with the rows selected marked by a star.
QString Rows(const CBlockListCtrl& list) {
    QStringList rows;
    const CBlockListModel& model = list.Model();
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        const auto block = model.GetBlockCopy(model.GetEntry(p).itemValue);
        rows << QString::number(std::get<RomBlock>(block->body).bytes[1]) +
                    (list.IsSelected(p) ? "*" : "");
    }
    return rows.join(',');
}

}  // namespace

class WindowHabitsTest : public QObject {
    Q_OBJECT

private:
    CScriptedLoader m_script;

    // A started window that keeps its settings in `file`.
    std::unique_ptr<CLoaderDlg> StartKeepingIn(const QString& file) {
        auto loader = std::make_unique<CLoaderDlg>(m_script.layer, [] { return nullptr; });
        loader->KeepSettingsIn(std::make_unique<QSettings>(file, QSettings::IniFormat));
        return loader->OnInitDialog() ? std::move(loader) : nullptr;
    }

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // Anything kept by mistake in the usual place goes to a test folder, not the user's.
        QStandardPaths::setTestModeEnabled(true);
    }

    void settingsAndPlacesLastAndResetProposesTheDefaults() {
        QTemporaryDir dir;
        const QString file = dir.filePath("tapewise.conf");
        m_script.layer = ScriptedSoundLayer{};
        m_script.layer.sources = {{"desk", "Desk microphone"}, {"line", "Line in"}};
        auto first = StartKeepingIn(file);
        QVERIFY(first);
        first->show();
        first->resize(first->width() + 120, first->height() + 80);
        const QSize grown = first->size();
        WhenModal([](QWidget* dialog) {
            ItemOf<QLineEdit>(dialog, kLeaderMin)->setText("20");
            ItemOf<QCheckBox>(dialog, kArchive)->setChecked(true);
            ItemOf<QComboBox>(dialog, kSoundInput)->setCurrentIndex(1);
            ItemOf<QPushButton>(dialog, common_ids::kOk)->click();
        });
        first->OnOptions();
        QCOMPARE(m_script.layer.chosen, std::string("line"));
        QCOMPARE(m_script.layer.CallCount("Open"), 2);  // capture restarted on the new input
        first->reject();
        first.reset();

        m_script.layer = ScriptedSoundLayer{};
        auto second = StartKeepingIn(file);
        QVERIFY(second);
        QCOMPARE(second->Decoder().Settings().leaderMin, 20);
        QCOMPARE(second->Decoder().Settings().mode, DecoderMode::Archive);
        QVERIFY(dynamic_cast<CArchiveDecoder*>(&second->Decoder()) != nullptr);
        QCOMPARE(m_script.layer.chosen, std::string("line"));
        second->show();
        QCOMPARE(second->size(), grown);

        QString leaderMin;
        bool archiveOffered = true;
        WhenModal([&](QWidget* dialog) {
            ItemOf<QPushButton>(dialog, common_ids::kReset)->click();
            leaderMin = ItemOf<QLineEdit>(dialog, kLeaderMin)->text();
            archiveOffered = ItemOf<QCheckBox>(dialog, kArchive)->isChecked();
            ItemOf<QPushButton>(dialog, common_ids::kCancel)->click();
        });
        second->OnOptions();
        QCOMPARE(leaderMin, QString("18"));
        QVERIFY(!archiveOffered);
        QCOMPARE(second->Decoder().Settings().leaderMin, 20);  // proposed, not stored
    }

    void aRefusedValueSaysWhyUntilItIsMended() {
        DecoderSettings settings;
        COptionsDlg options(settings, DumpSettings{}, nullptr);
        options.show();
        auto* reason = qobject_cast<QLabel*>(options.Item(kRejection));
        qobject_cast<QLineEdit*>(options.Item(kDecay))->setText("101");
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QCOMPARE(reason->text(), QString("% Decay must be a number from 0 to 100."));
        QVERIFY(reason->isVisible());
        QVERIFY(reason->geometry().intersects(options.rect()));
        qobject_cast<QLineEdit*>(options.Item(kDecay))->setText("100");
        qobject_cast<QPushButton*>(options.Item(common_ids::kOk))->click();
        QVERIFY(reason->text().isEmpty());
        QCOMPARE(options.Settings().decayPercent, 100);
    }

    // Rows come back where they were, unselected, with their bytes; rows added after an edit
    // stay where they are.
    void deletesAndMovesAreUndoneAndRedoneFromTheKeyboard() {
        auto loader = m_script.MakeLoader();
        QVERIFY(loader);
        loader->show();
        loader->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(loader.get()));
        for (uint8_t first = 1; first <= 4; ++first) {
            AddBlockTo(*loader, first);
        }
        CBlockListCtrl& list = loader->BlockList();
        list.setFocus();
        list.SetSelected(1, true);
        list.SetSelected(3, true);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(Rows(list), QString("1,3"));
        AddBlockTo(*loader, 5);
        QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Rows(list), QString("1,2,3,4,5"));
        QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(Rows(list), QString("1,3,5"));
        QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);

        list.SetSelected(0, true);
        list.SetSelected(1, true);
        QTest::keyClick(&list, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(Rows(list), QString("3,1*,2*,4,5"));
        list.SetSelected(2, false);
        QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Rows(list), QString("1*,2,3,4,5"));
        QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);  // nothing left to undo
        QCOMPARE(Rows(list), QString("1*,2,3,4,5"));
        QVERIFY(loader->Unsaved().MustAsk(5));
    }

    void loadTakesSeveralFilesAndKeepsTheTypeChosen() {
        QTemporaryDir dir;
        m_script.layer = ScriptedSoundLayer{};
        auto loader = StartKeepingIn(dir.filePath("tapewise.conf"));
        QVERIFY(loader);
        loader->show();
        CTestTape::WriteFile(dir.filePath("a.tap").toStdString(), {3, 0, 0xFF, 1, 0xFE});
        CTestTape::WriteFile(dir.filePath("b.tap").toStdString(), {3, 0, 0xFF, 2, 0xFD});
        QString allSupported;
        WhenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            allSupported = dialog->nameFilters().filter("All supported").value(0);
            dialog->selectNameFilter(allSupported);
            dialog->setDirectory(dir.path());
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"a.tap\" \"b.tap\"");
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        });
        loader->OnLoad();
        QVERIFY2(allSupported.contains("*.tzx") && allSupported.contains("*.wav"),
                 qPrintable(allSupported));
        QCOMPARE(Rows(loader->BlockList()), QString("1,2"));
        QString chosenAtOpen;
        WhenModal([&](QWidget* widget) {
            chosenAtOpen = qobject_cast<QFileDialog*>(widget)->selectedNameFilter();
            qobject_cast<QDialog*>(widget)->reject();
        });
        loader->OnLoad();
        QCOMPARE(chosenAtOpen, QString("All supported"));  // shown without its patterns
    }

    // The mode is kept as the two switches "robust" and "archive" of older files, archive winning.
    void theModeIsKeptAsTwoSwitchesAsInOlderFiles() {
        QTemporaryDir dir;
        const QString file = dir.filePath("tapewise.conf");
        const struct {
            const char* robust;
            const char* archive;
            DecoderMode mode;
        } kCases[] = {{"false", "false", DecoderMode::Plain},
                      {"true", "false", DecoderMode::Robust},
                      {"false", "true", DecoderMode::Archive},
                      {"true", "true", DecoderMode::Archive}};
        for (const auto& kept : kCases) {
            {
                QSettings store(file, QSettings::IniFormat);
                store.setValue("decoder/robust", kept.robust);
                store.setValue("decoder/archive", kept.archive);
            }
            const CStoredSettings stored(std::make_unique<QSettings>(file, QSettings::IniFormat));
            QVERIFY2(stored.Decoder().mode == kept.mode, kept.robust);
        }
        {
            CStoredSettings stored(std::make_unique<QSettings>(file, QSettings::IniFormat));
            DecoderSettings robust;
            robust.mode = DecoderMode::Robust;
            stored.SetDecoder(robust);
        }
        const QSettings written(file, QSettings::IniFormat);
        QCOMPARE(written.value("decoder/robust").toString(), QString("true"));
        QCOMPARE(written.value("decoder/archive").toString(), QString("false"));
    }

    void aBadSettingsFileIsToldAndItsDefaultsKept() {
        QTemporaryDir dir;
        const QString file = dir.filePath("tapewise.conf");
        {
            QSettings store(file, QSettings::IniFormat);
            store.setValue("decoder/robust", "maybe");
            store.setValue("decoder/leaderMin", 40);
            store.setValue("decoder/leaderMax", 30);
            store.setValue("decoder/syncMax", "lots");
        }
        m_script.layer = ScriptedSoundLayer{};
        auto loader = StartKeepingIn(file);
        QVERIFY(loader);
        const DecoderSettings& settings = loader->Decoder().Settings();
        QCOMPARE(settings.mode, DecoderMode::Plain);
        QCOMPARE(settings.leaderMin, 18);
        QCOMPARE(settings.leaderMax, 36);
        QCOMPARE(settings.syncMax, 14);
        const QString log = loader->SignalDlg().Log().Text();
        for (const char* told : {"decoder/robust=maybe", "Leader Min 40 is not below Max 30",
                                 "decoder/syncMax=lots"}) {
            QVERIFY2(log.contains(told), told);
        }

        // A FIFO in the settings' place would block the first read for ever.
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tapewise";
        QDir().mkpath(folder);
        const QString place = folder + "/tapewise.conf";
        QFile::remove(place);
        QCOMPARE(mkfifo(place.toLocal8Bit().constData(), 0600), 0);
        QString problem;
        QVERIFY(CStoredSettings::OpenUserStore(problem) == nullptr);
        QFile::remove(place);
        QVERIFY(problem.contains("not a regular file"));
    }

    void unsavedBlocksAreKeptOnSigtermAndOfferedAtTheNextStart() {
        QTemporaryDir dir;
        const QString file = dir.filePath("tapewise.conf");
        m_script.layer = ScriptedSoundLayer{};
        auto loader = StartKeepingIn(file);
        QVERIFY(loader);
        loader->show();
        AddBlockTo(*loader, 7);
        AddBlockTo(*loader, 8);
        {
            CTerminationWatch watch;
            connect(&watch, &CTerminationWatch::Terminating, loader.get(),
                    &CLoaderDlg::EndByTermination);
            raise(SIGTERM);
            QTRY_VERIFY(!loader->isVisible());
        }
        QCOMPARE(loader->ExitStatus(), 128 + SIGTERM);
        loader.reset();
        CRecoveryFiles kept(dir.filePath("unsaved").toStdString());
        QCOMPARE(kept.Waiting().size(), size_t{1});

        // Opening files, the start only points to the menu item, which asks.
        m_script.layer = ScriptedSoundLayer{};
        auto next = StartKeepingIn(file);
        QVERIFY(next);
        next->show();
        {
            CBoxWatcher boxes;
            next->TellOfKeptBlocks(true);
            QTest::qWait(20);
            QCOMPARE(boxes.texts, QStringList());
        }
        QVERIFY(next->StatusBar().Text(0).contains("File > Recover Kept Blocks"));
        QVERIFY(next->Menu().recoverKept->isEnabled());
        next = StartKeepingIn(file);
        next->show();
        WhenModal([](QWidget* box) {
            for (QPushButton* button : box->findChildren<QPushButton*>()) {
                if (button->text() == "&Load") {
                    button->click();
                }
            }
        });
        next->TellOfKeptBlocks(false);
        QCOMPARE(Rows(next->BlockList()), QString("7,8"));
        QVERIFY(kept.Waiting().empty());
        QVERIFY(next->Unsaved().MustAsk(2));
        QVERIFY(!next->Menu().recoverKept->isEnabled());
        next->TellOfKeptBlocks(false);  // nothing left: no question
    }

    void notesOfATapeImageGoToTheStatusBarWithoutABox() {
        auto loader = m_script.MakeLoader();
        QVERIFY(loader);
        loader->show();
        QTemporaryDir dir;
        const QString path = dir.filePath("notes.tap");
        // An empty record, then one block.
        CTestTape::WriteFile(path.toStdString(), {0, 0, 3, 0, 0xFF, 7, 0xF8});
        CBoxWatcher boxes;
        loader->LoadFiles({path});
        QTest::qWait(50);
        QCOMPARE(boxes.texts, QStringList());
        QCOMPARE(loader->BlockList().GetItemCount(), 1);
        QCOMPARE(loader->StatusBar().Text(0), QString("Loaded 1 block from notes.tap"));
        QVERIFY(QString(loader->SignalDlg().Log().Text())
                    .contains("notes.tap: skipped 1 record(s) of length 0"));
    }

    // Reading a FIFO with no writer would never return; the window must refuse it at once.
    void aFifoIsRefusedWithoutBlocking() {
        auto loader = m_script.MakeLoader();
        QVERIFY(loader);
        loader->show();
        QTemporaryDir dir;
        const QString fifo = dir.filePath("tape.fifo");
        QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        CBoxWatcher boxes;
        loader->LoadFiles({fifo});
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(boxes.texts.first(), fifo + ": not a regular file, so not loaded");
        QVERIFY(!loader->IsLoading());
        QCOMPARE(loader->BlockList().GetItemCount(), 0);

        // Nor may Save as write into it: with no reader the write would never end.
        AddBlockTo(*loader, 1);
        WhenModal([&fifo](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            dialog->selectFile(fifo);
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        });
        QVERIFY(!loader->OnSaveAs());
        QTRY_COMPARE(boxes.texts.size(), 2);
        QVERIFY2(boxes.texts.last().contains("not a regular file"), qPrintable(boxes.texts.last()));
    }
};

QTEST_MAIN(WindowHabitsTest)
#include "WindowHabitsTest.moc"
