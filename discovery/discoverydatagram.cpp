#include "discoverydatagram.h"

#include <cstring>

namespace {

constexpr int serialOffset = 4;
constexpr int serialLength = 10;
constexpr int macOffset = 15;
constexpr int macLength = 17;

// Devices send plain bytes. Each becomes one UTF-16 unit, sign-extended as a signed 8-bit
// value: 0x00 to 0x7f stay ASCII, 0x80 to 0xff become 0xff80 to 0xffff. Nothing is trimmed.
QString answerText(const char *bytes, int length)
{
    QString text(length, Qt::Uninitialized);
    QChar *units = text.data();
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        units[i] = QChar(static_cast<ushort>(byte < 0x80 ? byte : 0xff00 | byte));
    }
    return text;
}

} // namespace

QByteArray discoveryRequest()
{
    return QByteArrayLiteral("OSTREL");
}

std::optional<DeviceRecord> parseAnswer(const QByteArray &datagram, const QHostAddress &sender)
{
    if (!isAnswer(datagram))
        return std::nullopt;
    return answerRecord(datagram, sender.toString());
}

bool isAnswer(const QByteArray &datagram)
{
    if (datagram.size() != discoveryAnswerSize)
        return false;
    // The markers are ASCII; a byte of 0x80 or more becomes a unit above 0xff00 and can never
    // match, so comparing bytes is the same as comparing the converted texts.
    const char *bytes = datagram.constData();
    return std::memcmp(bytes, "ACK", 3) == 0 && bytes[3] == ' ' && bytes[14] == ' ';
}

DeviceRecord answerRecord(const QByteArray &answer, const QString &ipAddress)
{
    const char *bytes = answer.constData();
    DeviceRecord record;
    record.serialNumber = answerText(bytes + serialOffset, serialLength);
    record.ipAddress = ipAddress;
    record.macAddress = answerText(bytes + macOffset, macLength);
    return record;
}

QNetworkDatagram requestDatagram(const LocalAddress &local, const QHostAddress &destination)
{
    QNetworkDatagram datagram(discoveryRequest(), destination, discoveryPort);
    datagram.setInterfaceIndex(static_cast<uint>(local.interfaceIndex));
    datagram.setSender(local.address, discoveryPort);
    return datagram;
}
