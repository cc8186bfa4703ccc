#pragma once
// An opener over bytes in memory, handing them out in the read sizes a test
// chooses, with an optional failure part-way.
#include "framework/errors.h"
#include "site/page_reader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

class FakeStream : public IPageStream {
public:
    // `fill(offset, out, count)` gives the body; `portions` caps successive reads
    // (cycled); a read starting at `failAt` raises error 12030.
    FakeStream(std::uint64_t size, std::function<void(std::uint64_t, char*, std::size_t)> fill,
               std::vector<std::size_t> portions, std::uint64_t failAt, int* live)
        : m_size(size), m_fill(std::move(fill)), m_portions(std::move(portions)), m_failAt(failAt),
          m_live(live) {
        ++*m_live;
    }
    ~FakeStream() override { --*m_live; }
    std::size_t Read(char* buffer, std::size_t size) override {
        if (m_at >= m_failAt)
            throw CInternetException(12030, L"The connection with the server was terminated "
                                            L"abnormally");
        std::size_t n = std::min<std::uint64_t>(size, m_size - m_at);
        if (!m_portions.empty())
            n = std::min(n, m_portions[m_reads++ % m_portions.size()]);
        m_fill(m_at, buffer, n);
        m_at += n;
        return n;
    }

private:
    std::uint64_t m_size;
    std::function<void(std::uint64_t, char*, std::size_t)> m_fill;
    std::vector<std::size_t> m_portions;
    std::uint64_t m_failAt;
    int* m_live;
    std::uint64_t m_at = 0;
    std::size_t m_reads = 0;
};

class FakeOpener : public IPageOpener {
public:
    void Page(const std::wstring& url, std::string body, std::vector<std::size_t> portions = {},
              std::uint64_t failAt = ~0ull) {
        auto shared = std::make_shared<std::string>(std::move(body));
        Body(
            url, shared->size(),
            [shared](std::uint64_t at, char* out, std::size_t n) {
                std::memcpy(out, shared->data() + at, n);
            },
            std::move(portions), failAt);
    }
    void Body(const std::wstring& url, std::uint64_t size,
              std::function<void(std::uint64_t, char*, std::size_t)> fill,
              std::vector<std::size_t> portions = {}, std::uint64_t failAt = ~0ull) {
        m_pages[url] = {size, std::move(fill), std::move(portions), failAt};
    }
    std::unique_ptr<IPageStream> Open(const std::wstring& url) override {
        ++opens;
        auto it = m_pages.find(url);
        if (it == m_pages.end())
            return nullptr; // an address of a kind the opener does not know
        const Entry& e = it->second;
        return std::make_unique<FakeStream>(e.size, e.fill, e.portions, e.failAt, &live);
    }
    int opens = 0;
    int live = 0; // streams not yet closed

private:
    struct Entry {
        std::uint64_t size;
        std::function<void(std::uint64_t, char*, std::size_t)> fill;
        std::vector<std::size_t> portions;
        std::uint64_t failAt;
    };
    std::map<std::wstring, Entry> m_pages;
};
