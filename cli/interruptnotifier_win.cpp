#include "interruptnotifier.h"

#include <atomic>
#include <QMetaObject>
#include <windows.h>

namespace {

std::atomic<InterruptNotifier *> current{nullptr};
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
    InterruptNotifier *notifier = current;
    if (caught[index].exchange(true) || !notifier)
        return FALSE;
    QMetaObject::invokeMethod(notifier, &InterruptNotifier::interrupted, Qt::QueuedConnection);
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
    current = this;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptNotifier::~InterruptNotifier()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    current = nullptr;
}
