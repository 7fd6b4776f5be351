// The standard IPP job attributes that any client can send instead of the
// print dialog's ticket keys: a passcode for a job held at the printer
// (job-password, job-password-encryption) and accounting (job-account-id,
// job-accounting-user-id).
#pragma once

#include "common/ppdfile.h"

#include <string>

#include "filter/printoptions.h"

namespace zlk::filter {

// The longest passcode the print type panel takes.
inline constexpr int kPasscodeMaxDigits = 12;

// What the printer's PPD allows for a secure print passcode, and how the
// print dialog keeps it in the ticket for this model.
struct PasscodeRule {
    int minimum = 0;
    int maximum = kPasscodeMaxDigits;
    bool storedEncrypted = false;  // the dialog writes it as a Base64 storage blob
    bool canHoldJobs = true;  // the installed options give the printer storage to hold jobs in
};

// The rule of the PPD at ppdPath, read from its defaults (the installed
// options as the administrator set them); a PPD that does not open gives
// the defaults here (no minimum, digits in clear, jobs can be held).
PasscodeRule ReadPasscodeRule(const char* ppdPath);
// The same from the PPD as the caller parsed it (null: it did not parse).
PasscodeRule ReadPasscodeRule(const common::PPDHandle& ppd);

// Fills the print type group from job-password and the accounting group
// from job-account-id and job-accounting-user-id in jobOptions (argument 5),
// each group only when the print dialog did not send the job with keys of
// that group: the dialog's choices always win, the queue's defaults never
// do (the scheduler adds them to every job, so without the dialog's mark
// the ticket keys are taken for defaults). user is the requesting user, who names the
// held job. Answers the empty text, or why the job must not be printed (a
// passcode the printer cannot hold the job under, an accounting value that
// would be cut); the text never holds the passcode.
std::string ApplyStandardJobAttributes(const char* jobOptions, const char* user, const PasscodeRule& rule,
                                       printoptions& record);

}  // namespace zlk::filter
