#pragma once

#include "clioptions.h"

#include <QString>

struct DeviceRecord;

// The output of one run in the chosen format, piece by piece: what comes before the first
// device, each device as it is listed, and what closes the output. Every piece is whole lines
// except in JSON, whose array elements are separated as the next one comes.
class DeviceWriter
{
public:
    explicit DeviceWriter(OutputFormat format);

    QString begin();
    QString device(const DeviceRecord &record);
    QString end();

private:
    OutputFormat format;
    int written = 0;
};
