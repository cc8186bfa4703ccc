#pragma once
// The progress a top-level window shows on its taskbar button: a bar in the
// normal or the error colour with a value, or none. The frame owns one; the
// real one goes to the shell's taskbar list, tests put a recorder in its
// place. All calls are for the window's own thread.
#include <windows.h>

#include <cstdint>
#include <memory>

class ITaskbarProgress {
public:
    enum class State { None, Normal, Error };
    virtual ~ITaskbarProgress() = default;
    virtual void SetState(State state) = 0;
    // `done` out of `total`; shown while the state is not None.
    virtual void SetValue(std::uint64_t done, std::uint64_t total) = 0;
    // The shell has (re)made the window's button ("TaskbarButtonCreated",
    // e.g. after the shell restarted): whatever was shown is shown again.
    virtual void ButtonCreated() {}
};

// The shell's taskbar list for `hWnd`. The interface is asked for at first
// use and again after each ButtonCreated; where the system cannot give it
// (no taskbar, COM not started on this thread), every call does nothing.
std::unique_ptr<ITaskbarProgress> CreateTaskbarProgress(HWND hWnd);
// The registered message the shell sends a top-level window once its
// taskbar button exists.
UINT TaskbarButtonCreatedMessage();
