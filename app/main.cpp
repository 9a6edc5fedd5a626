// tapewise: the desktop program. The main window is shown without a modal loop of its own, so the
// modeless Signal window takes input too; the application's event loop runs until the main window
// ends, and its status is the program's. Files named on the command line are loaded at start; they
// need no sound input, so a machine without one still opens them.
#include <QApplication>
#include <QMetaObject>
#include <QSettings>
#include <QTimer>

#include "app/LoaderDlg.h"
#include "app/StoredSettings.h"
#include "app/TerminationWatch.h"
#include "capture/SoundInput.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("tapewise");
    // No application display name: Qt would append it to every window title that lacks it
    // ("Signal — Tapewise"), and the windows carry their own captions. Message boxes are titled
    // with the program's name explicitly.
    QApplication::setDesktopFileName("tapewise");
    // Hiding the last window (the Signal window) must not end the program; only the main window
    // does.
    QApplication::setQuitOnLastWindowClosed(false);

    CSoundInput soundInput;
    CLoaderDlg loader(soundInput, [&soundInput] { return soundInput.TakeFilled(); });
    QString storeProblem;
    std::unique_ptr<QSettings> store = CStoredSettings::OpenUserStore(storeProblem);
    loader.KeepSettingsIn(std::move(store),
                          storeProblem.isEmpty() ? QStringList{} : QStringList{storeProblem});
    soundInput.SetFilledNotifier([&loader] {
        QMetaObject::invokeMethod(
            &loader, [&loader] { loader.OnFilledBuffers(); }, Qt::QueuedConnection);
    });
    QObject::connect(&loader, &QDialog::finished, &app,
                     [&loader] { QCoreApplication::exit(loader.ExitStatus()); });
    CTerminationWatch termination;
    QObject::connect(&termination, &CTerminationWatch::Terminating, &loader,
                     &CLoaderDlg::EndByTermination);
    // Files named on the command line (tape images or recordings), as if loaded one by one.
    QStringList files = QApplication::arguments();
    files.removeFirst();
    if (!loader.OnInitDialog(!files.isEmpty())) {
        return CLoaderDlg::kFailureStatus;
    }
    if (loader.HasEnded()) {
        return loader.ExitStatus();  // a signal came while the start-up showed a message
    }
    loader.show();
    if (!files.isEmpty()) {
        loader.LoadFiles(files);
    }
    QTimer::singleShot(0, &loader, [&loader, openingFiles = !files.isEmpty()] {
        loader.TellOfKeptBlocks(openingFiles);
    });
    return QApplication::exec();
}
