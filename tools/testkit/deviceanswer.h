#pragma once

#include <QByteArray>

// How a simulated device spoils its answer, for tests of the receiving side.
struct AnswerFlaws
{
    int size = 32;                // cut off or padded with zero bytes to this length
    bool lowercaseMarker = false; // "ack" instead of "ACK"
    bool tabSeparator = false;    // tabs where the two spaces belong
};

// The 32-byte answer "ACK <serial> <mac>"; the serial is cut or padded with spaces to 10
// bytes, the MAC text to 17.
QByteArray makeAnswer(const QByteArray &serial, const QByteArray &mac,
                      const AnswerFlaws &flaws = {});

// Serial number and MAC text of the n-th generated device, distinct for every n: "SIM" and
// seven digits below ten million, ten digits above.
QByteArray generatedSerial(quint32 n);
QByteArray generatedMac(quint32 n);
