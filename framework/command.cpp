#include "framework/command.h"

bool CCmdTarget::OnCmdMsg(unsigned id, CCmdUI* pCmdUI) { return DispatchOwn(id, pCmdUI); }

bool CCmdTarget::DispatchOwn(unsigned id, CCmdUI* pCmdUI) {
    if (pCmdUI) {
        if (auto it = m_enablers.find(id); it != m_enablers.end()) {
            pCmdUI->m_bEnableChanged = false;
            it->second(pCmdUI);
            // An enabling handler that said nothing leaves the command as its
            // handler would: enabled when there is one.
            if (!pCmdUI->m_bEnableChanged)
                pCmdUI->Enable(m_handlers.count(id) != 0);
            return true;
        }
        if (m_handlers.count(id)) {
            pCmdUI->Enable(true);
            return true;
        }
        return false;
    }
    if (auto it = m_handlers.find(id); it != m_handlers.end()) {
        // Copy first: a handler may replace its own table entry while it runs.
        auto handler = it->second;
        handler();
        return true;
    }
    return false;
}

void CCmdTarget::UpdateCmdUI(CCmdUI& ui) {
    ui.m_bEnableChanged = false;
    if (!OnCmdMsg(ui.m_nID, &ui) || !ui.m_bEnableChanged)
        ui.Enable(false);
}

bool CCmdTarget::IsCommandEnabled(unsigned id) {
    CCmdUI probe(id);
    UpdateCmdUI(probe);
    return probe.m_bEnabled;
}

bool CCmdTarget::ExecuteCommand(unsigned id) {
    if (!IsCommandEnabled(id))
        return false;
    return OnCmdMsg(id, nullptr);
}
