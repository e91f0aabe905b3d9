#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/internal/diagnostics.h"
#include "playback/ot_playlist.h"

namespace {

// Walks the list both ways and checks the links, the indexes and the count.
std::vector<std::wstring> Paths(const OstPlaylist& list) {
    std::vector<std::wstring> out;
    const OstPlaylistItem* prev = nullptr;
    std::uint32_t i = 0;
    for (const OstPlaylistItem* p = list.m_pHead; p != nullptr; p = p->pNext, ++i) {
        EXPECT_EQ(prev, p->pPrev);
        EXPECT_EQ(i, p->nIndex);
        EXPECT_EQ(p, list.GetAt(i));
        out.emplace_back(p->szPath);
        prev = p;
    }
    EXPECT_EQ(list.m_nCount, out.size());
    return out;
}

void Fill(OstPlaylist& list, std::initializer_list<const wchar_t*> paths) {
    for (const wchar_t* p : paths) list.Add(p);
}

using Paths_t = std::vector<std::wstring>;

TEST(Playlist, StartsEmpty) {
    OstPlaylist list;
    EXPECT_EQ(0u, list.m_nCount);
    EXPECT_EQ(nullptr, list.m_pHead);
    EXPECT_EQ(nullptr, list.m_pCurrent);
    EXPECT_EQ(nullptr, list.GetAt(0));
    for (WCHAR c : list.m_szText) EXPECT_EQ(L'\0', c);
}

TEST(Playlist, AddAppendsAndFirstBecomesCurrent) {
    OstPlaylist list;
    Fill(list, {L"a.mp3", L"b.mp3", L"c.mp3"});
    EXPECT_EQ((Paths_t{L"a.mp3", L"b.mp3", L"c.mp3"}), Paths(list));
    EXPECT_EQ(list.m_pHead, list.m_pCurrent);
    EXPECT_EQ(0, list.GetAt(2)->nState);
    EXPECT_EQ(nullptr, list.GetAt(3));
    EXPECT_EQ(nullptr, list.GetAt(0xFFFFFFFFu));
}

TEST(Playlist, RemoveKeepsIndexesAndCurrent) {
    OstPlaylist list;
    Fill(list, {L"a", L"b", L"c"});
    list.Remove(1);
    EXPECT_EQ((Paths_t{L"a", L"c"}), Paths(list));
    EXPECT_EQ(list.GetAt(0), list.m_pCurrent);

    list.Remove(2);  // past the end: nothing happens
    list.Remove(0xFFFFFFFFu);
    EXPECT_EQ((Paths_t{L"a", L"c"}), Paths(list));
}

TEST(Playlist, RemovingTheCurrentEntryMovesCurrent) {
    OstPlaylist list;
    Fill(list, {L"a", L"b", L"c"});
    list.Remove(0);  // current head: the successor takes over both roles
    EXPECT_EQ((Paths_t{L"b", L"c"}), Paths(list));
    EXPECT_EQ(list.m_pHead, list.m_pCurrent);

    list.m_pCurrent = list.GetAt(1);
    list.Remove(1);  // current and last: the predecessor takes over
    EXPECT_EQ((Paths_t{L"b"}), Paths(list));
    EXPECT_EQ(list.GetAt(0), list.m_pCurrent);

    list.Remove(0);
    EXPECT_EQ(Paths_t{}, Paths(list));
    EXPECT_EQ(nullptr, list.m_pHead);
    EXPECT_EQ(nullptr, list.m_pCurrent);

    list.Add(L"again");
    EXPECT_EQ((Paths_t{L"again"}), Paths(list));
    EXPECT_EQ(list.m_pHead, list.m_pCurrent);
}

TEST(Playlist, LongPathsAreCut) {
    OstPlaylist list;
    const std::wstring longPath(400, L'p');
    list.Add(longPath.c_str());
    EXPECT_EQ(longPath.substr(0, 255), list.GetAt(0)->szPath);
}

TEST(Playlist, NullPathIsRefused) {
    OstPlaylist list;
    list.Add(L"a");
    win32::DiagnosticsRecording recording;
    list.Add(nullptr);
    EXPECT_EQ((Paths_t{L"a"}), Paths(list));
    const auto reports = win32::assertionReports();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ(0u, reports[0].rfind("Assertion failed: szItem, file ot_playlist,", 0));
}

}  // namespace
