// Flags set by the filter's signal handlers; read between steps.
#pragma once

#include <sys/types.h>

#include <csignal>

namespace zlk::filter {

extern volatile std::sig_atomic_t CancelJob;  // SIGTERM seen
extern volatile std::sig_atomic_t CancelJobForPipe;  // SIGPIPE seen

void SignalHandler(int);
void SignalPipeHandler(int);

// Installs both handlers without SA_RESTART, so a blocking read returns
// early when the job is cancelled.
void InstallSignalHandlers();

// In a child just forked from the filter (parent: the filter's process id,
// taken before the fork): the child is killed when the filter ends, however
// it ends, so that a filter killed outright leaves no converter or renderer
// working on (and holding its temporary files open) for nobody. Answers
// false when the filter has already gone; the child should then leave.
bool EndWithParent(pid_t parent);

}  // namespace zlk::filter
