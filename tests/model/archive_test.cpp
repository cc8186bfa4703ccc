// The project stream: exact bytes when storing, every form when loading, and
// no crash, hang or outsized allocation on a bad stream.
#include "framework/archive.h"
#include "framework/errors.h"
#include "model/movie_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kWorkedExample = {
    0x01, 0x00, 0x00, 0x00,                         // count 1
    0x00, 0x00, 0x00, 0x00,                         // key 0
    0xFF, 0xFE, 0xFF, 0x02, 0x61, 0x00, 0x62, 0x00, // "ab"
    0xFF, 0xFE, 0xFF, 0x01, 0x54, 0x00,             // "T"
    0x45, 0x23, 0x01, 0x00,                         // size 74,565
    0x03, 0x00, 0x00, 0x00,                         // Completed
    0x00, 0x00, 0x00, 0x00,                         // not checked
    0xFF, 0xFE, 0xFF, 0x00,                         // empty video address
};

Bytes Store(CYoutubeFileList& list) {
    CMemFile file;
    CArchive ar(file, CArchive::store);
    list.Serialize(ar);
    ar.Close();
    return file.Data();
}

void Load(CYoutubeFileList& list, const Bytes& bytes) {
    CMemFile file(bytes);
    CArchive ar(file, CArchive::load);
    list.Serialize(ar);
}

std::wstring LoadError(const Bytes& bytes) {
    CYoutubeFileList list;
    try {
        Load(list, bytes);
    } catch (const CArchiveException& e) {
        return e.GetErrorMessage();
    }
    return L"(loaded)";
}

Bytes StoreText(const std::wstring& text) {
    CMemFile file;
    CArchive ar(file, CArchive::store);
    ar.WriteString(text);
    ar.Close();
    return file.Data();
}

std::wstring LoadText(const Bytes& bytes) {
    CMemFile file(bytes);
    CArchive ar(file, CArchive::load);
    return ar.ReadString();
}

MoviePtr First(const CYoutubeFileList& list) {
    auto pos = list.GetStartPosition();
    std::uint16_t key;
    MoviePtr movie;
    list.GetNextAssoc(pos, key, movie);
    return movie;
}

} // namespace

TEST(ProjectStream, WorkedExampleBothWays) {
    CYoutubeFileList list;
    Load(list, kWorkedExample);
    ASSERT_EQ(list.GetCount(), 1u);
    MoviePtr movie = First(list);
    EXPECT_EQ(movie->m_strUrl, L"ab");
    EXPECT_EQ(movie->m_strTitle, L"T");
    EXPECT_EQ(movie->m_dwSize, 74565u);
    EXPECT_EQ(movie->m_nStatus, Completed);
    EXPECT_EQ(movie->m_bChecked, 0);
    EXPECT_EQ(movie->m_strVideoUrl, L"");
    EXPECT_EQ(Store(list), kWorkedExample);
}

TEST(ProjectStream, EmptyProjectIsFourZeroBytes) {
    CYoutubeFileList list;
    EXPECT_EQ(Store(list), (Bytes{0, 0, 0, 0}));
    Load(list, Bytes{0, 0, 0, 0});
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(ProjectStream, ShortestLengthFormAtEachBoundary) {
    const struct {
        std::size_t length;
        Bytes prefix;
    } cases[] = {
        {0, {0xFF, 0xFE, 0xFF, 0x00}},
        {254, {0xFF, 0xFE, 0xFF, 0xFE}},
        {255, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}},
        {65533, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        std::wstring text(c.length, L'x');
        text[0] = 0x20AC; // a unit above 0xFF goes out little-endian
        const Bytes bytes = StoreText(text);
        ASSERT_EQ(bytes.size(), c.prefix.size() + 2 * c.length) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), bytes.begin())) << c.length;
        if (c.length) {
            EXPECT_EQ(bytes[c.prefix.size()], 0xAC);
            EXPECT_EQ(bytes[c.prefix.size() + 1], 0x20);
        }
        EXPECT_EQ(LoadText(bytes), text) << c.length;
    }
}

TEST(ProjectStream, ReadsEveryNarrowAndWideForm) {
    const struct {
        Bytes bytes;
        std::wstring text;
    } cases[] = {
        {{0x02, 'h', 'i'}, L"hi"}, // narrow, one-byte length
        {{0x01, 0xE9}, L"\u00e9"}, // widened from Windows-1252
        {{0x01, 0x80}, L"\u20ac"},
        {{0xFF, 0x02, 0x00, 'o', 'k'}, L"ok"},          // narrow, 16-bit length
        {{0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 'a'}, L"a"}, // narrow, 32-bit length
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 'z'}, L"z"},
        {{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          1,    0,    0,    0,    0,    0,    0,    0,    'w',  0},
         L"w"},                                               // wide, 64-bit length
        {{0xFF, 0xFE, 0xFF, 0xFF, 0x01, 0x00, 'q', 0}, L"q"}, // wide, 16-bit form of a short text
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadText(c.bytes), c.text);
}

TEST(ProjectStream, TruncationAtEveryOffsetIsUnexpectedFormat) {
    for (std::size_t n = 1; n < kWorkedExample.size(); ++n) {
        Bytes cut(kWorkedExample.begin(), kWorkedExample.begin() + n);
        EXPECT_EQ(LoadError(cut), kUnexpectedFileFormat) << n;
    }
}

TEST(ProjectStream, HostileLengthsFailBeforeAllocating) {
    const struct {
        Bytes bytes;
        const wchar_t* message;
    } cases[] = {
        // 20 bytes promising a wide text of 2^30 units.
        {{1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 0, 0},
         kUnexpectedFileFormat},
        // A narrow text of 2^31 - 1 bytes in the 64-bit form.
        {{1,    0,    0,    0,    0,    0,    0,    0, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0,    0,    0},
         kUnexpectedFileFormat},
        // 64-bit length above 2^31 - 1.
        {{1,    0,    0,    0,    0,    0,    0,    0, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80, 0, 0,    0,    0},
         kFailedToOpenDocument},
        // Wide text of 2^31 units in the 32-bit form.
        {{1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80},
         kFailedToOpenDocument},
        // A count of 2^31 - 1 entries in a 12-byte file.
        {{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}, kUnexpectedFileFormat},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadError(c.bytes), c.message);
}

TEST(ProjectStream, CountsZeroOrNegativeLoadEmptyAndIgnoreTheRest) {
    for (Bytes count : {Bytes{0, 0, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}, Bytes{0, 0, 0, 0x80}}) {
        Bytes file = count;
        file.insert(file.end(), kWorkedExample.begin() + 4, kWorkedExample.end());
        CYoutubeFileList list;
        Load(list, file);
        EXPECT_EQ(list.GetCount(), 0u);
    }
}

TEST(ProjectStream, StoredKeysAreIgnoredAndTrailingBytesToo) {
    // Two entries with keys 0x00070005 and 0xFFFF, then junk.
    Bytes file = {2, 0, 0, 0};
    const Bytes entry(kWorkedExample.begin() + 8, kWorkedExample.end());
    for (Bytes key : {Bytes{5, 0, 7, 0}, Bytes{0xFF, 0xFF, 0, 0}}) {
        file.insert(file.end(), key.begin(), key.end());
        file.insert(file.end(), entry.begin(), entry.end());
    }
    file.insert(file.end(), {0xDE, 0xAD, 0xBE});
    CYoutubeFileList list;
    Load(list, file);
    MoviePtr movie;
    EXPECT_TRUE(list.Lookup(0, movie));
    EXPECT_TRUE(list.Lookup(1, movie));
    EXPECT_EQ(list.GetCount(), 2u);
}

TEST(ProjectStream, LoadedRecordKeepsOddValuesAndFreshRunFields) {
    CYoutubeFileList list;
    Bytes file = kWorkedExample;
    file[26] = 9; // a status no version writes
    file[30] = 7; // a check value other than 0 and 1
    Load(list, file);
    MoviePtr movie = First(list);
    EXPECT_EQ(movie->m_nStatus, 9);
    EXPECT_EQ(movie->GetStatusText(), L"");
    EXPECT_EQ(movie->m_bChecked, 7);
    EXPECT_EQ(movie->m_nProgress, 0);
    EXPECT_EQ(movie->m_nPrevStatus, Ready);
    EXPECT_TRUE(movie->m_strFolder.empty() && movie->m_strFilePath.empty());
}
