#pragma once
// The program's string table. Entries of the form "prompt\ntooltip" describe a
// command: the part before the line feed is the prompt shown in the status bar,
// the part after it the short tooltip title. A document template's entry holds
// seven fields separated by line feeds.
#include <string>

// Win32: string `id` from the program's resources; empty when there is none.
std::wstring LoadResString(unsigned id);

// Portable helpers over a loaded text.
std::wstring PromptPart(const std::wstring& entry);  // before the first '\n' (all when none)
std::wstring TooltipPart(const std::wstring& entry); // after the first '\n' (empty when none)
// Field `index` (0-based) of a text whose fields are separated by '\n'; empty
// when the text has fewer fields.
std::wstring GetField(const std::wstring& text, int index);
