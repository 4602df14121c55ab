#pragma once

#include "updateanswer.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Asks the update server once whether a newer version exists and, if the answer names another
// version, offers it in an UpdateWindow. Nothing owns the checker: it deletes itself when the
// check or the prompt is done, and reports no failure to the user.
class SCUpdate : public QObject
{
    Q_OBJECT

public:
    // The address built into the program.
    static QUrl defaultUpdateUrl();

    // The application object is accepted for the caller's convenience but neither kept nor
    // made the parent, so it never deletes the checker.
    explicit SCUpdate(QObject *application, const QUrl &updateUrl = defaultUpdateUrl());
    ~SCUpdate() override;

    // Posts the check and starts the time limit for the whole answer.
    void checkForUpdate();

signals:
    void updateAvailable();

private slots:
    void updateResponse();
    void openUpdateWindow();
    void downloadUpdate();
    void deleteSCUpdate();

private:
    QString currentVersion;
    QString operatingSystem;
    QUrl updateUrl;
    QNetworkAccessManager *manager = nullptr;
    QNetworkReply *reply = nullptr;
    QByteArray answerBody;
    UpdateOffer offer;
    QTimer *timer = nullptr;
};
