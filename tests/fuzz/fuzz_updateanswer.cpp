// The update server's answer as anything on the way may forge it: any status, any body.
// Input: the status as four bytes (little endian, signed), a byte that pads the body with
// trailing blanks to exactly the size limit (1) or one byte past it (2), then the body.
#include "fuzzcheck.h"
#include "updateanswer.h"

#include <cstdint>
#include <cstring>
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The first and the last byte that is not JSON whitespace, after a UTF-8 byte order mark.
QByteArray outerBytes(const QByteArray &body)
{
    int first = body.startsWith("\xef\xbb\xbf") ? 3 : 0;
    int last = body.size() - 1;
    while (first <= last && isBlank(body.at(first)))
        ++first;
    while (last >= first && isBlank(body.at(last)))
        --last;
    if (first > last)
        return {};
    return QByteArray(1, body.at(first)) + body.at(last);
}

// Qt hands the desktop's launcher the encoded address on a command line that it splits at
// blanks and double quotes. An address to be opened must stay one argument, a web address.
void checkOpenable(const QUrl &url)
{
    if (!isOpenableInstallerUrl(url))
        return;
    const QByteArray encoded = url.toEncoded();
    FUZZ_CHECK(encoded.startsWith("http://") || encoded.startsWith("https://"));
    for (const char c : encoded)
        FUZZ_CHECK(c > ' ' && c != '"' && c != 0x7f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    std::uint32_t status = 0;
    for (int i = 3; i >= 0; --i)
        status = status << 8 | data[i];
    const auto httpStatus = static_cast<int>(status);
    QByteArray body(reinterpret_cast<const char *>(data + 5), static_cast<int>(size - 5));
    checkOpenable(QUrl(QString::fromUtf8(body), QUrl::TolerantMode));
    const int padding = data[4];
    if (padding == 1 || padding == 2) {
        const int target = maxUpdateAnswerSize + padding - 1;
        if (body.size() < target)
            body.append(target - body.size(), ' ');
    }

    const std::optional<UpdateOffer> offer = readUpdateAnswer(httpStatus, body);

    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue newest = document.object().value(QLatin1String("newestVersion"));
    const bool expected = httpStatus >= 200 && httpStatus <= 299 &&
                          body.size() <= maxUpdateAnswerSize && document.isObject() &&
                          newest.isString() && !newest.toString().isEmpty();
    FUZZ_CHECK(offer.has_value() == expected);
    if (!offer)
        return 0;
    FUZZ_CHECK(outerBytes(body) == "{}");
    FUZZ_CHECK(offer->newestVersion == newest.toString());
    checkOpenable(offer->installer);
    return 0;
}
