#pragma once

#include <memory>
#include <QString>
#include <QStringList>
#include <vector>

class ChildProcess;

// Private networks for one test. The test's own thread moves into a new network namespace (the
// host); each LAN is a further namespace, held open by a sleeping child process and joined to
// the host by a veth pair. Nothing here can reach the machine's real network. Works as root and
// in the user namespace that `unshare -rn` gives.
class NetLab
{
public:
    NetLab();
    ~NetLab();

    // Empty when namespaces can be made here, otherwise why not.
    static QString unavailableReason();

    // Moves the calling thread into a new network namespace whose only interface, loopback, is
    // down; with loopbackUp it is brought up.
    static bool enterNewNamespace(bool loopbackUp, QString *error);

    // Adds LAN number n = 1, 2, ...: host address 10.0.n.1/24, peer address 10.0.n.2/24.
    bool addLan(QString *error);
    // Adds network number m (the next after the LANs so far) behind the peer of lan, which then
    // forwards between the two: requests to peerAddress(m) pass it, broadcasts do not.
    // hostAddress(m) is the router's address there; startSimulator(m, ...) runs devices.
    bool addNetworkBehind(int lan, QString *error);
    static QString hostAddress(int lan);
    static QString peerAddress(int lan);

    // Starts the device simulator in the peer namespace of lan and waits until it prints a line
    // starting with readyPrefix.
    ChildProcess *startSimulator(int lan, const QStringList &arguments, QString *error,
                                 const QString &readyPrefix = QStringLiteral("listening on "));

    // The device simulator's program file.
    static QString simulatorPath();

    // Runs `ip` with arguments in the calling thread's namespace, as run() does.
    static bool runIp(const QStringList &arguments, QString *error);

    // Runs a command to its end; false with its error output when it fails.
    static bool run(const QString &program, const QStringList &arguments, QString *error);

    // Runs `ip` with arguments inside the peer namespace of lan, e.g. to change its addresses.
    bool runIpInPeer(int lan, const QStringList &arguments, QString *error) const;

private:
    // A namespace held open by a sleeping child; its process ID, or 0.
    qint64 newHolder(QString *error);
    bool inPeer(int lan, const QStringList &command, QString *error) const;
    std::vector<qint64> peerPids;
    // Simulators are stopped before the holders, newest first (see the destructor).
    std::vector<std::unique_ptr<ChildProcess>> processes;
    std::vector<std::unique_ptr<ChildProcess>> holders;
};
