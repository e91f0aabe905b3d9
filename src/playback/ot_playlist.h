// An ordered list of file paths with a current entry, kept as a doubly
// linked list of heap nodes. Not thread-safe.
#pragma once

#include "platform/win32/types.h"

struct OstPlaylistItem {
    OstPlaylistItem* pPrev;
    std::uint32_t nIndex;  // position in the list, kept in step on removal
    std::int32_t nState;
    WCHAR szPath[256];
    OstPlaylistItem* pNext;
};

class OstPlaylist {
public:
    OstPlaylist();
    virtual ~OstPlaylist();

    OstPlaylist(const OstPlaylist&) = delete;
    OstPlaylist& operator=(const OstPlaylist&) = delete;

    // Appends szItem (cut to 255 characters); the first entry becomes current.
    void Add(LPCWSTR szItem);
    // Removes the entry at nIndex, if there is one; a removed current entry
    // hands over to its successor, or else its predecessor.
    void Remove(std::uint32_t nIndex);
    // The entry at nIndex, or null past the end.
    OstPlaylistItem* GetAt(std::uint32_t nIndex) const;

    WCHAR m_szText[256];
    std::uint32_t m_nCount;
    OstPlaylistItem* m_pHead;
    OstPlaylistItem* m_pCurrent;
};
