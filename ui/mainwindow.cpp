#include "mainwindow.h"

#include "language.h"
#include "mainwindowform.h"

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

namespace {
constexpr int windowWidth = 748;
constexpr int windowHeight = 433;
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowForm>())
{
    setupForm();
    ui->mainToolBar->hide();
    // The form's status bar is not wanted; Qt hides it now and deletes it from the event loop.
    setStatusBar(nullptr);
    setWindowTitle(QStringLiteral("Ostrel Scout"));

    createButtons();
    createLogo();

    setMinimumSize(windowWidth, windowHeight);
    setMaximumSize(windowWidth, windowHeight);
}

MainWindow::~MainWindow()
{
    ui.reset();
    delete refreshButton;
    delete connectButton;
    delete logoLabel;
    appIcon.reset();
}

void MainWindow::setupForm()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("MainWindow"));
    resize(400, 300);

    ui->menuBar = new QMenuBar(this);
    ui->menuBar->setObjectName(QStringLiteral("menuBar"));
    setMenuBar(ui->menuBar);

    ui->mainToolBar = new QToolBar(this);
    ui->mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    addToolBar(ui->mainToolBar);

    ui->centralWidget = new QWidget(this);
    ui->centralWidget->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(ui->centralWidget);

    ui->statusBar = new QStatusBar(this);
    ui->statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(ui->statusBar);

    setWindowTitle(QCoreApplication::translate("MainWindow", "MainWindow"));
}

void MainWindow::createButtons()
{
    const QString refreshText = Language::pick("Odśwież", "Refresh");
    const QString connectText = Language::pick("Połącz", "Connect");

    refreshButton = new QPushButton(refreshText, this);
    refreshButton->setGeometry(528, 398, 100, 30);

    connectButton = new QPushButton(connectText, this);
    connectButton->setGeometry(638, 398, 100, 30);
    connectButton->setEnabled(false);
}

void MainWindow::createLogo()
{
    logoLabel = new QLabel(this);
    logoLabel->setPixmap(QPixmap(QStringLiteral(":/scout.png")));
    logoLabel->show();
    logoLabel->setGeometry(0, 0, 247, windowHeight);

    appIcon = std::make_unique<QIcon>(QStringLiteral(":/scout.ico"));
    setWindowIcon(*appIcon);
}
