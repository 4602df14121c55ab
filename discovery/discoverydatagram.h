#pragma once

#include "devicerecord.h"
#include "localaddress.h"

#include <optional>
#include <QByteArray>
#include <QHostAddress>
#include <QNetworkDatagram>

// Devices listen for the request on this UDP port, and the program's sockets are bound to it.
constexpr quint16 discoveryPort = 44444;

// Every well-formed answer has exactly this many bytes.
constexpr int discoveryAnswerSize = 32;

// The request the program broadcasts: the six bytes "OSTREL", nothing else.
QByteArray discoveryRequest();

// The request as it leaves the socket bound to local: to destination, port 44444, with the
// socket's own address and port as sender and its interface as the way out. Devices answer to
// the sender, so where the system takes these from the datagram (Windows) they must be right.
QNetworkDatagram requestDatagram(const LocalAddress &local,
                                 const QHostAddress &destination = QHostAddress::Broadcast);

// Checks one received datagram and makes the record it describes; the device's address is the
// datagram's sender. Answers of another size or with wrong markers give nothing.
std::optional<DeviceRecord> parseAnswer(const QByteArray &datagram, const QHostAddress &sender);

// The two steps of parseAnswer, for a reader that keeps the sender's text from one datagram to
// the next: the size and marker test, and the record of a datagram that passed it.
bool isAnswer(const QByteArray &datagram);
DeviceRecord answerRecord(const QByteArray &answer, const QString &ipAddress);
