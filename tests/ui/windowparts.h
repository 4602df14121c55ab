#pragma once

#include "mainwindow.h"

#include <QPushButton>
#include <QTableWidget>

// The main window's widgets carry no object names; tests find them by type and place.
inline QPushButton *buttonAt(MainWindow &window, int x)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->geometry().x() == x)
            return button;
    }
    return nullptr;
}

inline QPushButton *refreshButton(MainWindow &window)
{
    return buttonAt(window, 528);
}

inline QPushButton *connectButton(MainWindow &window)
{
    return buttonAt(window, 638);
}

inline QTableWidget *deviceTable(MainWindow &window)
{
    return window.findChild<QTableWidget *>();
}
