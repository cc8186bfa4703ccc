#include "site/page_reader.h"

#include <windows.h>

bool ThreadAnsiIsSingleByte() {
    CPINFO info{};
    return GetCPInfo(CP_THREAD_ACP, &info) && info.MaxCharSize == 1;
}
