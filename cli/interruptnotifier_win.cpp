#include "interruptnotifier.h"

#include <atomic>
#include <mutex>
#include <QMetaObject>
#include <windows.h>

namespace {

// The handler runs on a thread of Windows' own, which removing it does not wait for: it uses
// the notifier only while holding the lock, and the destructor clears it under the same lock.
std::mutex currentLock;
InterruptNotifier *current = nullptr;
// One each for Ctrl+C, Ctrl+Break and the console being closed.
std::atomic_bool caught[3];

BOOL WINAPI onConsoleEvent(DWORD event)
{
    int index = -1;
    switch (event) {
    case CTRL_C_EVENT:
        index = 0;
        break;
    case CTRL_BREAK_EVENT:
        index = 1;
        break;
    case CTRL_CLOSE_EVENT:
        index = 2;
        break;
    default:
        return FALSE;
    }
    // A second one of the same kind ends the process at once, should the first one's clean end
    // hang; so does one that comes after the notifier is gone.
    {
        const std::lock_guard<std::mutex> lock(currentLock);
        if (caught[index].exchange(true) || !current)
            return FALSE;
        // Queued: an event that the notifier's end finds still waiting is dropped with it.
        QMetaObject::invokeMethod(current, &InterruptNotifier::interrupted, Qt::QueuedConnection);
    }
    if (event == CTRL_CLOSE_EVENT) {
        // Windows ends the process as soon as this returns: give the event loop its moment.
        ::Sleep(2000);
    }
    return TRUE;
}

} // namespace

InterruptNotifier::InterruptNotifier(QObject *parent)
    : QObject(parent)
{
    for (std::atomic_bool &flag : caught)
        flag = false;
    {
        const std::lock_guard<std::mutex> lock(currentLock);
        current = this;
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptNotifier::~InterruptNotifier()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    const std::lock_guard<std::mutex> lock(currentLock);
    current = nullptr;
}
