#pragma once

class QMenuBar;
class QStatusBar;
class QToolBar;
class QWidget;

// The bars and the central widget that the form set-up creates; all are children of the
// window, so this record owns none of them.
struct MainWindowForm
{
    QMenuBar *menuBar = nullptr;
    QToolBar *mainToolBar = nullptr;
    QWidget *centralWidget = nullptr;
    QStatusBar *statusBar = nullptr;
};
