#include "framework/shell.h"

#include "framework/registry.h"

#include <ole2.h>
#include <shlwapi.h>

#include <cwchar>

namespace {

// One classes branch: the user's (HKCU\Software\Classes) or the machine's.
struct ClassesHive {
    CRegKey::Root root;

    bool Write(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) const {
        CRegKey key;
        return key.Create(L"Software\\Classes\\" + subKey, root) &&
               key.SetString(name ? name : L"", value);
    }
    std::wstring ReadDefault(const std::wstring& subKey) const {
        CRegKey key;
        std::wstring value;
        if (!key.Open(L"Software\\Classes\\" + subKey, false, root) ||
            !key.QueryString(L"", value, 64 * 1024))
            return {};
        return value;
    }
};

std::wstring OpenCommand(const std::wstring& program) {
    return program + L" \"%1\"";
}

// Writes the progid, its commands and (when free or already ours) the extension
// into one classes branch; returns how many entries failed.
int WriteFileType(const ClassesHive& hive, const CShellFileType& type,
                  const std::wstring& program) {
    int failures = 0;
    auto put = [&](const std::wstring& key, const wchar_t* name, const std::wstring& v) {
        if (!hive.Write(key, name, v))
            ++failures;
    };
    const std::wstring& id = type.progId;
    put(id, nullptr, type.displayName);
    put(id + L"\\DefaultIcon", nullptr, program + L"," + std::to_wstring(type.iconIndex));
    put(id + L"\\shell\\open\\command", nullptr, OpenCommand(program));
    put(id + L"\\shell\\print\\command", nullptr, program + L" /p \"%1\"");
    put(id + L"\\shell\\printto\\command", nullptr, program + L" /pt \"%1\" \"%2\" \"%3\" \"%4\"");
    if (!type.extension.empty()) {
        // Another program's association is left alone.
        std::wstring current = hive.ReadDefault(type.extension);
        if (current.empty() || current == id) {
            put(type.extension, nullptr, id);
            put(type.extension + L"\\ShellNew", L"NullFile", L"");
        }
    }
    return failures;
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

std::wstring QueryShellOpenCommand(const std::wstring& extension) {
    // Commands are short, but a path may be long: one retry with the size asked for.
    std::wstring command(MAX_PATH * 2, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(command.size());
        HRESULT hr = AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, extension.c_str(),
                                       L"open", command.data(), &size);
        if (hr == S_OK) {
            command.resize(size > 0 ? size - 1 : 0);
            if (auto end = command.find(L'\0'); end != std::wstring::npos)
                command.resize(end);
            return command;
        }
        if (hr != E_POINTER || size <= command.size() || size > 32768)
            return {};
        command.assign(size, L'\0');
    }
    return {};
}

int RegisterShellFileType(const CShellFileType& type) {
    if (type.progId.empty())
        return 1;
    const std::wstring program = GetShortPath(type.programPath);
    int failures = WriteFileType(ClassesHive{CRegKey::CurrentUser}, type, program);
    // Windows merges the user's classes into the ones the shell reads; a system
    // that does not (Wine) would otherwise never open a project on a
    // double-click. Where the shell still does not open the extension with this
    // program, the machine's classes get the same entries, as far as the user
    // may write there.
    if (!type.extension.empty() &&
        _wcsicmp(QueryShellOpenCommand(type.extension).c_str(), OpenCommand(program).c_str()) != 0)
        WriteFileType(ClassesHive{CRegKey::LocalMachine}, type, program);
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
