#include "framework/shell.h"

#include "framework/user_settings.h"

#include <ole2.h>

namespace {

// Writes one default value (or named value) below HKCU\Software\Classes;
// false on any failure.
bool WriteClassValue(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
    return WriteUserString(L"Software\\Classes\\" + subKey, name ? name : L"", value);
}

std::wstring ReadClassDefault(const std::wstring& subKey) {
    std::wstring value;
    return ReadUserString(L"Software\\Classes\\" + subKey, L"", value) ? value : std::wstring();
}

} // namespace

std::wstring GetShortPath(const std::wstring& path) {
    DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0)
        return path;
    std::wstring shortPath(needed, L'\0');
    DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (got == 0 || got >= needed)
        return path;
    shortPath.resize(got);
    return shortPath;
}

int RegisterShellFileType(const CShellFileType& type) {
    if (type.progId.empty())
        return 1;
    int failures = 0;
    auto put = [&failures](const std::wstring& key, const wchar_t* name, const std::wstring& v) {
        if (!WriteClassValue(key, name, v))
            ++failures;
    };
    const std::wstring program = GetShortPath(type.programPath);
    const std::wstring& id = type.progId;
    put(id, nullptr, type.displayName);
    put(id + L"\\DefaultIcon", nullptr, program + L"," + std::to_wstring(type.iconIndex));
    put(id + L"\\shell\\open\\command", nullptr, program + L" \"%1\"");
    put(id + L"\\shell\\print\\command", nullptr, program + L" /p \"%1\"");
    put(id + L"\\shell\\printto\\command", nullptr,
        program + L" /pt \"%1\" \"%2\" \"%3\" \"%4\"");
    if (!type.extension.empty()) {
        // Another program's association is left alone.
        std::wstring current = ReadClassDefault(type.extension);
        if (current.empty() || current == id) {
            put(type.extension, nullptr, id);
            put(type.extension + L"\\ShellNew", L"NullFile", L"");
        }
    }
    return failures;
}

// ---------------------------------------------------------------- OLE

COleInit::COleInit() : m_bOk(SUCCEEDED(OleInitialize(nullptr))) {}

COleInit::~COleInit() {
    if (m_bOk)
        OleUninitialize();
}

namespace {

// Accepts nothing: every drag over the window shows the no-drop cursor.
class NoDropTarget final : public IDropTarget {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
            *ppv = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        return Refuse(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        return Refuse(effect);
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        return Refuse(effect);
    }

private:
    static HRESULT Refuse(DWORD* effect) {
        if (effect)
            *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    ULONG m_refs = 1;
};

} // namespace

bool CNoDropTarget::Register(HWND hWnd) {
    Revoke();
    auto* target = new NoDropTarget(); // one reference, ours
    if (FAILED(RegisterDragDrop(hWnd, target))) {
        target->Release();
        return false;
    }
    m_hWnd = hWnd;
    m_pTarget = target;
    return true;
}

void CNoDropTarget::Revoke() {
    if (!m_pTarget)
        return;
    if (m_hWnd && IsWindow(m_hWnd))
        RevokeDragDrop(m_hWnd);
    static_cast<NoDropTarget*>(m_pTarget)->Release();
    m_pTarget = nullptr;
    m_hWnd = nullptr;
}
