// The job option by which the print dialog hosts mark the jobs they send.
// The scheduler adds a queue's defaults to every job as if the job carried
// them, so the filter cannot otherwise tell the dialog's print type and
// accounting choices from the queue's defaults; a standard attribute
// (job-password, job-account-id) must win over the defaults, never over
// the dialog's choices.
#pragma once

namespace zlk::common {

inline constexpr char kDialogJobOption[] = "com.zelko.jt.printsettings.pdf.ww.PrintDialogJobTicketKey";
inline constexpr char kDialogJobValue[] = "true";

}  // namespace zlk::common
