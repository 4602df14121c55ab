#pragma once

#include <QMainWindow>

#include <memory>

class QIcon;
class QLabel;
class QPushButton;
struct MainWindowForm;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private:
    void setupForm();
    void createButtons();
    void createLogo();

    std::unique_ptr<MainWindowForm> ui;
    QPushButton *refreshButton = nullptr;
    QPushButton *connectButton = nullptr;
    QLabel *logoLabel = nullptr;
    std::unique_ptr<QIcon> appIcon;
};
