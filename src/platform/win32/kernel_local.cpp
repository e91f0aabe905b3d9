// Local memory. Moveable blocks are handles in the handle table, locked to
// get their address; fixed blocks are their own address. Either kind is
// checked before use, so a stale handle or pointer fails instead of
// touching freed memory.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/win32/internal/handles.h"
#include "platform/win32/kernel.h"

using namespace win32;

namespace {

struct LocalBlock : Object {
    ~LocalBlock() override { std::free(memory); }
    void* memory = nullptr;  // null when the block has size 0 (discarded)
    std::mutex mutex;
    unsigned locks = 0;
};

struct FixedBlocks {
    std::mutex mutex;
    std::unordered_set<void*> blocks;
};

FixedBlocks& fixedBlocks() {
    static FixedBlocks* instance = new FixedBlocks;  // lives past static destructors
    return *instance;
}

bool isFixed(void* p) {
    FixedBlocks& f = fixedBlocks();
    std::lock_guard lock(f.mutex);
    return f.blocks.count(p) != 0;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    bool zero = (flags & LMEM_ZEROINIT) != 0;
    if (flags & LMEM_MOVEABLE) {
        auto block = std::make_shared<LocalBlock>();
        if (bytes > 0) {
            block->memory = zero ? std::calloc(bytes, 1) : std::malloc(bytes);
            if (!block->memory) return nullptr;
        }
        return addHandle(HandleKind::Local, block);
    }
    void* p = zero ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    if (!p) return nullptr;
    FixedBlocks& f = fixedBlocks();
    std::lock_guard lock(f.mutex);
    f.blocks.insert(p);
    return p;
}

LPVOID LocalLock(HLOCAL memory) {
    if (isFixed(memory)) return memory;
    auto block = findAs<LocalBlock>(memory, HandleKind::Local);
    if (!block || !block->memory) return nullptr;
    std::lock_guard lock(block->mutex);
    ++block->locks;
    return block->memory;
}

// Nonzero while the block stays locked; FALSE once unlocked, or for fixed
// memory, which has no lock count.
BOOL LocalUnlock(HLOCAL memory) {
    if (isFixed(memory)) return FALSE;
    auto block = findAs<LocalBlock>(memory, HandleKind::Local);
    if (!block) return FALSE;
    std::lock_guard lock(block->mutex);
    if (block->locks == 0) return FALSE;
    --block->locks;
    return block->locks > 0 ? TRUE : FALSE;
}

// Null on success; the argument back when it is not a live block.
HLOCAL LocalFree(HLOCAL memory) {
    if (!memory) return nullptr;
    {
        FixedBlocks& f = fixedBlocks();
        std::lock_guard lock(f.mutex);
        if (f.blocks.erase(memory)) {
            std::free(memory);
            return nullptr;
        }
    }
    return removeHandle(memory, HandleKind::Local) ? nullptr : memory;
}
