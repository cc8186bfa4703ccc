#include "site/page_reader.h"

#include "framework/codepage.h"
#include "framework/errors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
// Large reads: each platform read call has a fixed cost far above the copy.
constexpr std::size_t kReadBlock = 256 * 1024;

std::size_t ZeroFreeLength(const char* bytes, std::size_t count) {
    const void* zero = std::memchr(bytes, 0, count);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : count;
}
} // namespace

CPageTextDecoder::CPageTextDecoder(bool singleByteCodePage) : m_bSingleByte(singleByteCodePage) {}

void CPageTextDecoder::DecodeWholePieces(const char* bytes, std::size_t count) {
    if (!m_bSingleByte) {
        for (std::size_t at = 0; at < count; at += kPagePieceBytes)
            AppendAnsiAsWide(m_text, bytes + at, ZeroFreeLength(bytes + at, kPagePieceBytes),
                             AnsiSource::Thread);
        return;
    }
    // One byte, one character: only where a zero byte cuts a piece short does
    // the piece structure show, so decode the runs between such cuts at once.
    std::size_t at = 0;
    while (at < count) {
        const std::size_t run = ZeroFreeLength(bytes + at, count - at);
        AppendAnsiAsWide(m_text, bytes + at, run, AnsiSource::Thread);
        if (at + run == count)
            break;
        const std::size_t zero = at + run;
        at = (zero / kPagePieceBytes + 1) * kPagePieceBytes; // start of the next piece
    }
}

void CPageTextDecoder::Append(const char* bytes, std::size_t count) {
    if (m_nPiece > 0) {
        const std::size_t take = std::min(count, kPagePieceBytes - m_nPiece);
        std::memcpy(m_piece + m_nPiece, bytes, take);
        m_nPiece += take;
        bytes += take;
        count -= take;
        if (m_nPiece < kPagePieceBytes)
            return;
        DecodeWholePieces(m_piece, kPagePieceBytes);
        m_nPiece = 0;
    }
    const std::size_t whole = count / kPagePieceBytes * kPagePieceBytes;
    DecodeWholePieces(bytes, whole);
    std::memcpy(m_piece, bytes + whole, count - whole);
    m_nPiece = count - whole;
}

std::wstring CPageTextDecoder::Finish() {
    if (m_nPiece > 0)
        AppendAnsiAsWide(m_text, m_piece, ZeroFreeLength(m_piece, m_nPiece), AnsiSource::Thread);
    m_nPiece = 0;
    return std::move(m_text);
}

bool ReadPageText(IPageOpener& opener, const std::wstring& url, std::wstring& text) {
    text.clear();
    std::unique_ptr<IPageStream> stream = opener.Open(url);
    if (!stream)
        return false;
    CPageTextDecoder decoder(ThreadAnsiIsSingleByte());
    std::vector<char> buffer(kReadBlock);
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = stream->Read(buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n > buffer.size() || n > kMaxPageBytes - total)
            throw CException(kPageTooLarge);
        total += n;
        decoder.Append(buffer.data(), n);
    }
    text = decoder.Finish();
    return true;
}
