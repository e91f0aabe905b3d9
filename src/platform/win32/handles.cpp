#include "platform/win32/internal/handles.h"

#include <mutex>
#include <unordered_map>

namespace win32 {
namespace {

constexpr int kKindBits = 4;

struct Table {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> objects;
    std::uintptr_t nextSerial = 1;
};

Table& table() {
    static Table* instance = new Table;  // outlives every static destructor that may still look up handles
    return *instance;
}

}  // namespace

void* addHandle(HandleKind kind, std::shared_ptr<Object> object) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    std::uintptr_t value = (t.nextSerial++ << kKindBits) | static_cast<std::uintptr_t>(kind);
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<void*>(value);
}

std::shared_ptr<Object> findHandle(const void* handle, HandleKind kind) {
    if (!handle || handleKindOf(handle) != kind) return nullptr;
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool removeHandle(const void* handle, HandleKind kind) {
    if (!handle || handleKindOf(handle) != kind) return false;
    std::shared_ptr<Object> doomed;  // released outside the lock: destructors may use the table
    Table& t = table();
    {
        std::lock_guard lock(t.mutex);
        auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == t.objects.end()) return false;
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    return true;
}

HandleKind handleKindOf(const void* handle) {
    return static_cast<HandleKind>(reinterpret_cast<std::uintptr_t>(handle) & ((1u << kKindBits) - 1));
}

}  // namespace win32
