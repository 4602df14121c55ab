#pragma once

class QHostAddress;

// Whether a device's address lies inside the network that this computer's address and prefix
// length describe. An address or a prefix length that cannot be judged (null, another
// protocol, a prefix outside 0 to 32) counts as inside: only a sure mismatch is a problem.
bool isInNetwork(const QHostAddress &device, const QHostAddress &local, int prefixLength);
