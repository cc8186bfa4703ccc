#include "framework/file.h"

#include <algorithm>
#include <cstring>

std::size_t CMemFile::Read(void* buffer, std::size_t count) {
    const std::size_t n = std::min(count, m_data.size() - m_pos);
    if (n != 0)
        std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

void CMemFile::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    m_data.insert(m_data.end(), bytes, bytes + count);
    m_pos = m_data.size();
}
