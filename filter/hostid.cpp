#include "filter/hostid.h"

#include <unistd.h>

#include <cstring>

#include "common/sha256.h"
#include "filter/encoding.h"
#include "filter/options.h"

namespace zlk::filter {

void CutHostName(const char* systemName, bool utf8Printer, char* buffer)
{
    std::memset(buffer, 0, kHostNameSize);
    std::string name = systemName ? systemName : "";
    if (utf8Printer) {
        if (auto cut = FirstUTF16Units(name.c_str(), 32))
            name = *cut;
    }
    std::memcpy(buffer, name.data(), std::min(name.size(), kHostNameSize - 1));
}

void getHostName(char* buffer, bool utf8Printer)
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        std::memset(buffer, 0, kHostNameSize);
        return;
    }
    CutHostName(name, utf8Printer, buffer);
}

namespace {
bool IsLoopback(std::string_view host)
{
    return host.empty() || host == "localhost" || host.starts_with("127.") || host == "::1" || host == "[::1]" ||
           host.starts_with("localhost.");
}
}  // namespace

void JobHostName(const char* jobOptions, bool utf8Printer, char* buffer)
{
    const JobOptions options(jobOptions);
    const char* origin = options.Get("job-originating-host-name");
    if (origin == nullptr || IsLoopback(origin)) {
        getHostName(buffer, utf8Printer);
        return;
    }
    CutHostName(origin, utf8Printer, buffer);
}

std::string Sha256Hex(std::string_view bytes)
{
    const common::Sha256Digest digest = common::Sha256(bytes);
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex(64, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

void sha256(const char* text, char* destination)
{
    std::string hex = Sha256Hex(text ? text : "");
    std::strcat(destination, hex.c_str());
}

void uppercharacter(char* text)
{
    for (; text && *text; ++text)
        if (*text >= 'a' && *text <= 'z')
            *text = static_cast<char>(*text - 'a' + 'A');
}

}  // namespace zlk::filter
