#pragma once
// The binary archive of project files: little-endian integers and
// length-prefixed texts, buffered 4096 bytes in either direction.
//
// Texts are always written in the wide form (marker FF FE FF, then the shortest
// length form, then UTF-16LE units) and read in every form the format knows,
// narrow or wide. Loading checks every length against the bytes that remain
// before it allocates anything, so a hostile file cannot make it grow.
#include "framework/file.h"

#include <cstdint>
#include <string>
#include <vector>

class CArchive {
public:
    enum Mode { store, load };
    static constexpr std::size_t kBufferSize = 4096;

    CArchive(CFile& file, Mode mode, std::size_t bufferSize = kBufferSize);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    // Destruction does not flush: a stream abandoned by an error is not completed.
    ~CArchive() = default;

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    // Writes out what is buffered (storing); required before the file is closed.
    void Close();

    CArchive& operator<<(std::uint32_t value);
    CArchive& operator<<(std::int32_t value);
    CArchive& operator>>(std::uint32_t& value);
    CArchive& operator>>(std::int32_t& value);

    void WriteString(const std::wstring& text);
    std::wstring ReadString();

    // Loading: bytes not yet consumed, buffered or still in the file.
    std::uint64_t RemainingBytes() const;

private:
    void WriteBytes(const void* bytes, std::size_t count);
    void ReadBytes(void* bytes, std::size_t count); // all or CArchiveException(endOfFile)
    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    std::uint64_t ReadU64();
    void Flush();

    CFile& m_file;
    Mode m_mode;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_pos = 0; // next byte to read, or next free byte to write
    std::size_t m_end = 0; // loading: end of the valid bytes in the buffer
};
