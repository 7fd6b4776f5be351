#include "tools/queuedefaults/privatevalues.h"

#include <cups/cups.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>

#include "common/fd.h"

namespace zlk::queuedefaults {

namespace {

constexpr char kPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";
constexpr char kConfResource[] = "/admin/conf/cupsd.conf";

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWithWord(const std::string& line, const std::string& word)
{
    return line.size() >= word.size() && strncasecmp(line.c_str(), word.c_str(), word.size()) == 0 &&
           (line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t' ||
            line[word.size()] == '>');
}

// The JobPrivateValues line of a policy with our keys; empty when it needs
// none ("all", or every key already there).
std::string PrivateValuesLine(const std::string& indent, const std::string& values)
{
    std::istringstream words(values);
    std::vector<std::string> kept;
    for (std::string word; words >> word;) {
        if (strcasecmp(word.c_str(), "all") == 0)
            return {};
        if (strcasecmp(word.c_str(), "none") != 0)
            kept.push_back(word);
    }
    // A policy that names none has the scheduler's default ones.
    if (values.empty())
        kept.push_back("default");
    bool added = false;
    for (const std::string& key : PasswordKeys()) {
        if (std::find(kept.begin(), kept.end(), key) == kept.end()) {
            kept.push_back(key);
            added = true;
        }
    }
    if (!added)
        return {};
    std::string line = indent + "JobPrivateValues";
    for (const std::string& word : kept)
        line += " " + word;
    return line;
}

}  // namespace

const std::vector<std::string>& PasswordKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all;
        for (const char* name : {"PrintTypePasswordTicketKey", "PrintTypeMBNPasswordTicketKey",
                                 "JBAUserPasswordTextEditTicket", "JBAStoragePasswordTextEditTicket",
                                 "JBAInputUserPasswordTextEditTicket", "JBAInputStoragePasswordTextEditTicket",
                                 "JBAAdminUserPasswordTextEditTicket", "JBAAdminStoragePasswordTextEditTicket"})
            all.push_back(std::string(kPrefix) + name);
        return all;
    }();
    return keys;
}

std::string WithPrivatePasswords(const std::string& conf, bool& changed)
{
    changed = false;
    std::istringstream in(conf);
    std::string out;
    bool inPolicy = false, listed = false;
    std::string policyIndent = "  ";
    for (std::string line; std::getline(in, line);) {
        const std::string trimmed = Trimmed(line);
        const std::string indent = line.substr(0, line.find_first_not_of(" \t"));
        if (StartsWithWord(trimmed, "<Policy")) {
            inPolicy = true;
            listed = false;
            policyIndent = indent + "  ";
        } else if (inPolicy && StartsWithWord(trimmed, "</Policy")) {
            if (!listed) {
                out += PrivateValuesLine(policyIndent, "") + "\n";
                changed = true;
            }
            inPolicy = false;
        } else if (inPolicy && StartsWithWord(trimmed, "JobPrivateValues")) {
            listed = true;
            const std::string replaced = PrivateValuesLine(indent, trimmed.substr(16));
            if (!replaced.empty()) {
                out += replaced + "\n";
                changed = true;
                continue;
            }
        }
        out += line + "\n";
    }
    return out;
}

int HidePasswords(const std::string& server, std::ostream& out, std::ostream& err)
{
    if (!server.empty())
        cupsSetServer(server.c_str());
    common::TempFile fetched, edited;
    common::UniqueFd fetchedFd = common::NewTempFile(fetched);
    common::UniqueFd editedFd = common::NewTempFile(edited);
    if (!fetchedFd || !editedFd) {
        err << "zlk-queue-defaults: cannot make a temporary file\n";
        return 1;
    }
    if (cupsGetFd(CUPS_HTTP_DEFAULT, kConfResource, fetchedFd.get()) != HTTP_STATUS_OK) {
        err << "zlk-queue-defaults: cannot read the scheduler's configuration: " << cupsLastErrorString() << "\n";
        return 1;
    }
    std::ifstream in(fetched.path());
    std::stringstream conf;
    conf << in.rdbuf();
    bool changed = false;
    const std::string text = WithPrivatePasswords(conf.str(), changed);
    if (!changed) {
        out << "The scheduler already keeps the driver's passwords in jobs from other users.\n";
        return 0;
    }
    if (!common::WriteAll(editedFd.get(), text) || lseek(editedFd.get(), 0, SEEK_SET) != 0 ||
        cupsPutFd(CUPS_HTTP_DEFAULT, kConfResource, editedFd.get()) != HTTP_STATUS_CREATED) {
        err << "zlk-queue-defaults: cannot change the scheduler's configuration: " << cupsLastErrorString() << "\n";
        return 1;
    }
    out << "The scheduler now keeps the driver's passwords in jobs from other users; it is restarting.\n";
    return 0;
}

}  // namespace zlk::queuedefaults
