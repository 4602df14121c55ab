#pragma once

#include "childprocess.h"
#include "netlab.h"

#include <QTest>

// Test steps that set up private networks and fail the test, with the reason, when they cannot.

#define ENTER_NEW_NAMESPACE(loopbackUp)                                                            \
    do {                                                                                           \
        QString error;                                                                             \
        QVERIFY2(NetLab::enterNewNamespace(loopbackUp, &error), qPrintable(error));                \
    } while (false)

#define ADD_LANS(lab, count)                                                                       \
    do {                                                                                           \
        QString error;                                                                             \
        for (int lan = 0; lan < (count); ++lan)                                                    \
            QVERIFY2((lab).addLan(&error), qPrintable(error));                                     \
    } while (false)

// Starts the device simulator with the given arguments in the peer namespace of a LAN.
#define START_SIMULATOR(variable, lab, lan, ...)                                                   \
    ChildProcess *variable = nullptr;                                                              \
    do {                                                                                           \
        QString error;                                                                             \
        variable = (lab).startSimulator(lan, __VA_ARGS__, &error);                                 \
        QVERIFY2(variable, qPrintable(error));                                                     \
    } while (false)

// Runs `ip` with the given arguments in the test's own namespace.
#define IP(...)                                                                                    \
    do {                                                                                           \
        QString error;                                                                             \
        QVERIFY2(NetLab::runIp(QStringList(__VA_ARGS__), &error), qPrintable(error));              \
    } while (false)
