#pragma once

#include <QtGlobal>

// The most resident memory this process has held so far, in KiB; -1 if unknown.
qint64 peakResidentKiB();
