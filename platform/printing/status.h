// Status codes of the platform layer. The plug-ins pass them on unchanged,
// so the values are those the dialog code compares against.
#pragma once

#include <cstdint>

namespace zlk::platform {

using OSStatus = std::int32_t;

inline constexpr OSStatus noErr = 0;
// A file could not be read or written.
inline constexpr OSStatus ioErr = -36;
// A file or folder does not exist (also: a missing plug-in bundle).
inline constexpr OSStatus fnfErr = -43;
// A null or otherwise unusable argument.
inline constexpr OSStatus paramErr = -50;
inline constexpr OSStatus memFullErr = -108;
// A print settings key that has no value.
inline constexpr OSStatus kPMKeyNotFound = -9589;
// A print session without a current printer.
inline constexpr OSStatus kPMInvalidPrinter = -9590;
// Stored data (print settings, bundle dictionaries, layouts) that could be
// read but is not what it must be: not JSON, or of the wrong shape.
inline constexpr OSStatus kDamagedDataErr = -9600;

}  // namespace zlk::platform
