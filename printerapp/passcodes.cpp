#include "printerapp/passcodes.h"

#include <string.h>
#include <sys/random.h>

#include <cstdio>
#include <string_view>

namespace zlk::printerapp {

namespace {

constexpr std::string_view kTokenPrefix = "zlk-passcode-token:";

void Wipe(std::string& text)
{
    explicit_bzero(text.data(), text.size());
    text.clear();
}

std::string NewToken()
{
    unsigned char bytes[16] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    std::string token(kTokenPrefix);
    char hex[3];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        token += hex;
    }
    return token;
}

// Operations a remote client may send without an authentication service.
bool IsJobOperation(ipp_op_t op)
{
    switch (op) {
    case IPP_OP_PRINT_JOB:
    case IPP_OP_VALIDATE_JOB:
    case IPP_OP_CREATE_JOB:
    case IPP_OP_SEND_DOCUMENT:
    case IPP_OP_CANCEL_JOB:
    case IPP_OP_CANCEL_MY_JOBS:
    case IPP_OP_CLOSE_JOB:
    case IPP_OP_GET_JOB_ATTRIBUTES:
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_PRINTER_ATTRIBUTES: return true;
    default: return false;
    }
}

}  // namespace

PasscodeStore::~PasscodeStore()
{
    for (auto& [token, entry] : entries_)
        Wipe(entry.passcode);
}

void PasscodeStore::TakeFromRequest(ipp_t* request)
{
    if (!request)
        return;
    const ipp_op_t op = ippGetOperation(request);
    if (op != IPP_OP_PRINT_JOB && op != IPP_OP_CREATE_JOB && op != IPP_OP_VALIDATE_JOB)
        return;
    ipp_attribute_t* attr = ippFindAttribute(request, "job-password", IPP_TAG_ZERO);
    if (!attr)
        return;
    std::string passcode;
    if (ippGetValueTag(attr) == IPP_TAG_STRING) {
        int length = 0;
        if (const void* data = ippGetOctetString(attr, 0, &length); data && length > 0)
            passcode.assign(static_cast<const char*>(data), static_cast<std::size_t>(length));
    } else if (const char* text = ippGetString(attr, 0, nullptr)) {
        passcode = text;
    }
    // The request's copy goes: PAPPL would log or keep it otherwise.
    if (ippGetValueTag(attr) == IPP_TAG_STRING) {
        int length = 0;
        if (void* data = const_cast<void*>(ippGetOctetString(attr, 0, &length)); data && length > 0)
            explicit_bzero(data, static_cast<std::size_t>(length));
    }
    ippDeleteAttribute(request, attr);
    if (passcode.empty() || op == IPP_OP_VALIDATE_JOB) {
        Wipe(passcode);
        return;
    }

    // The encryption keyword travels with it, in the same group the job keeps.
    if (ipp_attribute_t* encryption = ippFindAttribute(request, "job-password-encryption", IPP_TAG_ZERO);
        encryption && ippGetGroupTag(encryption) == IPP_TAG_OPERATION) {
        const std::string keyword = ippGetString(encryption, 0, nullptr) ? ippGetString(encryption, 0, nullptr) : "";
        ippDeleteAttribute(request, encryption);
        ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-password-encryption", nullptr, keyword.c_str());
    }

    const char* user = ippGetString(ippFindAttribute(request, "requesting-user-name", IPP_TAG_NAME), 0, nullptr);
    const std::string token = NewToken();
    {
        std::lock_guard lock(mutex_);
        entries_[token] = Entry{std::move(passcode), user ? user : ""};
    }
    ippAddOctetString(request, IPP_TAG_JOB, "job-password", token.data(), static_cast<int>(token.size()));
}

std::optional<std::string> PasscodeStore::Redeem(const std::string& token, const std::string& user)
{
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(token);
    if (found == entries_.end())
        return std::nullopt;
    // A token copied into another user's job is refused, and spent.
    const bool owner = found->second.user.empty() || found->second.user == user;
    std::string passcode = std::move(found->second.passcode);
    entries_.erase(found);
    if (!owner) {
        Wipe(passcode);
        return std::nullopt;
    }
    return passcode;
}

bool IsPasscodeToken(const std::string& value) { return value.starts_with(kTokenPrefix); }

http_status_t AuthorizeKeepingPasscodes(pappl_client_t* client, const char*, gid_t, void* data)
{
    if (auto* store = static_cast<PasscodeStore*>(data))
        store->TakeFromRequest(papplClientGetRequest(client));
    http_t* http = papplClientGetHTTP(client);
    if (http && httpAddrLocalhost(httpGetAddress(http)))
        return HTTP_STATUS_CONTINUE;
    const bool ipp = papplClientGetRequest(client) != nullptr;
    return ipp && IsJobOperation(papplClientGetOperation(client)) ? HTTP_STATUS_CONTINUE : HTTP_STATUS_FORBIDDEN;
}

}  // namespace zlk::printerapp
