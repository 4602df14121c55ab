#include "scupdate.h"

#include "printabletext.h"
#include "updatelog.h"
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
    connect(timer, &QTimer::timeout, this, [this] {
        qCInfo(lcUpdate, "no whole answer within %d ms, no offer", answerTimeLimitMs);
        deleteSCUpdate();
    });
    timer->start(answerTimeLimitMs);
    qCInfo(lcUpdate, "asking %s for the newest version",
           qPrintable(updateUrl.toString(QUrl::RemoveUserInfo)));
}

void SCUpdate::updateResponse()
{
    // The network may split the answer anywhere, so it is collected until the reply has
    // finished and judged once, as a whole.
    answerBody += reply->read(maxUpdateAnswerSize + 1 - answerBody.size());
    if (answerBody.size() > maxUpdateAnswerSize) {
        qCInfo(lcUpdate, "answer larger than %d bytes, no offer", int(maxUpdateAnswerSize));
        deleteSCUpdate();
        return;
    }
    if (!reply->isFinished())
        return;

    timer->stop();
    reply->disconnect(this);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const std::optional<UpdateOffer> answer = readUpdateAnswer(status, answerBody);
    if (!answer) {
        qCInfo(lcUpdate, "answer not usable (HTTP status %d, %d bytes, %s), no offer", status,
               int(answerBody.size()), qUtf8Printable(printableText(reply->errorString())));
        deleteSCUpdate();
        return;
    }
    if (answer->newestVersion == currentVersion) {
        qCInfo(lcUpdate, "version %s is the newest", qPrintable(currentVersion));
        deleteSCUpdate();
        return;
    }
    qCInfo(lcUpdate, "version %s offered", qUtf8Printable(printableText(answer->newestVersion)));
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
    if (isOpenableInstallerUrl(offer.installer)) {
        qCInfo(lcUpdate, "opening the installer %s",
               qUtf8Printable(printableText(offer.installer.toString())));
        QDesktopServices::openUrl(offer.installer);
    } else {
        qCInfo(lcUpdate, "installer address %s not opened",
               qUtf8Printable(printableText(offer.installer.toString())));
    }
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
