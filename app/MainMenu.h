#pragma once

#include <QMenuBar>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;

// The main window's menu bar: File, Edit, View, Tools and Help, with the desktop's usual
// shortcuts. It only holds the actions; the window connects them to its commands. The shortcuts
// act anywhere in the main window.
class CMainMenu : public QMenuBar {
    Q_OBJECT

public:
    explicit CMainMenu(QWidget* parent);

    // Lists the files under File > Open Recent; choosing one calls `open` with its path.
    void ShowRecentFiles(const QStringList& paths,
                         const std::function<void(const QString&)>& openFile);

    QAction* open = nullptr;
    QAction* recoverKept = nullptr;
    QAction* save = nullptr;
    QAction* saveAs = nullptr;
    QAction* quit = nullptr;
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* deleteRows = nullptr;
    QAction* selectAll = nullptr;
    QAction* moveUp = nullptr;
    QAction* moveDown = nullptr;
    QAction* signalWindow = nullptr;
    QAction* options = nullptr;
    QAction* manual = nullptr;
    QAction* about = nullptr;

private:
    QAction* Add(QMenu* menu, const QString& text, const QKeySequence& keys = {});

    QMenu* m_recent = nullptr;
};
