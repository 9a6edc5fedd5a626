#include "app/MainMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

CMainMenu::CMainMenu(QWidget* parent) : QMenuBar(parent) {
    setAccessibleName("Menu bar");
    QMenu* file = addMenu("&File");
    open = Add(file, "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O));
    m_recent = file->addMenu("Open &Recent");
    recoverKept = Add(file, "Recover &Kept Blocks...");
    save = Add(file, "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    saveAs = Add(file, "Save &As...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    quit = Add(file, "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = addMenu("&Edit");
    undo = Add(edit, "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo = Add(edit, "&Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addSeparator();
    deleteRows = Add(edit, "&Delete", QKeySequence(Qt::Key_Delete));
    selectAll = Add(edit, "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A));
    edit->addSeparator();
    moveUp = Add(edit, "Move &Up", QKeySequence(Qt::ALT | Qt::Key_Up));
    moveDown = Add(edit, "Move D&own", QKeySequence(Qt::ALT | Qt::Key_Down));

    QMenu* view = addMenu("&View");
    signalWindow = Add(view, "&Signal Window");

    QMenu* tools = addMenu("&Tools");
    options = Add(tools, "&Options...");

    QMenu* help = addMenu("&Help");
    manual = Add(help, "Tapewise &Manual", QKeySequence(Qt::Key_F1));
    about = Add(help, "&About Tapewise");
    ShowRecentFiles({}, {});
}

QAction* CMainMenu::Add(QMenu* menu, const QString& text, const QKeySequence& keys) {
    QAction* action = menu->addAction(text);
    // The shortcuts act wherever the focus is in the main window.
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

void CMainMenu::ShowRecentFiles(const QStringList& paths,
                                const std::function<void(const QString&)>& openFile) {
    m_recent->clear();
    int number = 1;
    for (const QString& path : paths) {
        const QString text = QString("&%1 %2").arg(number++).arg(QFileInfo(path).fileName());
        QAction* action = m_recent->addAction(text);
        action->setToolTip(path);
        action->setStatusTip(path);
        connect(action, &QAction::triggered, this, [openFile, path] { openFile(path); });
    }
    m_recent->setEnabled(!paths.isEmpty());
}
