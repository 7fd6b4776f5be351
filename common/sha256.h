// SHA-256 of a few short texts per job (the job stream's digests of names).
// Written out here because the filter would otherwise load and initialise
// libcrypto for every job just for these, which costs more than the rest of
// its start-up; jobs that carry passwords still use OpenSSL for those.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zlk::common {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view bytes);

}  // namespace zlk::common
