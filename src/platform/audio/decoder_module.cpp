// Finding and loading the FFmpeg decoder module: next to the running
// program, in ../lib/ostrel from it, where it is installed, and where the
// build puts it. It stays loaded until the process exits.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/decoder.h"

namespace ostaudio {

namespace {

std::mutex g_mutex;
bool g_tried = false;
const DecoderFuncs* g_funcs = nullptr;
bool g_overridden = false;
std::vector<std::string> g_dirs;

std::vector<std::string> searchDirs() {
    if (g_overridden) return g_dirs;
    std::vector<std::string> dirs;
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, (std::size_t)n);
        dir.erase(dir.find_last_of('/') + 1);
        dirs.push_back(dir);
        dirs.push_back(dir + "../lib/ostrel");
    }
#ifdef OSTAUDIO_MODULE_INSTALL_DIR
    dirs.push_back(OSTAUDIO_MODULE_INSTALL_DIR);
#endif
#ifdef OSTAUDIO_MODULE_BUILD_DIR
    dirs.push_back(OSTAUDIO_MODULE_BUILD_DIR);
#endif
    return dirs;
}

const DecoderFuncs* load(const std::string& path) {
    if (::access(path.c_str(), R_OK) != 0) return nullptr;
    void* lib = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return nullptr;
    auto entry = reinterpret_cast<DecoderModuleEntry>(::dlsym(lib, kDecoderModuleEntry));
    const DecoderFuncs* funcs = entry != nullptr ? entry(kDecoderModuleVersion) : nullptr;
    if (funcs == nullptr) ::dlclose(lib);
    return funcs;
}

}  // namespace

const DecoderFuncs* moduleDecoder() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_tried) return g_funcs;
    g_tried = true;
    for (const std::string& dir : searchDirs()) {
        if (dir.empty()) continue;
        g_funcs = load(dir + (dir.back() == '/' ? "" : "/") + kDecoderModuleFile);
        if (g_funcs != nullptr) break;
    }
    return g_funcs;
}

void setModuleSearchDirs(const std::vector<std::string>* dirs) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_overridden = dirs != nullptr;
    g_dirs = dirs != nullptr ? *dirs : std::vector<std::string>();
    g_tried = false;
    g_funcs = nullptr;
}

}  // namespace ostaudio
