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
    // sends from, whose networks' broadcast addresses are refused; rate: requests per second.
    RangeDialog(const QString &text, const QList<LocalAddress> &localAddresses, int rate,
                QWidget *parent = nullptr);

    // The ranges to search, empty after Clear; valid once the dialog was accepted.
    QString rangesText() const;

    // How long asking addresses takes at rate requests a second, when that is long enough to
    // be worth saying (a few seconds); empty otherwise.
    static QString estimate(quint64 addresses, int rate);
    // text with a break allowed inside words too long for a line of the dialog.
    static QString breakable(const QString &text);

private:
    void check();

    QList<LocalAddress> localAddresses;
    const int rate;

    QLineEdit *field = nullptr;
    QLabel *message = nullptr;
    QPushButton *searchButton = nullptr;
};
