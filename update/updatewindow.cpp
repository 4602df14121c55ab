#include "updatewindow.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr int windowWidth = 400;
constexpr int windowHeight = 150;
} // namespace

UpdateWindow::UpdateWindow(const QString &version)
    : QWidget(nullptr)
    , version(version)
{
    setWindowTitle(tr("Ostrel Scout Update"));

    updateButton = new QPushButton(tr("Update now"), this);
    updateButton->setGeometry(90, 100, 100, 30);
    connect(updateButton, &QPushButton::clicked, this, &UpdateWindow::updateButtonClicked);

    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setGeometry(210, 100, 100, 30);
    connect(cancelButton, &QPushButton::clicked, this, &UpdateWindow::cancelButtonClicked);

    //: %1 is the offered version, shown as the update server names it, e.g. 2.1.
    messageLabel = new QLabel(tr("Ostrel Scout v%1 is now available.").arg(version), this);
    messageLabel->setGeometry(10, 10, 380, 50);

    setMinimumSize(windowWidth, windowHeight);
    setMaximumSize(windowWidth, windowHeight);
}

UpdateWindow::~UpdateWindow()
{
    delete updateButton;
    delete cancelButton;
    delete messageLabel;
}

void UpdateWindow::cancelButtonClicked()
{
    finish();
}

void UpdateWindow::updateButtonClicked()
{
    emit updateAccepted();
    finish();
}

void UpdateWindow::finish()
{
    // The window is deleted once control is back in the event loop, not inside its button's
    // signal. Until then a second press must not count.
    setEnabled(false);
    deleteLater();
}
