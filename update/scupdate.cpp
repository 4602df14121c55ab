#include "scupdate.h"

#include "updatewindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>

namespace {
// Covers the whole answer, from posting the request to its last byte.
constexpr int answerTimeLimitMs = 5000;
} // namespace

QUrl SCUpdate::defaultUpdateUrl()
{
    return QUrl(QStringLiteral(SCOUT_UPDATE_URL), QUrl::TolerantMode);
}

SCUpdate::SCUpdate([[maybe_unused]] QObject *application, const QUrl &updateUrl)
    : QObject(nullptr)
    , currentVersion(QCoreApplication::applicationVersion())
    , updateUrl(updateUrl)
{
    manager = new QNetworkAccessManager(this);
    operatingSystem = QStringLiteral("WIN32");
    timer = new QTimer;
    // A coarse timer may fire up to 5 % early and cut off an answer still within the limit.
    timer->setTimerType(Qt::PreciseTimer);
    connect(this, &SCUpdate::updateAvailable, this, &SCUpdate::openUpdateWindow);
}

SCUpdate::~SCUpdate()
{
    // Deleting the manager abandons a request still in flight together with its reply.
    delete manager;
    delete timer;
}

void SCUpdate::checkForUpdate()
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("operating_system"), operatingSystem);

    QNetworkRequest request(updateUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    // Without it Qt asks for gzip and inflates whatever comes before the size limit below sees
    // a byte, so a small compressed answer could fill the memory. A compressed answer that
    // arrives anyway is not JSON, hence no offer.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("identity"));
    // A redirect is not an answer. Qt 6 follows redirects unless told otherwise; Qt 5 does not.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);

    reply = manager->post(request, form.toString(QUrl::FullyEncoded).toUtf8());
    connect(reply, &QNetworkReply::readyRead, this, &SCUpdate::updateResponse);
    connect(reply, &QNetworkReply::finished, this, &SCUpdate::updateResponse);
    connect(timer, &QTimer::timeout, this, &SCUpdate::deleteSCUpdate);
    timer->start(answerTimeLimitMs);
}

void SCUpdate::updateResponse()
{
    // The network may split the answer anywhere, so it is collected until the reply has
    // finished and judged once, as a whole.
    answerBody += reply->read(maxUpdateAnswerSize + 1 - answerBody.size());
    if (answerBody.size() > maxUpdateAnswerSize) {
        deleteSCUpdate();
        return;
    }
    if (!reply->isFinished())
        return;

    timer->stop();
    reply->disconnect(this);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const std::optional<UpdateOffer> answer = readUpdateAnswer(status, answerBody);
    if (!answer || answer->newestVersion == currentVersion) {
        deleteSCUpdate();
        return;
    }
    offer = *answer;
    emit updateAvailable();
}

void SCUpdate::openUpdateWindow()
{
    auto *window = new UpdateWindow(offer.newestVersion);
    window->show();
    connect(window, &QObject::destroyed, this, &SCUpdate::deleteSCUpdate);
    connect(window, &UpdateWindow::updateAccepted, this, &SCUpdate::downloadUpdate);
}

void SCUpdate::downloadUpdate()
{
    if (isOpenableInstallerUrl(offer.installer))
        QDesktopServices::openUrl(offer.installer);
    deleteSCUpdate();
}

void SCUpdate::deleteSCUpdate()
{
    // The reply or the timer may be delivering the signal that got us here, so the deletion
    // waits for the event loop. Until then nothing of this check may act again.
    timer->stop();
    if (reply)
        reply->disconnect(this);
    deleteLater();
}
