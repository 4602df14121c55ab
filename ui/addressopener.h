#pragma once

#include <QCoreApplication>

class QUrl;
class QWidget;

// Hands a device's web address to the desktop's browser. When the desktop refuses it (no
// browser for web addresses), a message names the address and offers to copy it: otherwise
// Connect would look as if it worked and nothing would open.
class AddressOpener
{
    Q_DECLARE_TR_FUNCTIONS(AddressOpener)

public:
    static void open(const QUrl &url, QWidget *parent);
};
