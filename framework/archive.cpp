#include "framework/archive.h"

#include "framework/codepage.h"
#include "framework/errors.h"

#include <algorithm>
#include <cstring>

CArchive::CArchive(CFile& file, Mode mode, std::size_t bufferSize)
    : m_file(file), m_mode(mode), m_buffer(std::max<std::size_t>(bufferSize, 16)) {}

void CArchive::Close() {
    if (IsStoring())
        Flush();
}

void CArchive::Flush() {
    if (m_pos != 0)
        m_file.Write(m_buffer.data(), m_pos);
    m_pos = 0;
}

void CArchive::WriteBytes(const void* bytes, std::size_t count) {
    const auto* src = static_cast<const std::uint8_t*>(bytes);
    while (count != 0) {
        if (m_pos == m_buffer.size())
            Flush();
        const std::size_t n = std::min(count, m_buffer.size() - m_pos);
        std::memcpy(m_buffer.data() + m_pos, src, n);
        m_pos += n;
        src += n;
        count -= n;
    }
}

void CArchive::ReadBytes(void* bytes, std::size_t count) {
    auto* dst = static_cast<std::uint8_t*>(bytes);
    while (count != 0) {
        if (m_pos == m_end) {
            m_pos = 0;
            m_end = m_file.Read(m_buffer.data(), m_buffer.size());
            if (m_end == 0)
                throw CArchiveException(CArchiveException::endOfFile);
        }
        const std::size_t n = std::min(count, m_end - m_pos);
        std::memcpy(dst, m_buffer.data() + m_pos, n);
        m_pos += n;
        dst += n;
        count -= n;
    }
}

std::uint64_t CArchive::RemainingBytes() const {
    const std::uint64_t length = m_file.GetLength();
    const std::uint64_t position = m_file.GetPosition();
    return (m_end - m_pos) + (length > position ? length - position : 0);
}

namespace {
template <typename T> void PutLittleEndian(std::uint8_t* out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
}
template <typename T> T GetLittleEndian(const std::uint8_t* in) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return static_cast<T>(value);
}
} // namespace

std::uint8_t CArchive::ReadU8() {
    std::uint8_t b;
    ReadBytes(&b, 1);
    return b;
}
std::uint16_t CArchive::ReadU16() {
    std::uint8_t b[2];
    ReadBytes(b, 2);
    return GetLittleEndian<std::uint16_t>(b);
}
std::uint32_t CArchive::ReadU32() {
    std::uint8_t b[4];
    ReadBytes(b, 4);
    return GetLittleEndian<std::uint32_t>(b);
}
std::uint64_t CArchive::ReadU64() {
    std::uint8_t b[8];
    ReadBytes(b, 8);
    return GetLittleEndian<std::uint64_t>(b);
}

CArchive& CArchive::operator<<(std::uint32_t value) {
    std::uint8_t b[4];
    PutLittleEndian(b, value);
    WriteBytes(b, 4);
    return *this;
}
CArchive& CArchive::operator<<(std::int32_t value) {
    return *this << static_cast<std::uint32_t>(value);
}
CArchive& CArchive::operator>>(std::uint32_t& value) {
    value = ReadU32();
    return *this;
}
CArchive& CArchive::operator>>(std::int32_t& value) {
    value = static_cast<std::int32_t>(ReadU32());
    return *this;
}

void CArchive::WriteString(const std::wstring& text) {
    std::uint8_t head[3 + 1 + 2 + 4 + 4];
    std::size_t n = 0;
    head[n++] = 0xFF; // wide marker: FF, then FFFE
    head[n++] = 0xFE;
    head[n++] = 0xFF;
    const std::uint64_t length = text.size();
    if (length < 0xFF) {
        head[n++] = static_cast<std::uint8_t>(length);
    } else {
        head[n++] = 0xFF;
        if (length < 0xFFFE) {
            PutLittleEndian(head + n, static_cast<std::uint16_t>(length));
            n += 2;
        } else {
            PutLittleEndian(head + n, std::uint16_t{0xFFFF});
            n += 2;
            PutLittleEndian(head + n, static_cast<std::uint32_t>(length));
            n += 4;
        }
    }
    WriteBytes(head, n);

    // Code units go out as UTF-16LE whatever the width of wchar_t.
    std::uint8_t units[512];
    std::size_t used = 0;
    for (wchar_t c : text) {
        const auto unit = static_cast<std::uint16_t>(c);
        units[used++] = static_cast<std::uint8_t>(unit);
        units[used++] = static_cast<std::uint8_t>(unit >> 8);
        if (used == sizeof units) {
            WriteBytes(units, used);
            used = 0;
        }
    }
    WriteBytes(units, used);
}

std::wstring CArchive::ReadString() {
    bool wide = false;
    std::uint64_t length = ReadU8();
    if (length == 0xFF) {
        std::uint16_t w = ReadU16();
        if (w == 0xFFFE) {
            wide = true;
            length = ReadU8();
            if (length == 0xFF)
                w = ReadU16();
        }
        if (length == 0xFF) {
            length = w;
            if (w == 0xFFFF) {
                length = ReadU32();
                if (length == 0xFFFFFFFF) {
                    length = ReadU64();
                    if (length > 0x7FFFFFFF)
                        throw CArchiveException(CArchiveException::badLength);
                }
            }
        }
    }
    if (wide && length >= 0x80000000ULL)
        throw CArchiveException(CArchiveException::badLength);

    // Nothing is allocated for bytes the stream does not hold.
    const std::uint64_t bytes = wide ? length * 2 : length;
    if (bytes > RemainingBytes())
        throw CArchiveException(CArchiveException::endOfFile);

    std::wstring text;
    if (wide) {
        text.resize(static_cast<std::size_t>(length));
        std::uint8_t chunk[512];
        std::size_t done = 0;
        while (done < text.size()) {
            const std::size_t units = std::min<std::size_t>(text.size() - done, sizeof chunk / 2);
            ReadBytes(chunk, units * 2);
            for (std::size_t i = 0; i < units; ++i)
                text[done + i] =
                    static_cast<wchar_t>(GetLittleEndian<std::uint16_t>(chunk + 2 * i));
            done += units;
        }
    } else {
        std::string narrow(static_cast<std::size_t>(length), '\0');
        ReadBytes(narrow.data(), narrow.size());
        AppendAnsiAsWide(text, narrow.data(), narrow.size(), AnsiSource::System);
    }
    return text;
}
