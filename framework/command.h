#pragma once
// Numbered commands and their routing. Every object that can answer commands is
// a CCmdTarget with a small table: per command id an optional handler and an
// optional enabling handler. A command travels along a chain of targets (view,
// document, frame, application); each target's OnCmdMsg offers it to its own
// table and then to the next target. The rules every surface relies on:
//   - a command with a handler and no enabling handler is enabled;
//   - a command that no target on the chain answers is disabled;
//   - a disabled command is never run, whatever surface issued it.
// Portable: no window here, so the rules are tested natively.
#include <functional>
#include <unordered_map>

// The state a surface (menu item, button, ...) asks for before it shows a command.
// Enabling handlers receive it and call Enable; surfaces derive from it to apply
// the answer to themselves.
class CCmdUI {
public:
    explicit CCmdUI(unsigned id = 0) : m_nID(id) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(bool bOn = true) {
        m_bEnabled = bOn;
        m_bEnableChanged = true;
    }
    // 0 unchecked, 1 checked; surfaces that show check marks override it.
    virtual void SetCheck(int nCheck = 1) { m_nCheck = nCheck; }

    unsigned m_nID;
    bool m_bEnabled = false;
    bool m_bEnableChanged = false; // some target answered
    int m_nCheck = 0;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Offers command `id` to this target and then along its chain.
    //   pCmdUI == nullptr: run the first handler found; true when one ran.
    //   pCmdUI != nullptr: let the first target that knows the command set the state
    //   (its enabling handler, or Enable(true) when it has only a handler); true when
    //   a target answered.
    // The base offers the command to this object's own table only; derived classes
    // override it to add the next targets of their chain.
    virtual bool OnCmdMsg(unsigned id, CCmdUI* pCmdUI);

    // Entry points for surfaces, applied to the start of a chain:
    // fills `ui` (disabled when nobody answers).
    void UpdateCmdUI(CCmdUI& ui);
    bool IsCommandEnabled(unsigned id);
    // Runs command `id` when it is enabled; returns true when a handler ran.
    // Errors raised by the handler pass through to the caller (the window layer
    // reports them in one place).
    bool ExecuteCommand(unsigned id);

protected:
    // Fills this object's table; call from the derived constructor, e.g.
    //   OnCommand(ID_FILE_SAVE, &CMyDoc::OnFileSave);
    //   OnUpdateCommand(ID_DOWNLOAD_START, &CMyView::OnUpdateDownload);
    template <class T> void OnCommand(unsigned id, void (T::*pfn)()) {
        T* self = static_cast<T*>(this);
        m_handlers[id] = [self, pfn] { (self->*pfn)(); };
    }
    template <class T> void OnUpdateCommand(unsigned id, void (T::*pfn)(CCmdUI*)) {
        T* self = static_cast<T*>(this);
        m_enablers[id] = [self, pfn](CCmdUI* pCmdUI) { (self->*pfn)(pCmdUI); };
    }
    void OnCommand(unsigned id, std::function<void()> handler) {
        m_handlers[id] = std::move(handler);
    }
    void OnUpdateCommand(unsigned id, std::function<void(CCmdUI*)> enabler) {
        m_enablers[id] = std::move(enabler);
    }

    // This object's own table only (what the base OnCmdMsg does).
    bool DispatchOwn(unsigned id, CCmdUI* pCmdUI);

private:
    std::unordered_map<unsigned, std::function<void()>> m_handlers;
    std::unordered_map<unsigned, std::function<void(CCmdUI*)>> m_enablers;
};
