// Each queue's print settings kept between dialogs, one JSON file per queue
// in the user's configuration folder:
//   <folder>/<queue>.json   {"format": 1, "entries": {key: {"value": text, "locked": bool}}}
// Files are written atomically (temporary file in the same folder, fsync,
// rename) with mode 0600. A file that cannot be understood is moved aside
// to <queue>.json.damaged-<time> and reported, never overwritten unseen.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/printing/printsettings.h"
#include "platform/printing/status.h"

namespace zlk::platform {

struct StoreResult {
    // noErr; fnfErr: nothing stored yet for the queue; paramErr: unusable
    // queue name; ioErr: the file or folder could not be read or written;
    // kDamagedDataErr: the stored file was damaged and has been moved aside.
    OSStatus status = noErr;
    // What went wrong, for the log; empty on success.
    std::string message;
    // Where a damaged file now lies.
    std::filesystem::path movedAside;

    bool ok() const { return status == noErr; }
};

// $XDG_CONFIG_HOME/zelko/printsettings, where XDG_CONFIG_HOME defaults to
// ~/.config when unset, empty or relative. home empty: the password entry's
// home folder of the real user.
std::filesystem::path DefaultPrintSettingsFolder(std::string_view xdgConfigHome, std::string_view home);
// The same, read from the process environment.
std::filesystem::path DefaultPrintSettingsFolder();

// The file name stem for a queue: letters, digits and "-_+@" stay, every
// other byte becomes %XX, so no name can leave the folder or hide as a dot
// file; a stem longer than 160 bytes is cut and given a hash of the whole
// name. Empty for an empty queue name.
std::string QueueFileStem(std::string_view queue);

class PrintSettingsStore {
public:
    // Runs after the temporary file is written and synced, before the
    // rename. Returning false abandons the write. For tests.
    using BeforeRename = std::function<bool(const std::filesystem::path& temporaryFile)>;

    explicit PrintSettingsStore(std::filesystem::path folder, BeforeRename beforeRename = {});

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path PathFor(std::string_view queue) const;

    // Replaces settings with what is stored for queue. On any failure
    // settings is left empty.
    StoreResult Load(std::string_view queue, PMPrintSettings& settings) const;
    // Stores settings for queue, creating the folder (mode 0700) if needed.
    StoreResult Save(std::string_view queue, const PMPrintSettings& settings) const;

private:
    std::filesystem::path folder_;
    BeforeRename beforeRename_;
};

}  // namespace zlk::platform
