#include "playback/ot_playlist.h"

#include <cwchar>

#include "platform/win32/assertion.h"

OstPlaylist::OstPlaylist() : m_nCount(0), m_pHead(nullptr), m_pCurrent(nullptr) {
    std::wmemset(m_szText, L'\0', sizeof m_szText / sizeof m_szText[0]);
}

OstPlaylist::~OstPlaylist() {
    OstPlaylistItem* pItem = m_pHead;
    while (pItem != nullptr) {
        OstPlaylistItem* pNext = pItem->pNext;
        delete pItem;
        pItem = pNext;
    }
    m_pHead = nullptr;
    m_pCurrent = nullptr;
}

void OstPlaylist::Add(LPCWSTR szItem) {
    OST_ASSERT(szItem);
    if (szItem == nullptr) return;

    auto* pItem = new OstPlaylistItem{};
    if (m_pHead == nullptr) {
        m_pHead = pItem;
        m_pCurrent = pItem;
    } else {
        OstPlaylistItem* pLast = m_pHead;
        while (pLast->pNext != nullptr) pLast = pLast->pNext;
        pLast->pNext = pItem;
        pItem->pPrev = pLast;
    }

    constexpr std::size_t cap = sizeof pItem->szPath / sizeof pItem->szPath[0];
    std::size_t len = std::wcslen(szItem);
    if (len > cap - 1) len = cap - 1;
    std::wmemcpy(pItem->szPath, szItem, len);
    pItem->szPath[len] = L'\0';
    pItem->nState = 0;
    pItem->nIndex = m_nCount;
    pItem->pNext = nullptr;
    ++m_nCount;
}

void OstPlaylist::Remove(std::uint32_t nIndex) {
    OstPlaylistItem* pItem = GetAt(nIndex);
    if (pItem == nullptr) return;

    if (pItem == m_pCurrent) m_pCurrent = pItem->pNext != nullptr ? pItem->pNext : pItem->pPrev;
    if (pItem == m_pHead) m_pHead = pItem->pNext;
    if (pItem->pNext != nullptr) pItem->pNext->pPrev = pItem->pPrev;
    if (pItem->pPrev != nullptr) pItem->pPrev->pNext = pItem->pNext;

    for (OstPlaylistItem* pAfter = pItem->pNext; pAfter != nullptr; pAfter = pAfter->pNext) --pAfter->nIndex;
    delete pItem;
    --m_nCount;
}

OstPlaylistItem* OstPlaylist::GetAt(std::uint32_t nIndex) const {
    if (nIndex >= m_nCount) return nullptr;
    OstPlaylistItem* pItem = m_pHead;
    for (std::uint32_t i = 0; i < nIndex && pItem != nullptr; ++i) pItem = pItem->pNext;
    return pItem;
}
