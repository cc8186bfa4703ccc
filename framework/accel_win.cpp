#include "framework/accel.h"

bool CAccelTable::Load(UINT nIDResource) {
    m_entries.clear();
    HACCEL hAccel = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDResource));
    if (!hAccel)
        return false;
    int count = CopyAcceleratorTableW(hAccel, nullptr, 0);
    std::vector<ACCEL> raw(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count > 0)
        CopyAcceleratorTableW(hAccel, raw.data(), count);
    // Tables loaded from resources are freed with the module.
    for (const ACCEL& a : raw)
        m_entries.push_back({static_cast<std::uint8_t>(a.fVirt), a.key, a.cmd});
    return !m_entries.empty();
}

bool CAccelTable::Translate(HWND hTarget, const MSG& msg) const {
    if (!hTarget || m_entries.empty())
        return false;
    bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    bool character = msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
    if (!keyDown && !character)
        return false;
    auto down = [](int vk) { return (GetKeyState(vk) & 0x8000) != 0; };
    unsigned cmd = FindAccelCommand(m_entries, keyDown, static_cast<unsigned>(msg.wParam),
                                    down(VK_SHIFT), down(VK_CONTROL), down(VK_MENU));
    if (!cmd)
        return false;
    ::SendMessageW(hTarget, WM_COMMAND, MAKEWPARAM(cmd, 1), 0);
    return true;
}
