#pragma once
// The page read shared by the watch-page reader and the link harvester: the
// whole response body of an address, decoded into the page text.
//
// The page text is defined piece by piece: the body is taken in pieces of 50
// bytes, each piece is decoded on its own from the thread's ANSI code page,
// and a zero byte ends its piece (the rest of that piece is dropped). CR and
// LF are kept. The network is read in large blocks; the pieces are cut from
// the buffer, which yields the same text at a fraction of the calls.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// An opened body. Read raises the platform's internet error on failure.
class IPageStream {
public:
    virtual ~IPageStream() = default;
    // Up to `size` bytes into `buffer`; 0 at the end of the body.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Opens addresses. Each Open is complete in itself (its own internet handle,
// closed when the stream goes).
class IPageOpener {
public:
    virtual ~IPageOpener() = default;
    // Raises the internet error when the address cannot be opened; returns no
    // stream for an address whose kind the opener cannot identify.
    virtual std::unique_ptr<IPageStream> Open(const std::wstring& url) = 0;
};

inline constexpr std::size_t kPagePieceBytes = 50;
// A body larger than this ends the read with an error instead of growing the
// text without bound.
inline constexpr std::uint64_t kMaxPageBytes = 64ull * 1024 * 1024;
inline constexpr wchar_t kPageTooLarge[] =
    L"The page is larger than 64 MB, more than a video site's page can be. It was not read.";

// Turns body bytes, in any portions, into the page text.
class CPageTextDecoder {
public:
    // `singleByteCodePage`: every byte decodes on its own, so runs of whole
    // pieces without a zero byte may be decoded in one call.
    explicit CPageTextDecoder(bool singleByteCodePage);
    void Append(const char* bytes, std::size_t count);
    // Decodes a last partial piece; the text is complete afterwards.
    std::wstring Finish();

private:
    void DecodeWholePieces(const char* bytes, std::size_t count);
    bool m_bSingleByte;
    std::wstring m_text;
    char m_piece[kPagePieceBytes];
    std::size_t m_nPiece = 0;
};

// Reads the page at `url` with `opener`. False (and an empty text) when the
// opener gave no stream. Raises the opener's internet error, and CException
// with kPageTooLarge for a body over kMaxPageBytes.
bool ReadPageText(IPageOpener& opener, const std::wstring& url, std::wstring& text);

// Whether the calling thread's ANSI code page has one byte per character.
bool ThreadAnsiIsSingleByte();
