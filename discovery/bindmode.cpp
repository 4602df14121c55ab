#include "bindmode.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

bool runningUnderWine()
{
#ifdef Q_OS_WIN
    // Wine's own system library names its version; Windows' has no such function.
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

QAbstractSocket::BindMode discoveryBindMode()
{
    static const bool wine = runningUnderWine();
    if (wine)
        return QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    return QAbstractSocket::DefaultForPlatform;
}

bool bindErrorMeansPortTaken(QAbstractSocket::SocketError error)
{
#ifdef Q_OS_WIN
    if (error == QAbstractSocket::SocketAccessError)
        return true;
#endif
    return error == QAbstractSocket::AddressInUseError;
}
