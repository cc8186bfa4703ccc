#include "framework/taskbar.h"

#include <shobjidl.h>

namespace {

// One reference to the shell's taskbar list, released with the object.
class CTaskbarList {
public:
    CTaskbarList() = default;
    ~CTaskbarList() { Release(); }
    CTaskbarList(const CTaskbarList&) = delete;
    CTaskbarList& operator=(const CTaskbarList&) = delete;

    // False when the system has no taskbar list to give.
    bool Create() {
        Release();
        ITaskbarList3* list = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskbarList3, reinterpret_cast<void**>(&list))) ||
            !list)
            return false;
        if (FAILED(list->HrInit())) {
            list->Release();
            return false;
        }
        m_list = list;
        return true;
    }
    void Release() {
        if (m_list)
            m_list->Release();
        m_list = nullptr;
    }
    ITaskbarList3* Get() const { return m_list; }

private:
    ITaskbarList3* m_list = nullptr;
};

class CShellTaskbarProgress : public ITaskbarProgress {
public:
    explicit CShellTaskbarProgress(HWND hWnd) : m_hWnd(hWnd) {}

    void SetState(State state) override {
        m_state = state;
        if (ITaskbarList3* list = List())
            list->SetProgressState(m_hWnd, Flags(state));
    }
    void SetValue(std::uint64_t done, std::uint64_t total) override {
        m_done = done;
        m_total = total;
        if (ITaskbarList3* list = List(); list && m_state != State::None)
            list->SetProgressValue(m_hWnd, done, total);
    }
    void ButtonCreated() override {
        // A new button shows nothing yet, and a list from before a restart
        // of the shell may be dead: take a new one and show it all again.
        m_list.Release();
        m_bTried = false;
        if (m_state == State::None)
            return;
        SetState(m_state);
        SetValue(m_done, m_total);
    }

private:
    static TBPFLAG Flags(State state) {
        switch (state) {
        case State::Normal:
            return TBPF_NORMAL;
        case State::Error:
            return TBPF_ERROR;
        case State::None:
            break;
        }
        return TBPF_NOPROGRESS;
    }
    // Asked for once (until the button is made again), so a system without
    // the interface costs one failed creation, not one per call.
    ITaskbarList3* List() {
        if (!m_bTried) {
            m_bTried = true;
            m_list.Create();
        }
        return m_list.Get();
    }

    HWND m_hWnd;
    CTaskbarList m_list;
    bool m_bTried = false;
    State m_state = State::None;
    std::uint64_t m_done = 0, m_total = 0;
};

} // namespace

std::unique_ptr<ITaskbarProgress> CreateTaskbarProgress(HWND hWnd) {
    return std::make_unique<CShellTaskbarProgress>(hWnd);
}

UINT TaskbarButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}
