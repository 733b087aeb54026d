#include "platform/string_table.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace platform {
namespace {
std::mutex& TableLock() {
    static std::mutex m;
    return m;
}
std::map<std::pair<HMODULE, unsigned>, std::u16string>& Table() {
    static std::map<std::pair<HMODULE, unsigned>, std::u16string> t;
    return t;
}
}  // namespace

void RegisterString(HMODULE module, unsigned id, std::u16string_view text) {
    std::lock_guard<std::mutex> lock(TableLock());
    Table()[{module, id}] = std::u16string(text);
}

void UnregisterStrings(HMODULE module) {
    std::lock_guard<std::mutex> lock(TableLock());
    auto& t = Table();
    for (auto it = t.begin(); it != t.end();)
        it = it->first.first == module ? t.erase(it) : std::next(it);
}

int LoadString(HMODULE module, unsigned id, WCHAR* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    std::lock_guard<std::mutex> lock(TableLock());
    auto it = Table().find({module, id});
    if (it == Table().end() || it->second.empty()) {
        buffer[0] = 0;
        return 0;
    }
    int n = int(it->second.size());
    if (n > capacity - 1) n = capacity - 1;
    for (int i = 0; i < n; ++i) buffer[i] = it->second[size_t(i)];
    buffer[n] = 0;
    return n;
}

}  // namespace platform
