#pragma once

// Windows keep their sizes in device-independent pixels and are scaled by the screen's
// pixel ratio; images come from their @2x files where the screen needs them. The settings
// take effect only when made before the application object exists.
namespace HighDpi {

void enable();

} // namespace HighDpi
