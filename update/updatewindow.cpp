#include "updatewindow.h"

#include "language.h"

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
    setWindowTitle(Language::pick("Aktualizacja Ostrel Scout", "Ostrel Scout Update"));

    updateButton = new QPushButton(Language::pick("Aktualizuj", "Update now"), this);
    updateButton->setGeometry(90, 100, 100, 30);
    connect(updateButton, &QPushButton::clicked, this, &UpdateWindow::updateButtonClicked);

    cancelButton = new QPushButton(Language::pick("Anuluj", "Cancel"), this);
    cancelButton->setGeometry(210, 100, 100, 30);
    connect(cancelButton, &QPushButton::clicked, this, &UpdateWindow::cancelButtonClicked);

    const QString message = Language::pick("Ostrel Scout w wersji ", "Ostrel Scout v") % version %
                            Language::pick(" jest już dostępny.", " is now available.");
    messageLabel = new QLabel(message, this);
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
