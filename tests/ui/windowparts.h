#pragma once

#include "mainwindow.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

// The main window's widgets by their object names; tst_mainwindow checks where they sit.
template<typename Widget> Widget *windowPart(MainWindow &window, const char *name)
{
    return window.findChild<Widget *>(QLatin1String(name));
}

inline QPushButton *refreshButton(MainWindow &window)
{
    return windowPart<QPushButton>(window, "refreshButton");
}

inline QPushButton *connectButton(MainWindow &window)
{
    return windowPart<QPushButton>(window, "connectButton");
}

inline QTableWidget *deviceTable(MainWindow &window)
{
    return windowPart<QTableWidget>(window, "deviceTable");
}

inline QLabel *statusLine(MainWindow &window)
{
    return windowPart<QLabel>(window, "statusLine");
}

inline QLabel *logoLabel(MainWindow &window)
{
    return windowPart<QLabel>(window, "logoLabel");
}
