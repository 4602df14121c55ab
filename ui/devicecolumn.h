#pragma once

// The device table's columns, in their order on screen. The CSV file, the clipboard and the
// window's actions all name them from here.
namespace DeviceColumn {
enum : int {
    Serial,
    Ip,
    Mac,
    Count,
};
} // namespace DeviceColumn
