#include "board/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

OsVersion QueryOsVersion() {
#ifdef _WIN32
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    if (!GetVersionExA(&info)) return {0, 0, NonWindowsPlatform};
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwPlatformId};
#else
    return {0, 0, NonWindowsPlatform};
#endif
}
