// The sort key of the IP column, for any text a record may carry.
// Input: four octets of an address, a byte of zero-padding widths (two bits per group), a byte
// whose lowest bit reads the rest as UTF-16 code units instead of UTF-8, then the text.
#include "fuzzcheck.h"
#include "ipsortkey.h"
#include "literalipkey.h"

#include <cstdint>
#include <cstring>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 6)
        return 0;

    // A dotted quad, with or without leading zeros, is keyed by its address value; anything
    // after a fifth group does not count.
    const quint32 address =
        quint32(data[0]) << 24 | quint32(data[1]) << 16 | quint32(data[2]) << 8 | data[3];
    QString quad;
    for (int group = 0; group < 4; ++group) {
        const int width = 1 + ((data[4] >> (2 * group)) & 3);
        if (group > 0)
            quad += QLatin1Char('.');
        quad += QStringLiteral("%1").arg(data[group], width, 10, QLatin1Char('0'));
    }
    FUZZ_CHECK(ipSortKey(quad) == address);

    const char *rest = reinterpret_cast<const char *>(data + 6);
    const auto restSize = static_cast<int>(size - 6);
    QString text;
    if (data[5] & 1) {
        text.resize(restSize / 2);
        std::memcpy(text.data(), rest, size_t(text.size()) * 2);
    } else {
        text = QString::fromUtf8(rest, restSize);
    }
    FUZZ_CHECK(ipSortKey(text) == literalIpKey(text));
    FUZZ_CHECK(ipSortKey(quad + QLatin1Char('.') + text) == address);
    return 0;
}
