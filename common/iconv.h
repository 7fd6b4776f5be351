// The owner of an iconv conversion descriptor.
#pragma once

#include <iconv.h>

#include <utility>

namespace zlk::common {

class IconvHandle {
public:
    // Opens a conversion from the encoding `from` to `to` (iconv's names).
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (ok())
            iconv_close(cd_);
    }
    IconvHandle(IconvHandle&& other) noexcept : cd_(std::exchange(other.cd_, kNone)) {}
    IconvHandle& operator=(IconvHandle&&) = delete;
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // False when iconv does not know one of the encodings.
    bool ok() const { return cd_ != kNone; }
    iconv_t get() const { return cd_; }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
    iconv_t cd_;
};

}  // namespace zlk::common
