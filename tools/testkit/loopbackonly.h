#pragma once

// True when every address of the machine is a loopback address, as inside scripts/isolated:
// whatever is sent then cannot leave the machine.
bool hasOnlyLoopback();
