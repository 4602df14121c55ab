#pragma once

#include <optional>
#include <QString>
#include <QUrl>

class QByteArray;

// What the update server offers: its newest version and where that version's installer is.
struct UpdateOffer
{
    QString newestVersion;
    QUrl installer;
};

// Anything longer than this is not an update answer; the check gives up on it.
constexpr int maxUpdateAnswerSize = 64 * 1024;

// Reads the update server's answer: the HTTP status and the whole body. Only a 2xx answer
// whose body is a JSON object with a non-empty string "newestVersion" is an offer; captive
// portals and proxy error pages are not. A missing or non-string "installer" gives an empty URL.
std::optional<UpdateOffer> readUpdateAnswer(int httpStatus, const QByteArray &body);

// Whether an installer URL may be handed to the desktop. The answer travels over plain HTTP,
// and the desktop runs local programs for schemes such as file: or custom handlers, so only
// web addresses qualify.
bool isOpenableInstallerUrl(const QUrl &url);
