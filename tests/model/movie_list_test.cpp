#include "model/movie_list.h"

#include "fake_reader.h"
#include "framework/archive.h"
#include "framework/errors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Each entry in enumeration order, as `pick(key, movie)` sees it.
template <typename Pick> auto Walk(const CYoutubeFileList& list, Pick pick) {
    std::vector<decltype(pick(std::uint16_t{}, MoviePtr{}))> seen;
    for (auto pos = list.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        list.GetNextAssoc(pos, key, movie);
        seen.push_back(pick(key, movie));
    }
    return seen;
}

std::vector<std::uint16_t> Keys(const CYoutubeFileList& list) {
    return Walk(list, [](std::uint16_t key, const MoviePtr&) { return key; });
}

std::vector<std::wstring> Urls(const CYoutubeFileList& list) {
    return Walk(list, [](std::uint16_t, const MoviePtr& movie) { return movie->m_strUrl; });
}

std::wstring Url(int i) {
    return L"u" + std::to_wstring(i);
}

struct MovieListTest : ::testing::Test {
    FakeReader reader;
    CYoutubeFileList list{&reader};

    void AddNumbered(int n) {
        for (int i = 0; i < n; ++i)
            list.AddMovie(Url(i));
    }
};

} // namespace

TEST_F(MovieListTest, EnumerationOrderFollowsBucketsAndNewestFirst) {
    AddNumbered(20);
    EXPECT_EQ(Keys(list), (std::vector<std::uint16_t>{15, 14, 13, 12, 11, 10, 9,  8,  7,  6,
                                                      5,  4,  3,  2,  1,  0,  19, 18, 17, 16}));

    // Removing key 3 frees it; the next add takes it and is enumerated first.
    list.RemoveByUrl(Url(3));
    list.AddMovie(L"again");
    auto keys = Keys(list);
    EXPECT_EQ(keys.front(), 3);
    EXPECT_EQ(keys[1], 15);
}

TEST(WordKeyedMap, KeysSeventeenBucketsApartShareABucket) {
    WordKeyedMap<int> map;
    for (std::uint16_t k = 0; k < 16; ++k)
        map.SetAt(k, k);
    map.SetAt(272, 272);
    std::vector<std::uint16_t> keys;
    for (auto pos = map.GetStartPosition(); pos;) {
        std::uint16_t key;
        int value;
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::uint16_t>{272, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                                1, 0}));
    // The lowest free key skips the full first group and stops at the gap.
    EXPECT_EQ(map.LowestFreeKey(), 16);
    map.RemoveKey(5);
    EXPECT_EQ(map.LowestFreeKey(), 5);
}

TEST_F(MovieListTest, AddUsesLowestFreeKeyAndStoresWhatTheReaderGave) {
    auto first = list.AddMovie(L"http://x/watch?v=1");
    MoviePtr found;
    ASSERT_TRUE(list.Lookup(0, found));
    EXPECT_EQ(found, first);
    EXPECT_EQ(first->m_strTitle, L"Title of http://x/watch?v=1");
    EXPECT_EQ(first->m_strVideoUrl, L"http://video.example/get_video?video_id=http://x/watch?v=1");
    EXPECT_EQ(first->m_nStatus, Ready);

    list.AddMovie(L"b");
    list.AddMovie(L"c");
    list.AddMovie(L"d"); // keys 0..3
    list.RemoveByUrl(L"c");
    list.AddMovie(L"e");
    ASSERT_TRUE(list.Lookup(2, found));
    EXPECT_EQ(found->m_strUrl, L"e");
}

TEST_F(MovieListTest, ReaderErrorInsertsNothing) {
    const std::runtime_error error("no route");
    reader.failWith = &error;
    EXPECT_THROW(list.AddMovie(L"a"), std::runtime_error);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetStartPosition(), nullptr);
}

TEST_F(MovieListTest, FullListRaisesTheUsersErrorWithoutReading) {
    AddNumbered(65536);
    const int calls = reader.calls;
    try {
        list.AddMovie(L"one too many");
        FAIL() << "no error";
    } catch (const CException& e) {
        EXPECT_EQ(e.GetErrorMessage(), kMovieListFull);
    }
    // The two halves of an add refuse the same way.
    EXPECT_THROW(list.ReadMovie(L"read"), CException);
    EXPECT_EQ(reader.calls, calls);
    EXPECT_THROW(list.InsertMovie(CYoutubeFileList::ReadMovie(reader, L"read elsewhere")),
                 CException);
    EXPECT_EQ(list.GetCount(), 65536u);
}

TEST_F(MovieListTest, ReadingChangesNothingUntilTheRecordIsInserted) {
    list.AddMovie(L"a");
    list.AddMovie(L"b");
    list.RemoveByUrl(L"a"); // key 0 free again
    MoviePtr read = list.ReadMovie(L"http://x/watch?v=2");
    EXPECT_EQ(read->m_strTitle, L"Title of http://x/watch?v=2");
    EXPECT_EQ(read->m_nStatus, Ready);
    EXPECT_EQ(list.GetCount(), 1u);
    // Inserted later, it takes the lowest key free at that moment.
    list.InsertMovie(read);
    MoviePtr found;
    ASSERT_TRUE(list.Lookup(0, found));
    EXPECT_EQ(found, read);
}

TEST_F(MovieListTest, RemoveByUrlTakesEveryExactMatchOnly) {
    list.AddMovie(L"http://a/");
    list.AddMovie(L"http://A/");
    list.AddMovie(L"http://a");
    list.AddMovie(L"http://a/");
    list.RemoveByUrl(L"http://a/");
    EXPECT_EQ(Urls(list), (std::vector<std::wstring>{L"http://a", L"http://A/"}));
    list.RemoveByUrl(L"nothing");
    EXPECT_EQ(list.GetCount(), 2u);

    CYoutubeFileList empty{&reader};
    empty.RemoveByUrl(L"x");
    EXPECT_EQ(empty.CountByStatus(Ready), 0);
}

TEST_F(MovieListTest, RecordsLiveExactlyAsLongAsSomethingHoldsThem) {
    std::weak_ptr<CYoutubeFile> removed = list.AddMovie(L"gone");
    MoviePtr heldByRow = list.AddMovie(L"row");
    std::weak_ptr<CYoutubeFile> dropped = list.AddMovie(L"dropped");

    list.RemoveByUrl(L"gone");
    EXPECT_TRUE(removed.expired());

    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(dropped.expired());
    EXPECT_EQ(heldByRow->m_strUrl, L"row"); // still valid for the row that holds it
}

TEST_F(MovieListTest, RemovingTheEntryJustReturnedKeepsTheWalk) {
    AddNumbered(40);
    std::vector<std::uint16_t> visited;
    for (auto pos = list.GetStartPosition(); pos;) {
        std::uint16_t key;
        MoviePtr movie;
        list.GetNextAssoc(pos, key, movie);
        visited.push_back(key);
        list.RemoveByUrl(movie->m_strUrl);
    }
    EXPECT_EQ(visited.size(), 40u);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST_F(MovieListTest, QueueAndUnqueue) {
    // status before queuing, checked -> status after queuing, after un-queuing
    const struct {
        std::int32_t status;
        bool checked;
        std::int32_t queued;
        std::int32_t unqueued;
    } cases[] = {
        {Ready, true, Waiting, Ready},
        {Completed, true, Waiting, Completed},
        {Failed, true, Waiting, Failed},
        {Cancelled, true, Waiting, Cancelled},
        {Completed, false, Completed, Completed},
        {Downloading, false, Downloading, Downloading},
    };
    std::vector<MoviePtr> movies;
    for (const auto& c : cases) {
        auto m = list.AddMovie(L"m");
        m->m_nStatus = c.status;
        m->m_bChecked = c.checked;
        movies.push_back(m);
    }
    list.MarkForDownload(true);
    for (std::size_t i = 0; i < movies.size(); ++i)
        EXPECT_EQ(movies[i]->m_nStatus, cases[i].queued) << i;
    EXPECT_EQ(list.CountByStatus(Waiting), 4);
    list.MarkForDownload(false);
    for (std::size_t i = 0; i < movies.size(); ++i)
        EXPECT_EQ(movies[i]->m_nStatus, cases[i].unqueued) << i;

    // A checked record that is Downloading when the run stops is Cancelled; a
    // loaded Waiting record never queued returns to Ready.
    movies[0]->m_nStatus = Downloading;
    movies[1]->m_nStatus = Waiting;
    movies[1]->m_nPrevStatus = Ready;
    list.MarkForDownload(false);
    EXPECT_EQ(movies[0]->m_nStatus, Cancelled);
    EXPECT_EQ(movies[1]->m_nStatus, Ready);
}

TEST_F(MovieListTest, TwentyAddsStoreAndLoadInTheOrderOfTheAdds) {
    AddNumbered(20);
    list.MarkForDownload(true); // nothing checked: nothing changes
    CMemFile file;
    {
        CArchive ar(file, CArchive::store);
        list.Serialize(ar);
        ar.Close();
    }
    CMemFile in(file.Data());
    CArchive ar(in, CArchive::load);
    CYoutubeFileList loaded{&reader};
    loaded.Serialize(ar);

    std::vector<std::wstring> expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(Url(i));
    // Keys are renumbered 0..19 in file order (15..0, 19..16), so the walk now
    // yields the records in the order they were first added.
    EXPECT_EQ(Urls(loaded), expected);
}

TEST_F(MovieListTest, WalksFromAnotherThreadSeeOnlyLiveEntries) {
    AddNumbered(200);
    std::atomic<bool> done{false};
    std::thread scheduler([&] {
        while (!done) {
            auto lock = list.Lock();
            for (auto pos = list.GetStartPosition(); pos;) {
                std::uint16_t key;
                MoviePtr movie;
                list.GetNextAssoc(pos, key, movie);
                ASSERT_FALSE(movie->m_strUrl.empty());
            }
            (void)list.CountByStatus(Waiting);
        }
    });
    for (int round = 0; round < 200; ++round) {
        list.RemoveByUrl(Url(round));
        list.AddMovie(Url(round));
        if (round % 50 == 0) {
            list.RemoveAll();
            AddNumbered(200);
        }
    }
    done = true;
    scheduler.join();
    EXPECT_EQ(list.GetCount(), 200u);
}
