#pragma once

#include "localaddress.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Search other networks…": one field for address ranges, checked as the user types; Search
// is enabled only while the text is valid, Clear drops the ranges the window searches.
class RangeDialog : public QDialog
{
    Q_OBJECT

public:
    // text: the ranges searched now, shown for editing; localAddresses: those the search
    // sends from, whose networks' broadcast addresses are refused.
    RangeDialog(const QString &text, const QList<LocalAddress> &localAddresses,
                QWidget *parent = nullptr);

    // The ranges to search, empty after Clear; valid once the dialog was accepted.
    QString rangesText() const;

private:
    void check();

    QList<LocalAddress> localAddresses;

    QLineEdit *field = nullptr;
    QLabel *message = nullptr;
    QPushButton *searchButton = nullptr;
};
