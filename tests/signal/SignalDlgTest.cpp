#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <vector>

#include "res/ControlIds.h"
#include "signal/SignalDlg.h"
#include "signal/SignalDrawing.h"
#include "tests/signal/TestSignalHost.h"
#include "ui/DialogBuilder.h"
#include "ui/TabCtrl.h"

namespace {
// A SCREEN$ block: all paper white, ink black, with `firstPixelByte` at the top-left.
TapeItem ScreenBlock(uint8_t firstPixelByte, uint8_t attribute = 0x38) {
    std::vector<uint8_t> bytes(6914, 0);
    bytes[0] = 0xFF;
    bytes[1] = firstPixelByte;
    for (int i = 6145; i <= 6912; ++i) {
        bytes[static_cast<size_t>(i)] = attribute;
    }
    return {RomBlock{bytes}, {}, {}};
}

SignalSnapshot SnapshotWithSamples(int count, int value) {
    SignalSnapshot snapshot;
    snapshot.samples = RingBuffer<TimedValue>(400);
    snapshot.peaks = RingBuffer<TimedValue>(40);
    snapshot.troughs = RingBuffer<TimedValue>(40);
    for (int i = 0; i < count; ++i) {
        snapshot.samples.Push(TimedValue{i, value});
    }
    return snapshot;
}

template <typename Widget = QWidget>
Widget* Page(const CSignalDlg& dialog, const char* name) {
    return dialog.findChild<Widget*>(QString::fromLatin1(name));
}

QString LabelText(const CSignalDlg& dialog, const char* name) {
    auto* label = Page<QLabel>(dialog, name);
    return label == nullptr ? QStringLiteral("<none>") : label->text();
}

void Click(CSignalDlg& dialog, int command) {
    auto* button = qobject_cast<QPushButton*>(DialogItem(&dialog, command));
    QVERIFY(button != nullptr);
    button->click();
}

QRgb PixelOf(QWidget* widget, int x, int y) {
    return widget->grab().toImage().pixel(x, y);
}
}  // namespace

class SignalDlgTest : public QObject {
    Q_OBJECT

private slots:
    void StartsHiddenOnTheSignalPage();
    void EachTabBuildsOnlyItsOwnControls();
    void ErrorNavigationStopsAtTheEnds();
    void HiddenWindowRefreshesNothing();
    void ScreenNavigationFollowsTheBlockList();
    void LogPageAppendsEntries();
    void ClosingKeepsPageAndSelections();
    void DrawingsReachTheScreen();
    void ErrorSnapshotsAreIndependentCopies();
    void KeysSwitchPagesRoundTheTabs();
    void FirstShownBesideTheMainWindowThenWhereItWas();
};

void SignalDlgTest::StartsHiddenOnTheSignalPage() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Signal"));
    CTabCtrl* tab = dialog.Tab();
    QCOMPARE(tab->GetItemCount(), 4);
    QCOMPARE(tab->GetCurSel(), 0);
    QCOMPARE(DialogItem(&dialog, signal_ids::kTab), static_cast<QWidget*>(tab));

    const QRect area = tab->DisplayArea();
    const int middle = area.top() + (area.bottom() + 1 - area.top()) / 2;
    auto* signalBox = Page(dialog, "m_pSignalBox");
    auto* histogramBox = Page(dialog, "m_pHistogramBox");
    QVERIFY(signalBox != nullptr && histogramBox != nullptr);
    QCOMPARE(signalBox->parentWidget(), static_cast<QWidget*>(tab));
    QCOMPARE(signalBox->geometry(),
             QRect(area.left(), area.top(), area.width(), middle - area.top()));
    QCOMPARE(histogramBox->geometry(),
             QRect(area.left(), middle, area.width(), area.bottom() + 1 - middle));
    QCOMPARE(qobject_cast<QGroupBox*>(histogramBox)->title(), QStringLiteral("Histogram"));
}

void SignalDlgTest::EachTabBuildsOnlyItsOwnControls() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    const char* const all[] = {"m_pSignalBox",         "m_pHistogramBox", "m_pErrorSignalBox",
                               "m_pErrorHistogramBox", "m_pErrorPrev",    "m_pErrorNext",
                               "m_pErrorLabel",        "m_pLogEdit",      "m_pScreenBox",
                               "m_pScreenPrev",        "m_pScreenNext",   "m_pScreenLabel"};
    const std::vector<std::vector<QString>> pages = {
        {"m_pSignalBox", "m_pHistogramBox"},
        {"m_pErrorSignalBox", "m_pErrorHistogramBox", "m_pErrorPrev", "m_pErrorNext",
         "m_pErrorLabel"},
        {"m_pLogEdit"},
        {"m_pScreenBox", "m_pScreenPrev", "m_pScreenNext", "m_pScreenLabel"},
    };
    for (int page : {1, 2, 3, 0, 3, 1}) {
        dialog.Tab()->SetCurSel(page);
        for (const char* name : all) {
            const bool expected =
                std::find(pages[static_cast<size_t>(page)].begin(),
                          pages[static_cast<size_t>(page)].end(),
                          QString::fromLatin1(name)) != pages[static_cast<size_t>(page)].end();
            QVERIFY2((Page(dialog, name) != nullptr) == expected, name);
        }
    }
    // The Errors page's navigation row, in window coordinates, below a shortened histogram.
    const int b = dialog.Tab()->DisplayArea().bottom() + 1;
    QCOMPARE(DialogItem(&dialog, CSignalDlg::kPrevErrorCommand)->geometry(),
             QRect(20, b - 20, 60, 15));
    QCOMPARE(DialogItem(&dialog, CSignalDlg::kNextErrorCommand)->geometry(),
             QRect(200, b - 20, 70, 15));
    QCOMPARE(Page(dialog, "m_pErrorHistogramBox")->geometry().bottom() + 1, b - 35);
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 0 of 0"));
}

void SignalDlgTest::ErrorNavigationStopsAtTheEnds() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    dialog.show();
    for (int value : {10, 20, 30}) {
        dialog.AddErrorSnapshot(SnapshotWithSamples(5, value));
    }
    dialog.Tab()->SetCurSel(1);
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 1 of 3"));
    Click(dialog, CSignalDlg::kPrevErrorCommand);
    QCOMPARE(dialog.ErrorIndex(), 0);
    Click(dialog, CSignalDlg::kNextErrorCommand);
    Click(dialog, CSignalDlg::kNextErrorCommand);
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 3 of 3"));
    Click(dialog, CSignalDlg::kNextErrorCommand);
    QCOMPARE(dialog.ErrorIndex(), 2);
    dialog.AddErrorSnapshot(SnapshotWithSamples(5, 40));
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 3 of 3"));
    dialog.OnPaint();
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 3 of 4"));
    QCOMPARE(dialog.ErrorIndex(), 2);
}

void SignalDlgTest::HiddenWindowRefreshesNothing() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    dialog.show();
    dialog.AddErrorSnapshot(SnapshotWithSamples(5, 10));
    dialog.Tab()->SetCurSel(1);
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 1 of 1"));
    dialog.hide();
    dialog.AddErrorSnapshot(SnapshotWithSamples(5, 20));
    dialog.OnPaint();
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 1 of 1"));
    dialog.show();
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 1 of 2"));
}

void SignalDlgTest::ScreenNavigationFollowsTheBlockList() {
    CTestSignalHost host;
    host.AddBlock(ScreenBlock(0x80, 0x38));  // black ink on white: top-left pixel black
    host.AddErrorEntry();
    host.AddBlock(ScreenBlock(0x00, 0x38));  // all paper: top-left pixel white
    CSignalDlg dialog(&host);
    dialog.show();
    dialog.Tab()->SetCurSel(3);
    auto* box = Page(dialog, "m_pScreenBox");
    QCOMPARE(LabelText(dialog, "m_pScreenLabel"), QStringLiteral("Screen 0 of 2"));
    QCOMPARE(PixelOf(box, 8, 15), PixelOf(box, 8 + 300, 15));  // nothing drawn yet

    Click(dialog, CSignalDlg::kNextScreenCommand);
    QCOMPARE(LabelText(dialog, "m_pScreenLabel"), QStringLiteral("Screen 1 of 2"));
    QVERIFY(!dialog.RedrawScreen());
    QCOMPARE(PixelOf(box, 8, 15), qRgb(0, 0, 0));
    QCOMPARE(PixelOf(box, 9, 15), qRgb(255, 255, 255));
    QCOMPARE(PixelOf(box, 8 + 255, 15 + 191), qRgb(255, 255, 255));
    Click(dialog, CSignalDlg::kPrevScreenCommand);
    QCOMPARE(dialog.ScreenIndex(), 0);

    Click(dialog, CSignalDlg::kNextScreenCommand);
    QCOMPARE(LabelText(dialog, "m_pScreenLabel"), QStringLiteral("Screen 2 of 2"));
    QCOMPARE(PixelOf(box, 8, 15), qRgb(255, 255, 255));

    host.DeleteEntry(0);  // the first screen goes; the second is now screen 0
    dialog.OnPaint();
    QCOMPARE(LabelText(dialog, "m_pScreenLabel"), QStringLiteral("Screen 2 of 1"));
    Click(dialog, CSignalDlg::kNextScreenCommand);
    QCOMPARE(dialog.ScreenIndex(), 1);
    Click(dialog, CSignalDlg::kPrevScreenCommand);
    QCOMPARE(LabelText(dialog, "m_pScreenLabel"), QStringLiteral("Screen 1 of 1"));
    QVERIFY(!dialog.RedrawScreen());
}

void SignalDlgTest::LogPageAppendsEntries() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    dialog.show();
    dialog.AppendLog("Start your tape");
    dialog.AppendLog("Save canceled");
    dialog.Tab()->SetCurSel(2);
    auto* edit = Page<QPlainTextEdit>(dialog, "m_pLogEdit");
    QVERIFY(edit != nullptr);
    QVERIFY(edit->isReadOnly());
    QCOMPARE(edit->toPlainText(), QStringLiteral("Start your tape\nSave canceled\n"));

    // A shown page gets each entry added at its end; nothing before it is replaced.
    QSignalSpy changes(edit->document(), &QTextDocument::contentsChange);
    const int endBefore = edit->document()->characterCount() - 1;
    dialog.AppendLog("Load canceled");
    QVERIFY(!changes.isEmpty());
    for (const QList<QVariant>& change : changes) {
        QVERIFY(change.at(0).toInt() >= endBefore);  // position
        QCOMPARE(change.at(1).toInt(), 0);           // characters removed
    }
    QCOMPARE(edit->toPlainText(),
             QStringLiteral("Start your tape\nSave canceled\nLoad canceled\n"));

    // A control that drifted from the log gets the whole log again.
    edit->setPlainText(QStringLiteral("something else"));
    dialog.AppendLog("Loaded 7333 bytes from file sample1.000");
    QCOMPARE(edit->toPlainText(), QStringLiteral("Start your tape\nSave canceled\nLoad canceled\n"
                                                 "Loaded 7333 bytes from file sample1.000\n"));

    // Entries made on another page all appear when the page opens again, and it follows the end.
    dialog.Tab()->SetCurSel(0);
    for (int i = 0; i < 200; ++i) {
        dialog.AppendLog(QByteArray::number(i).constData());
    }
    dialog.Tab()->SetCurSel(2);
    edit = Page<QPlainTextEdit>(dialog, "m_pLogEdit");
    QCOMPARE(edit->document()->blockCount(), 4 + 200 + 1);
    QVERIFY(edit->toPlainText().endsWith(QStringLiteral("198\n199\n")));
    dialog.AppendLog("newest");
    QApplication::processEvents();
    QCOMPARE(edit->verticalScrollBar()->value(), edit->verticalScrollBar()->maximum());
    QCOMPARE(dialog.Log().Length(), static_cast<int32_t>(qstrlen(dialog.Log().Text())));

    dialog.OnDestroy();
    dialog.AppendLog("after the end");  // ignored, not a crash
    QVERIFY(dialog.Log().Text() == nullptr);
}

void SignalDlgTest::ClosingKeepsPageAndSelections() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    dialog.show();
    dialog.AddErrorSnapshot(SnapshotWithSamples(5, 10));
    dialog.AddErrorSnapshot(SnapshotWithSamples(5, 20));
    dialog.Tab()->SetCurSel(1);
    Click(dialog, CSignalDlg::kNextErrorCommand);
    dialog.close();
    QVERIFY(!dialog.isVisible());
    dialog.show();
    QCOMPARE(dialog.Tab()->GetCurSel(), 1);
    QCOMPARE(LabelText(dialog, "m_pErrorLabel"), QStringLiteral("Error 2 of 2"));
}

void SignalDlgTest::DrawingsReachTheScreen() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    dialog.show();
    SignalSnapshot& live = dialog.CurrentSignal();
    live = SnapshotWithSamples(400, 128);
    live.peaks.Push(TimedValue{390, 128});
    live.periodHistogram[50 + 0] = 250;  // maxFirst off: table 1 upward, bin 0
    dialog.OnPaint();

    auto* signalBox = Page(dialog, "m_pSignalBox");
    const PlotGeometry signalPlot(signalBox->width(), signalBox->height());
    const int traceY = static_cast<int>(signalPlot.Y(128));
    const int newestX = static_cast<int>(signalPlot.X(399, 399));
    QCOMPARE(PixelOf(signalBox, newestX - 1, traceY), qRgb(0, 0, 0));
    QCOMPARE(PixelOf(signalBox, newestX - 1, traceY - 1), qRgb(255, 255, 255));
    const int peakX = static_cast<int>(signalPlot.X(390, 399));
    QCOMPARE(PixelOf(signalBox, peakX, traceY - 3), qRgb(0, 176, 255));  // the peak's mark

    auto* histogramBox = Page(dialog, "m_pHistogramBox");
    const PlotGeometry histogramPlot(histogramBox->width(), histogramBox->height());
    const int baseline = 15 + histogramPlot.height / 2;
    QCOMPARE(PixelOf(histogramBox, 5, baseline), qRgb(0, 255, 255));
    QCOMPARE(PixelOf(histogramBox, 5, 15), qRgb(0, 255, 255));
    QCOMPARE(PixelOf(histogramBox, 5, baseline + 1), qRgb(0, 0, 0));
    QCOMPARE(PixelOf(histogramBox, 5 + histogramPlot.width / 2, baseline), qRgb(0, 0, 0));
}

void SignalDlgTest::ErrorSnapshotsAreIndependentCopies() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    SignalSnapshot error = SnapshotWithSamples(450, 7);
    dialog.AddErrorSnapshot(error);
    error.samples.At(0).value = 99;
    error.periodHistogram[3] = 5;
    dialog.CurrentSignal() = SnapshotWithSamples(3, 1);
    const SignalSnapshot& kept = dialog.ErrorSnapshot(0);
    QCOMPARE(kept.samples.Count(), int64_t{450});
    QCOMPARE(kept.samples.At(0).value, 7);
    QCOMPARE(kept.samples.At(-399).time, int64_t{50});
    QCOMPARE(kept.periodHistogram[3], 0);
    QCOMPARE(dialog.ErrorIndex(), 0);
}

void SignalDlgTest::KeysSwitchPagesRoundTheTabs() {
    CTestSignalHost host;
    CSignalDlg dialog(&host);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(dialog.Tab()->GetCurSel(), 1);
    QVERIFY(Page(dialog, "m_pErrorSignalBox") != nullptr);  // the page was built, not only named
    QTest::keyClick(&dialog, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(&dialog, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(dialog.Tab()->GetCurSel(), 3);
    QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);  // round to the first
    QCOMPARE(dialog.Tab()->GetCurSel(), 0);
    QTest::keyClick(&dialog, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(dialog.Tab()->GetCurSel(), 3);
    QTest::keyClick(&dialog, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialog.Tab()->GetCurSel(), 2);
}

// The offscreen screen is too narrow for both windows side by side at the left edge: there the
// window keeps to the screen rather than leave it.
void SignalDlgTest::FirstShownBesideTheMainWindowThenWhereItWas() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    CTestSignalHost host;
    QWidget main;
    main.resize(screen.width() / 3, screen.height() / 3);
    main.move(screen.right() + 1 - main.width(), screen.top() + 40);
    main.show();
    CSignalDlg dialog(&host);
    dialog.ShowBeside(main);
    QVERIFY(!dialog.frameGeometry().intersects(main.frameGeometry()));
    QCOMPARE(dialog.y(), main.y());

    dialog.move(screen.left() + 10, screen.top() + 20);
    dialog.resize(dialog.width() + 30, dialog.height() + 10);
    const QRect moved = dialog.geometry();
    dialog.close();
    main.move(screen.left(), screen.top());
    dialog.ShowBeside(main);
    QCOMPARE(dialog.geometry(), moved);

    CSignalDlg fresh(&host);
    main.resize(screen.width() * 2 / 3, main.height());
    fresh.ShowBeside(main);
    QVERIFY(screen.contains(fresh.frameGeometry()));

    // A place kept from a larger screen (or scale) comes back on this one, its page laid out for
    // the size it gets, though that size was set while the window was hidden.
    fresh.close();
    fresh.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    fresh.setGeometry(screen.right() - 50, screen.top() + 10, screen.width() + 400,
                      screen.height() + 300);
    fresh.SetPlace(fresh.saveGeometry());
    fresh.ShowBeside(main);
    QVERIFY(screen.contains(fresh.frameGeometry()));
    const QRect area = fresh.Tab()->DisplayArea();
    auto* histogram = fresh.findChild<QGroupBox*>("m_pHistogramBox");
    QVERIFY(histogram != nullptr);
    QCOMPARE(histogram->geometry().right(), area.right());
    QCOMPARE(histogram->geometry().bottom(), area.bottom());
}

QTEST_MAIN(SignalDlgTest)
#include "SignalDlgTest.moc"
