#include "deviceanswer.h"

namespace {

QByteArray fitted(const QByteArray &text, int length)
{
    return text.left(length).leftJustified(length, ' ');
}

} // namespace

QByteArray makeAnswer(const QByteArray &serial, const QByteArray &mac, const AnswerFlaws &flaws)
{
    const char separator = flaws.tabSeparator ? '\t' : ' ';
    QByteArray answer = flaws.lowercaseMarker ? QByteArrayLiteral("ack") : QByteArrayLiteral("ACK");
    answer += separator;
    answer += fitted(serial, 10);
    answer += separator;
    answer += fitted(mac, 17);
    if (flaws.size < answer.size())
        answer.truncate(qMax(0, flaws.size));
    else
        answer.append(flaws.size - answer.size(), '\0');
    return answer;
}

QByteArray generatedSerial(quint32 n)
{
    if (n < 10000000)
        return QByteArrayLiteral("SIM").append(QByteArray::number(n).rightJustified(7, '0'));
    return QByteArray::number(n).rightJustified(10, '0');
}

QByteArray generatedMac(quint32 n)
{
    // Locally administered, so it never collides with a real adapter's address.
    QByteArray mac = QByteArrayLiteral("02:00");
    for (int shift = 24; shift >= 0; shift -= 8) {
        mac += ':';
        mac += QByteArray::number((n >> shift) & 0xff, 16).rightJustified(2, '0');
    }
    return mac;
}
