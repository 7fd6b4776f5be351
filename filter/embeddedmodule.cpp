#include "filter/embeddedmodule.h"

#include <dlfcn.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/fd.h"

namespace zlk::filter {

void* LoadEmbeddedModule(const char* name, const unsigned char* begin, const unsigned char* end, const char* entry,
                         std::string& why)
{
    // An unnamed memory file: nothing is written to disk, and nothing is
    // left behind however the process ends.
    common::UniqueFd file(memfd_create(name, MFD_CLOEXEC));
    const auto size = static_cast<std::size_t>(end - begin);
    if (!file || !common::WriteAll(file.get(), std::string_view(reinterpret_cast<const char*>(begin), size))) {
        why = std::strerror(errno);
        return nullptr;
    }
    void* module = dlopen(("/proc/self/fd/" + std::to_string(file.get())).c_str(), RTLD_NOW | RTLD_LOCAL);
    void* symbol = module ? dlsym(module, entry) : nullptr;
    if (!symbol) {
        const char* error = dlerror();
        why = error ? error : "no entry";
    }
    return symbol;
}

}  // namespace zlk::filter
