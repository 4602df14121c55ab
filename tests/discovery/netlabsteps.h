#pragma once

#include "childprocess.h"
#include "netlab.h"

#include <QTest>

// The steps of a test on private networks, each failing the test function with its reason.

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
