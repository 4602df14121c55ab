// The discovery answer as any host on the network may send it: any bytes from any sender.
// Input: one byte whose lowest bit picks an IPv6 sender (16 address bytes) over an IPv4 one
// (4 bytes), the sender's address bytes, then the datagram.
#include "discoverydatagram.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <QHostAddress>

namespace {

QHostAddress senderFrom(const std::uint8_t *bytes, bool ipv6)
{
    if (ipv6)
        return QHostAddress(bytes);
    return QHostAddress(quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 |
                        quint32(bytes[3]));
}

// A byte of the answer read as a signed 8-bit value and widened to a 16-bit code unit.
ushort widened(char byte)
{
    return static_cast<ushort>(static_cast<qint16>(static_cast<qint8>(byte)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool ipv6 = data[0] & 1;
    const std::size_t addressSize = ipv6 ? 16 : 4;
    std::uint8_t address[16] = {};
    const std::size_t given = std::min(addressSize, size - 1);
    std::memcpy(address, data + 1, given);
    const QHostAddress sender = senderFrom(address, ipv6);
    const std::size_t offset = 1 + given;
    const QByteArray datagram(reinterpret_cast<const char *>(data + offset),
                              static_cast<int>(size - offset));

    const bool wellFormed = datagram.size() == 32 && datagram.startsWith("ACK") &&
                            datagram.at(3) == ' ' && datagram.at(14) == ' ';
    const std::optional<DeviceRecord> record = parseAnswer(datagram, sender);
    FUZZ_CHECK(record.has_value() == wellFormed);
    FUZZ_CHECK(isAnswer(datagram) == wellFormed);
    if (!record)
        return 0;

    FUZZ_CHECK(record->serialNumber.size() == 10);
    FUZZ_CHECK(record->macAddress.size() == 17);
    FUZZ_CHECK(record->ipAddress == sender.toString());
    for (int i = 0; i < 10; ++i)
        FUZZ_CHECK(record->serialNumber.at(i).unicode() == widened(datagram.at(4 + i)));
    for (int i = 0; i < 17; ++i)
        FUZZ_CHECK(record->macAddress.at(i).unicode() == widened(datagram.at(15 + i)));
    return 0;
}
