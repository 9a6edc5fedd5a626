// What the desktop program does for the user beyond the templates, on the offscreen platform:
// settings and window places kept between runs, a refused Options value said in words, the Delete
// key, notes of a tape image told without a box, and files that cannot be read as they stand.
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/LoaderDlg.h"
#include "app/LoaderStatusBar.h"
#include "decoder/ArchiveDecoder.h"
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
    loader.AddBlock(static_cast<int32_t>(bytes.size()), bytes.data());
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
        QVERIFY(second->Decoder().Settings().archive);
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
        COptionsDlg options(settings, nullptr);
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
        QCOMPARE(settings.decayPercent, 100);
    }

    void theDeleteKeyDeletesTheSelectedRows() {
        auto loader = m_script.MakeLoader();
        QVERIFY(loader);
        loader->show();
        loader->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(loader.get()));
        for (uint8_t first = 1; first <= 3; ++first) {
            AddBlockTo(*loader, first);
        }
        CBlockListCtrl& list = loader->BlockList();
        list.setFocus();
        list.SetSelected(1, true);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(list.GetItemCount(), 2);
        QCOMPARE(list.Model().GetBlocks()[0].Bytes()[1], uint8_t{1});
        QCOMPARE(list.Model().GetBlocks()[1].Bytes()[1], uint8_t{3});
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
    }
};

QTEST_MAIN(WindowHabitsTest)
#include "WindowHabitsTest.moc"
