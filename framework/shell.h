#pragma once
// The program's ties to the Windows shell and OLE:
//   - registration of a document type for the current user (HKCU\Software\Classes,
//     which needs no administrator rights), and for the machine where the shell
//     does not see the user's entries;
//   - a drop target that accepts no data (a view that wants no OLE drops);
//   - OLE initialisation for the life of an object.
#include <windows.h>

#include <string>

// What the shell needs to know about one document type.
struct CShellFileType {
    std::wstring progId;      // e.g. "Velmora.Document"
    std::wstring displayName; // e.g. "Torvane Brenlow.Document"
    std::wstring extension;   // e.g. ".torvane"
    std::wstring programPath; // path of the program (its short form is registered)
    int iconIndex = 0;        // icon in the program file
};

// Writes the progid with display name, DefaultIcon ("<program>,<index>") and the
// shell commands open ("<program> "%1""), print (/p) and printto (/pt with %1..%4);
// maps the extension to the progid, with an empty new-file template (value
// "NullFile"), when the extension has no association yet or already this one.
// Every failure to write one entry is ignored; returns how many failed.
// Written for the current user; when the shell then does not answer this
// program's open command for the extension, the same entries go to the
// machine's classes too where that is permitted (failures there are not counted).
int RegisterShellFileType(const CShellFileType& type);
// The open command the shell runs for files with `extension` (as registered,
// "%1" not filled in); empty when the shell knows none.
std::wstring QueryShellOpenCommand(const std::wstring& extension);
// The short (8.3) form of `path`, or `path` itself when there is none.
std::wstring GetShortPath(const std::wstring& path);

// OLE for the life of the object (OleInitialize / OleUninitialize).
class COleInit {
public:
    COleInit();
    ~COleInit();
    COleInit(const COleInit&) = delete;
    COleInit& operator=(const COleInit&) = delete;
    bool Succeeded() const { return m_bOk; }

private:
    bool m_bOk;
};

// A registered OLE drop target that refuses every drop (DROPEFFECT_NONE).
class CNoDropTarget {
public:
    CNoDropTarget() = default;
    ~CNoDropTarget() { Revoke(); }
    CNoDropTarget(const CNoDropTarget&) = delete;
    CNoDropTarget& operator=(const CNoDropTarget&) = delete;
    // Needs OLE on this thread. False when registration failed.
    bool Register(HWND hWnd);
    void Revoke();

private:
    HWND m_hWnd = nullptr;
    void* m_pTarget = nullptr; // the COM object, one reference held while registered
};
