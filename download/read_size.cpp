#include "download/read_size.h"

#include <algorithm>

std::size_t CReadSizer::Next(std::size_t buffered) const {
    if (buffered > 0 && buffered < kFlowingBytes)
        return std::min(buffered, m_block);
    return m_block;
}

void CReadSizer::Record(std::size_t asked, std::size_t bytes, std::chrono::nanoseconds took) {
    // Only reads of the adaptive block tell how the link keeps up with it; a
    // read of what was already there says nothing.
    m_bFlowing = false;
    if (asked != m_block || bytes == 0)
        return;
    if (took > kReadTarget) {
        // What the link delivered in the target time, in whole pages.
        const auto perTarget = static_cast<std::size_t>(
            static_cast<double>(bytes) * std::chrono::nanoseconds(kReadTarget).count() /
            static_cast<double>(took.count()));
        m_block = std::clamp(perTarget / 4096 * 4096, kMinBlock, kMaxBlock);
    } else if (bytes == asked) {
        m_bFlowing = true;
        if (took < kQuickRead)
            m_block = std::min(m_block * 2, kMaxBlock);
    }
}
