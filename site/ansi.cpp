#include "site/page_reader.h"

#ifndef _WIN32
// The native build decodes Windows-1252, one byte per character.
bool ThreadAnsiIsSingleByte() {
    return true;
}
#endif
