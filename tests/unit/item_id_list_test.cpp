#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "common/item_id_list.h"

namespace {

// A list of item IDs with the given byte counts, filled with a recognisable
// pattern, allocated as the shell would.
LPITEMIDLIST MakeList(std::initializer_list<USHORT> counts) {
    size_t size = 2;
    for (USHORT cb : counts) {
        size += cb;
    }
    auto bytes = static_cast<BYTE*>(CoTaskMemAlloc(size));
    BYTE* p = bytes;
    BYTE fill = 1;
    for (USHORT cb : counts) {
        memcpy(p, &cb, 2);
        memset(p + 2, fill++, cb - 2);
        p += cb;
    }
    p[0] = p[1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

TEST(CItemIDList, CopiesAreDeepAndSizedByTheirItems) {
    const struct {
        std::initializer_list<USHORT> counts;
        UINT size;
    } cases[] = {
        {{20, 14}, 36},
        {{20, 30, 40}, 92},
        {{2 + 1}, 5},
        {{}, 2},
    };
    for (const auto& c : cases) {
        CItemIDList original;
        original.m_pidl = MakeList(c.counts);
        CItemIDList copy(original);
        ASSERT_NE(nullptr, copy.m_pidl);
        EXPECT_NE(original.m_pidl, copy.m_pidl);
        EXPECT_EQ(c.size, CItemIDList::GetSize(copy.m_pidl));
        EXPECT_EQ(0, memcmp(original.m_pidl, copy.m_pidl, c.size));

        CItemIDList assigned;
        assigned.m_pidl = MakeList({10});
        assigned = original;
        EXPECT_NE(original.m_pidl, assigned.m_pidl);
        EXPECT_EQ(c.size, CItemIDList::GetSize(assigned.m_pidl));
    }
}

TEST(CItemIDList, EmptyCopiesStayEmpty) {
    CItemIDList empty;
    CItemIDList copy(empty);
    EXPECT_EQ(nullptr, copy.m_pidl);
    CItemIDList assigned;
    assigned.m_pidl = MakeList({12});
    assigned = empty;
    EXPECT_EQ(nullptr, assigned.m_pidl);
}

TEST(CItemIDList, SelfAssignmentKeepsTheList) {
    CItemIDList list;
    list.m_pidl = MakeList({20, 14});
    LPITEMIDLIST held = list.m_pidl;
    CItemIDList& alias = list;
    list = alias;
    EXPECT_EQ(held, list.m_pidl);
    EXPECT_EQ(36u, CItemIDList::GetSize(list.m_pidl));
}

TEST(CItemIDList, LastIdAndParent) {
    const struct {
        std::initializer_list<USHORT> counts;
        ptrdiff_t lastOffset;
        UINT parentSize;  // 0: empty parent
    } cases[] = {
        {{20, 30, 40}, 50, 52},
        {{20, 14}, 20, 22},
        {{20}, 0, 0},
        // Only the terminator: the last ID is the start, and there is no parent.
        {{}, 0, 0},
    };
    for (const auto& c : cases) {
        CItemIDList list;
        list.m_pidl = MakeList(c.counts);
        auto start = reinterpret_cast<const BYTE*>(list.m_pidl);
        EXPECT_EQ(c.lastOffset, reinterpret_cast<const BYTE*>(list.GetLastID()) - start);

        CItemIDList parent = list.GetParent();
        if (c.parentSize == 0) {
            EXPECT_EQ(nullptr, parent.m_pidl);
            continue;
        }
        ASSERT_NE(nullptr, parent.m_pidl);
        EXPECT_EQ(c.parentSize, CItemIDList::GetSize(parent.m_pidl));
        EXPECT_EQ(0, memcmp(start, parent.m_pidl, c.parentSize - 2));
    }
}

TEST(CItemIDList, SetPathBuildsAListAndNullEmptiesIt) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    CItemIDList list;
    list.SetPath(system);
    ASSERT_NE(nullptr, list.m_pidl);
    wchar_t back[MAX_PATH] = {};
    ASSERT_TRUE(SHGetPathFromIDListW(list.m_pidl, back));
    EXPECT_EQ(0, lstrcmpiW(system, back));

    list.SetPath(nullptr);
    EXPECT_EQ(nullptr, list.m_pidl);
    EXPECT_EQ(1, list.Free());
}

}  // namespace
