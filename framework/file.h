#pragma once
// The framework's file: a byte stream the archive reads from or writes to.
// CMemFile is the portable one; the Win32 disk file lives in disk_file.h.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class CFile {
public:
    virtual ~CFile() = default;
    // Reads up to `count` bytes; returns how many were read, 0 at the end.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes all `count` bytes or raises the file layer's error.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    virtual std::uint64_t GetLength() const = 0;
    virtual std::uint64_t GetPosition() const = 0;
};

// A file in memory: reading walks a byte range; writing appends to a vector.
class CMemFile final : public CFile {
public:
    CMemFile() = default;
    explicit CMemFile(std::span<const std::uint8_t> contents)
        : m_data(contents.begin(), contents.end()) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t GetLength() const override { return m_data.size(); }
    std::uint64_t GetPosition() const override { return m_pos; }

    const std::vector<std::uint8_t>& Data() const { return m_data; }

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_pos = 0;
};
