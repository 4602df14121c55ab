#pragma once

#include <QtGlobal>

class QHostAddress;
class QString;

// Sends answers with distinct generated serial numbers to target without waiting for any
// request: count answers at most, for durationMs at most (0: no limit), at rate answers per
// second (0: as fast as possible). Prints how many were sent; false if sending fails for good.
bool flood(const QHostAddress &source, quint16 sourcePort, const QHostAddress &target,
           quint16 targetPort, quint64 count, int durationMs, int rate, QString *error);
