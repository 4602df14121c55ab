#pragma once

class QNetworkAddressEntry;

// True for an address entry whose text is IPv4 in dotted form: a "." at index 1, 2 or 3.
// Interface flags are not consulted, so loopback, link-local and down interfaces pass too.
bool isIPv4Entry(const QNetworkAddressEntry &entry);
