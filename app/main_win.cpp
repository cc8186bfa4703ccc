// The program's entry point: one application object for the life of the process.
#include "app/pelgrane_app.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CPelgraneApp app;
    return app.RunApplication();
}
