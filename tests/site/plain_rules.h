#pragma once
// Plain, step-by-step forms of the page rules, kept as the reference the fast
// code is compared with (tests, fuzz harness, benchmark): the harvester copies
// the remaining text at every cut and searches every collected address, the
// page read decodes every 50-byte piece on its own.
#include "framework/codepage.h"

#include <cstring>
#include <string>
#include <vector>

inline void PlainWatchLinks(const std::wstring& page, const std::wstring& root,
                            std::vector<std::wstring>& links) {
    links.clear();
    std::wstring rest = page;
    for (;;) {
        const std::size_t p = rest.find(L"\"/watch?v=");
        if (p == std::wstring::npos)
            return;
        rest = rest.substr(p + 2);
        const std::size_t q = rest.find(L'"');
        if (q == std::wstring::npos)
            return;
        const std::wstring id = rest.substr(8, 11);
        bool found = false;
        for (std::size_t i = 0; i < links.size(); ++i)
            if (links[i].find(id) != std::wstring::npos)
                found = true;
        if (!found)
            links.push_back(root + rest.substr(0, q));
        rest = q + 2 <= rest.size() ? rest.substr(q + 2) : std::wstring();
    }
}

inline std::wstring PlainPageText(const std::string& body) {
    std::wstring text;
    for (std::size_t at = 0; at < body.size(); at += 50) {
        const std::size_t n = std::min<std::size_t>(50, body.size() - at);
        const void* zero = std::memchr(body.data() + at, 0, n);
        const std::size_t keep =
            zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - (body.data() + at))
                 : n;
        AppendAnsiAsWide(text, body.data() + at, keep, AnsiSource::Thread);
    }
    return text;
}
