#include "addressopener.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

void AddressOpener::open(const QUrl &url, QWidget *parent)
{
    if (QDesktopServices::openUrl(url))
        return;
    const QString address = url.toString();
    QMessageBox box(QMessageBox::Warning, tr("Open in browser"),
                    tr("The browser could not be opened for %1.").arg(address), QMessageBox::Close,
                    parent);
    box.setInformativeText(tr("This desktop has no browser set for web addresses. Copy the "
                              "address and paste it into a browser's address bar."));
    QPushButton *copy = box.addButton(tr("Copy address"), QMessageBox::ActionRole);
    box.setDefaultButton(copy);
    box.exec();
    if (box.clickedButton() == copy)
        QGuiApplication::clipboard()->setText(address);
}
