#include "framework/accel.h"

unsigned FindAccelCommand(const std::vector<CAccelEntry>& table, bool isKeyDown, unsigned key,
                          bool shiftDown, bool controlDown, bool altDown) {
    for (const auto& entry : table) {
        bool virt = (entry.fVirt & CAccelEntry::virtKey) != 0;
        if (virt != isKeyDown || entry.key != key)
            continue;
        bool wantAlt = (entry.fVirt & CAccelEntry::alt) != 0;
        if (wantAlt != altDown)
            continue;
        // Character entries carry their case in the character itself; only
        // virtual-key entries name Shift and Ctrl.
        if (virt) {
            bool wantShift = (entry.fVirt & CAccelEntry::shift) != 0;
            bool wantControl = (entry.fVirt & CAccelEntry::control) != 0;
            if (wantShift != shiftDown || wantControl != controlDown)
                continue;
        }
        return entry.cmd;
    }
    return 0;
}
