#pragma once

#include <QAbstractSocket>

// How each search socket binds its address and the discovery port.
//
// Windows and Linux let one program bind the same port on several addresses. Wine (which runs
// the Windows build on Linux) emulates a socket bound to one address with a socket bound to
// every address of that interface, so its second such bind collides with the first unless the
// address may be reused. Only there is reuse asked for: on Windows itself it would let another
// program bind the port as well and take the devices' answers.
QAbstractSocket::BindMode discoveryBindMode();

// Whether this Windows program runs under Wine; always false elsewhere.
bool runningUnderWine();

// Whether a failed bind means that another program holds the port. Windows (and Wine) refuse
// a port held exclusively with an access error; elsewhere that error means a permission.
bool bindErrorMeansPortTaken(QAbstractSocket::SocketError error);
