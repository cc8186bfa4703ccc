#pragma once
// Accelerator tables: keys that issue commands. The lookup is portable (and
// tested natively); CAccelTable loads a table from the program's resources and
// turns a key message into a WM_COMMAND sent to a window (Win32).
//
// Translation sends the command even to a disabled window: inside the system's
// modal loops (message boxes, common dialogs) the main window is disabled, and
// the keys are meant to act there too. The frame still refuses a command that is
// disabled by the routing rules.
#include <cstdint>
#include <vector>

struct CAccelEntry {
    enum : std::uint8_t { virtKey = 0x01, shift = 0x04, control = 0x08, alt = 0x10 };
    std::uint8_t fVirt;
    std::uint16_t key;
    std::uint16_t cmd;
};

// The command for a key, or 0. `isKeyDown`: a key-down message with a virtual key
// (matched against virtKey entries with the exact modifier set); otherwise a
// character message (matched against character entries; Alt must match).
unsigned FindAccelCommand(const std::vector<CAccelEntry>& table, bool isKeyDown, unsigned key,
                          bool shiftDown, bool controlDown, bool altDown);

#ifdef _WIN32
#include <windows.h>

class CAccelTable {
public:
    CAccelTable() = default;
    bool Load(UINT nIDResource);  // false when the program has no such table
    bool IsLoaded() const { return !m_entries.empty(); }
    // For WM_KEYDOWN / WM_SYSKEYDOWN / WM_CHAR / WM_SYSCHAR: when the key is in the
    // table, sends WM_COMMAND (code 1, as accelerators do) to `hTarget` and
    // returns true.
    bool Translate(HWND hTarget, const MSG& msg) const;
    const std::vector<CAccelEntry>& Entries() const { return m_entries; }

private:
    std::vector<CAccelEntry> m_entries;
};
#endif
