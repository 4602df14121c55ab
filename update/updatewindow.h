#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

// The prompt that offers another version of the program. It knows nothing of the check: it
// shows the version it is given, and either button ends it. The window's own close control
// only hides it.
class UpdateWindow : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateWindow(const QString &version);
    ~UpdateWindow() override;

signals:
    void updateAccepted();

private slots:
    void cancelButtonClicked();
    void updateButtonClicked();

private:
    void finish();

    QPushButton *updateButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QLabel *messageLabel = nullptr;
    QString version;
};
