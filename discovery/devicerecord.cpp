#include "devicerecord.h"

QString networkText(const DeviceRecord &record)
{
    return record.localAddress.toString() + QLatin1Char('/') + QString::number(record.prefixLength);
}
