#include "site/extract.h"

#include <cstdint>
#include <string_view>

namespace {

constexpr std::wstring_view kIdMarker = L"\"video_id\"";
constexpr std::size_t kIdOffset = 13, kIdLength = 11;
constexpr std::wstring_view kTokenMarker = L"\"t\"";
constexpr std::size_t kTokenOffset = 6, kTokenLength = 44;
constexpr std::wstring_view kTitleStart = L"<title>";
constexpr std::wstring_view kTitleEnd = L"</title>";
constexpr std::size_t kTitleSkip = 17;

constexpr std::wstring_view kLinkMarker = L"\"/watch?v=";
constexpr std::size_t kLinkSkip = 2; // the quote and the slash
constexpr std::size_t kLinkIdOffset = 8, kLinkIdLength = 11;

// Characters from `pos`, `count` of them, cut short at the end; empty past it.
std::wstring_view Part(std::wstring_view text, std::size_t pos, std::size_t count) {
    return pos >= text.size() ? std::wstring_view() : text.substr(pos, count);
}

// Every 11-character window of the collected addresses, in a set keyed by
// content, so "does any address contain this id" costs one lookup instead of a
// search through every address.
class WindowSet {
public:
    explicit WindowSet(std::size_t width) : m_width(width) { m_slots.assign(1024, kEmpty); }

    // Adds the windows of `text` (already appended to Store()) starting at
    // positions [from, to) of the store.
    void AddWindows(std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; ++at)
            Insert(at);
    }
    bool Contains(std::wstring_view key) const {
        const std::uint64_t h = Hash(key);
        for (std::size_t i = h & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            const std::size_t slot = m_slots[i];
            if (slot == kEmpty)
                return false;
            if (Window(slot) == key)
                return true;
        }
    }
    std::wstring& Store() { return m_store; }

private:
    static constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);

    std::wstring_view Window(std::size_t at) const {
        return std::wstring_view(m_store).substr(at, m_width);
    }
    static std::uint64_t Hash(std::wstring_view s) {
        std::uint64_t h = 0xCBF29CE484222325ull;
        for (wchar_t c : s)
            h = (h ^ static_cast<std::uint32_t>(c)) * 0x100000001B3ull;
        return h ^ (h >> 29);
    }
    void Insert(std::size_t at) {
        if ((m_count + 1) * 2 > m_slots.size())
            Grow();
        const std::wstring_view key = Window(at);
        const std::uint64_t h = Hash(key);
        for (std::size_t i = h & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            if (m_slots[i] == kEmpty) {
                m_slots[i] = at;
                ++m_count;
                return;
            }
            if (Window(m_slots[i]) == key)
                return; // the same text is already known
        }
    }
    void Grow() {
        std::vector<std::size_t> old(m_slots.size() * 2, kEmpty);
        old.swap(m_slots);
        for (std::size_t slot : old) {
            if (slot == kEmpty)
                continue;
            std::size_t i = Hash(Window(slot)) & (m_slots.size() - 1);
            while (m_slots[i] != kEmpty)
                i = (i + 1) & (m_slots.size() - 1);
            m_slots[i] = slot;
        }
    }

    std::size_t m_width;
    std::wstring m_store;
    std::vector<std::size_t> m_slots;
    std::size_t m_count = 0;
};

} // namespace

std::wstring VideoUrlFromPage(const std::wstring& page, const std::wstring& root,
                              std::wstring& title) {
    title.clear();
    const std::wstring_view text(page);
    std::wstring_view id, token;
    if (const std::size_t p = text.find(kIdMarker); p != std::wstring_view::npos)
        id = Part(text, p + kIdOffset, kIdLength);
    if (const std::size_t q = text.find(kTokenMarker); q != std::wstring_view::npos)
        token = Part(text, q + kTokenOffset, kTokenLength);
    const std::size_t a = text.find(kTitleStart);
    const std::size_t b = text.find(kTitleEnd);
    if (a != std::wstring_view::npos && b != std::wstring_view::npos && b > a && b - a > kTitleSkip)
        title.assign(text.substr(a + kTitleSkip, b - a - kTitleSkip));
    if (token.empty())
        return {};
    std::wstring url = root;
    url += L"get_video?video_id=";
    url += id;
    url += L"&t=";
    url += token;
    url += L"%3d";
    return url;
}

void WatchLinksFromPage(const std::wstring& page, const std::wstring& root,
                        std::vector<std::wstring>& links) {
    links.clear();
    const std::wstring_view text(page);
    // Addresses are stored one after another; windows are only ever taken
    // inside one address, and those wholly inside the root only once.
    WindowSet windows(kLinkIdLength);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t marker = text.find(kLinkMarker, pos);
        if (marker == std::wstring_view::npos)
            return;
        const std::size_t start = marker + kLinkSkip; // "watch?v=..."
        const std::size_t quote = text.find(L'"', start);
        if (quote == std::wstring_view::npos)
            return;
        const std::wstring_view id = Part(text, start + kLinkIdOffset, kLinkIdLength);
        bool repeat = false;
        if (id.size() == kLinkIdLength) {
            repeat = windows.Contains(id);
        } else {
            // Only the page's last link can have a short id: search plainly.
            for (const std::wstring& link : links)
                if (link.find(id) != std::wstring::npos) {
                    repeat = true;
                    break;
                }
        }
        if (!repeat) {
            std::wstring address = root;
            address += text.substr(start, quote - start);
            std::wstring& store = windows.Store();
            const std::size_t base = store.size();
            store += address;
            if (address.size() >= kLinkIdLength) {
                const std::size_t skipRoot = links.empty() || root.size() < kLinkIdLength
                                                 ? 0
                                                 : root.size() - kLinkIdLength + 1;
                windows.AddWindows(base + skipRoot, base + address.size() - kLinkIdLength + 1);
            }
            links.push_back(std::move(address));
        }
        pos = quote + 2 <= text.size() ? quote + 2 : text.size();
    }
}
