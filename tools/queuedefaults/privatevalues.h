// Keeping the driver's passwords in jobs from other users. The print dialogs
// send the secure print passcode as job-password, which the scheduler shows
// nobody; the mailbox and accounting passwords have no standard attribute
// and travel as ticket keys, which the scheduler shows anyone who asks for
// the job unless its policies list them in JobPrivateValues. This adds them
// to every policy of the scheduler's configuration, through the scheduler
// (as its web interface does), which then restarts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zlk::queuedefaults {

// The ticket keys that carry a password in a job.
const std::vector<std::string>& PasswordKeys();

// cupsd.conf text with every <Policy> listing PasswordKeys() in its
// JobPrivateValues ("default" kept, and added where the policy has no such
// line; "all" left alone; "none" replaced by the keys alone); changed says
// whether anything was added.
std::string WithPrivatePasswords(const std::string& conf, bool& changed);

// Fetches the scheduler's cupsd.conf (server: host[:port], empty for the
// default), applies WithPrivatePasswords and puts it back when it changed.
// 0, or 1 with the reason on err.
int HidePasswords(const std::string& server, std::ostream& out, std::ostream& err);

}  // namespace zlk::queuedefaults
