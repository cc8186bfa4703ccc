// The program's version, the one place it is set: read by the resource
// script's version block, by the tests that check what the About box shows,
// and by the build (cmake/version.cmake) for the installer and the zip.
#pragma once
#define TB_VERSION_MAJOR 1
#define TB_VERSION_MINOR 0
#define TB_VERSION_PATCH 0
#define TB_VERSION_BUILD 0
#define TB_VERSION_TEXT "1.0.0.0"
