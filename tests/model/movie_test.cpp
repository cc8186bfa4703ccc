#include "model/movie.h"

#include <gtest/gtest.h>

TEST(Movie, NewRecordIsReadyUncheckedAndSizeless) {
    CYoutubeFile movie;
    EXPECT_EQ(movie.GetStatusText(), L"Ready");
    EXPECT_EQ(movie.GetSizeText(), L"");
    EXPECT_EQ(movie.m_bChecked, 0);
    EXPECT_EQ(movie.m_nProgress, 0);
    EXPECT_EQ(movie.m_nPrevStatus, Ready);
}

TEST(Movie, StatusTexts) {
    const struct {
        std::int32_t code;
        const wchar_t* text;
    } cases[] = {{1, L"Ready"},   {2, L"Downloading"}, {3, L"Completed"}, {4, L"Failed"},
                 {5, L"Waiting"}, {6, L"Cancelled"},   {0, L""},          {7, L""},
                 {-1, L""},       {INT32_MIN, L""}};
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(MovieStatusText(c.code)), c.text) << c.code;
}

TEST(Movie, SizeTextsAtTheThresholds) {
    const struct {
        std::uint32_t size;
        const wchar_t* text;
    } cases[] = {
        {0, L""},
        {1, L"1 Bytes"},
        {1048576, L"1048576 Bytes"},
        {1048577, L" 1.00MB"},
        {123456789, L"117.74MB"},
        {1073741824, L"1024.00MB"},
        {1073741825, L" 1.00GB"},
        {2147483648u, L" 2.00GB"}, // unsigned: stays positive past 2 GiB
        {4294967295u, L" 4.00GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatMovieSize(c.size), c.text) << c.size;
}
