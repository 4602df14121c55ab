#pragma once

#include <QByteArray>
#include <QtGlobal>

class QHostAddress;
class QString;

// The make-up of a flood: of every distinct + duplicate + malformed datagrams in a row, the
// first distinct carry new serial numbers, the next duplicate repeat one of the last thousand
// serial numbers sent, and the rest are not answers at all.
struct FloodMix
{
    int distinct = 1;
    int duplicate = 0;
    int malformed = 0;
};

enum class FloodKind { Distinct, Duplicate, Malformed };

// The index-th datagram of a flood, the same for the same index and mix. Malformed ones are
// random bytes, answers one byte short or long, with a lowercase marker or a tab for a space,
// and the request itself.
QByteArray floodDatagram(quint64 index, const FloodMix &mix, FloodKind *kind);

// Sends the datagrams of a flood to target without waiting for any request: count at most, for
// durationMs at most (0: no limit), at rate per second (0: as fast as possible). Prints how many
// were sent; false if sending fails for good.
bool flood(const QHostAddress &source, quint16 sourcePort, const QHostAddress &target,
           quint16 targetPort, quint64 count, int durationMs, int rate, const FloodMix &mix,
           QString *error);
