#include "updateanswer.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

std::optional<UpdateOffer> readUpdateAnswer(int httpStatus, const QByteArray &body)
{
    if (httpStatus < 200 || httpStatus > 299 || body.size() > maxUpdateAnswerSize)
        return std::nullopt;

    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject answer = document.object();

    const QJsonValue newestVersion = answer.value(QLatin1String("newestVersion"));
    if (!newestVersion.isString() || newestVersion.toString().isEmpty())
        return std::nullopt;

    UpdateOffer offer;
    offer.newestVersion = newestVersion.toString();
    offer.installer = QUrl(answer.value(QLatin1String("installer")).toString(), QUrl::TolerantMode);
    return offer;
}

bool isOpenableInstallerUrl(const QUrl &url)
{
    const QString scheme = url.scheme();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    return web && url.isValid() && !url.host().isEmpty();
}
