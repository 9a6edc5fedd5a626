// Decodes raw tape signals (unsigned 8-bit mono, 22000 samples per second) into a Signal window
// the way the main window drives it, then saves a picture of each page and times the refresh.
//
//   tapewise-signal-demo OUTPUT_DIR FILE.raw...
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <cstdio>
#include <vector>

#include "decoder/DecoderOwner.h"
#include "decoder/TapeDecoder.h"
#include "signal/PlotCanvas.h"
#include "signal/SignalDlg.h"
#include "tests/signal/TestSignalHost.h"
#include "ui/DialogBuilder.h"
#include "ui/TabCtrl.h"

namespace {
constexpr int kBufferBytes = 22000;
constexpr int kTimedRefreshes = 200;

// The main window's part: the decoder reports here; the Signal window asks here.
class CDemoOwner : public CDecoderOwner, public CTestSignalHost {
public:
    CSignalDlg* pSignalDlg = nullptr;
    CTapeDecoder* pDecoder = nullptr;

    void SetStatusText(const char* text) override { pSignalDlg->AppendLog(text); }
    void AppendLog(const char* text) override { pSignalDlg->AppendLog(text); }
    void AddBlock(int32_t length, const uint8_t* bytes) override {
        CTestSignalHost::AddBlock(TapeBlock(length, bytes));
    }
    bool ListErrors() const override { return true; }
    void AddErrorEntry(int32_t /*bytesRead*/, int32_t /*firstByte*/) override {
        CTestSignalHost::AddErrorEntry();
    }
    void AddErrorSnapshot(const SignalSnapshot& snapshot) override {
        pSignalDlg->AddErrorSnapshot(snapshot);
    }
    void RefreshSignal() override { pSignalDlg->OnPaint(); }
    void DebugOutput(const char* /*text*/) override {}
    const DecoderSettings& DecoderSettingsNow() const override { return pDecoder->settings; }
};

void Decode(const QString& path, CTapeDecoder& decoder, CSignalDlg& dialog) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return;
    }
    const QByteArray samples = file.readAll();
    for (qsizetype at = 0; at < samples.size(); at += kBufferBytes) {
        const auto count =
            static_cast<int32_t>(std::min<qsizetype>(kBufferBytes, samples.size() - at));
        decoder.ProcessBuffer(reinterpret_cast<const uint8_t*>(samples.constData() + at), count);
        decoder.CaptureSnapshot(dialog.CurrentSignal());
        dialog.OnPaint();
        QApplication::processEvents();
    }
}

void SavePage(CSignalDlg& dialog, int page, int nextCommand, const QDir& out, const char* name) {
    dialog.Tab()->SetCurSel(page);
    if (nextCommand != 0) {
        qobject_cast<QPushButton*>(DialogItem(&dialog, nextCommand))->click();
    }
    QApplication::processEvents();
    const QString file = out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    std::printf("%s: %s\n", qPrintable(file), dialog.grab().save(file) ? "saved" : "NOT saved");
}

// Average cost of one refresh of the Signal page, drawing included, in microseconds.
double TimeRefresh(CSignalDlg& dialog) {
    dialog.Tab()->SetCurSel(0);
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kTimedRefreshes; ++i) {
        dialog.OnPaint();
        dialog.repaint();  // paints the window and its canvases now, not at the next idle moment
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kTimedRefreshes;
}

// The same for the two drawings alone: geometry, rasterising and putting the pixels on screen.
double TimeCanvases(CSignalDlg& dialog) {
    const QList<CPlotCanvas*> canvases = dialog.findChildren<CPlotCanvas*>();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kTimedRefreshes; ++i) {
        for (CPlotCanvas* canvas : canvases) {
            canvas->repaint();
        }
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kTimedRefreshes;
}

double TimeHiddenRefresh(CSignalDlg& dialog) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kTimedRefreshes; ++i) {
        dialog.OnPaint();
        QApplication::processEvents();
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kTimedRefreshes;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR FILE.raw...\n", argv[0]);
        return 2;
    }
    CDemoOwner owner;
    CSignalDlg dialog(&owner);
    CTapeDecoder decoder(&owner);
    owner.pSignalDlg = &dialog;
    owner.pDecoder = &decoder;
    dialog.AppendLog("Start your tape");
    dialog.show();
    for (int i = 2; i < argc; ++i) {
        Decode(QString::fromLocal8Bit(argv[i]), decoder, dialog);
    }
    std::printf("blocks %zu, screens %d, error snapshots %d, log %d bytes\n", owner.blocks.size(),
                owner.CountScreens(), dialog.ErrorCount(), dialog.Log().Length());

    const QDir out(QString::fromLocal8Bit(argv[1]));
    SavePage(dialog, 0, 0, out, "signal");
    SavePage(dialog, 1, CSignalDlg::kNextErrorCommand, out, "errors");
    SavePage(dialog, 2, 0, out, "log");
    SavePage(dialog, 3, CSignalDlg::kNextScreenCommand, out, "screens");

    std::printf("refresh of the shown Signal page: %.1f us (mean of %d)\n", TimeRefresh(dialog),
                kTimedRefreshes);
    std::printf("the two drawings alone: %.1f us (mean of %d)\n", TimeCanvases(dialog),
                kTimedRefreshes);
    dialog.hide();
    std::printf("refresh while hidden: %.2f us (mean of %d)\n", TimeHiddenRefresh(dialog),
                kTimedRefreshes);
    return 0;
}
