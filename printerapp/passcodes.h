// Secure-print passcodes of the Printer Application's jobs, kept apart from
// the jobs' attributes: PAPPL hands those to any client that asks with
// Get-Job-Attributes, and it keeps job attributes only from the job group
// while IPP clients (CUPS among them) send job-password as an operation
// attribute.
#pragma once

#include <pappl/pappl.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace zlk::printerapp {

class PasscodeStore {
public:
    PasscodeStore() = default;
    ~PasscodeStore();
    PasscodeStore(const PasscodeStore&) = delete;
    PasscodeStore& operator=(const PasscodeStore&) = delete;

    // Takes job-password from a job request, whichever group carries it,
    // and leaves in its place, in the job group, a token that stands for it.
    void TakeFromRequest(ipp_t* request);

    // The passcode the token of a job stands for, once: the token is spent.
    // Empty when the job's value is no token of this store.
    std::optional<std::string> Redeem(const std::string& token, const std::string& user);

private:
    struct Entry {
        std::string passcode;
        std::string user;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

// pappl_auth_cb_t; data is the PasscodeStore. PAPPL calls it for every
// request that needs authorising: job requests have their passcode taken
// here, before PAPPL makes the job. Local clients may do everything;
// remote ones print and manage jobs only, as without an authentication
// service (PAPPL asks remote clients to encrypt first once a callback is set).
http_status_t AuthorizeKeepingPasscodes(pappl_client_t* client, const char* group, gid_t groupId, void* data);

// Whether a job-password value is a token of a PasscodeStore.
bool IsPasscodeToken(const std::string& value);

}  // namespace zlk::printerapp
