// Reading files that outside input names (a PPD attribute, a settings or
// layout path): only regular files, opened without blocking, so that a FIFO
// or a device named there can neither hang the reader nor feed it for ever.
#pragma once

#include <cstddef>
#include <string>

#include "common/fd.h"

namespace zlk::common {

enum class FileRead { ok, missing, notRegular, tooLarge, failed };

// The open descriptor of the regular file at path; empty otherwise, with
// errno set (EINVAL when the path names no regular file) and, when why is
// given, a sentence naming the path and the cause. followLinks false
// refuses a symbolic link in the last component.
UniqueFd OpenRegularFile(const std::string& path, std::string* why = nullptr, bool followLinks = true);

// The whole regular file at path, when it holds at most maxBytes.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out, std::string* why = nullptr,
                         bool followLinks = true);

}  // namespace zlk::common
