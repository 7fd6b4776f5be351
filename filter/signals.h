// Flags set by the filter's signal handlers; read between steps.
#pragma once

#include <csignal>

namespace zlk::filter {

extern volatile std::sig_atomic_t CancelJob;  // SIGTERM seen
extern volatile std::sig_atomic_t CancelJobForPipe;  // SIGPIPE seen

void SignalHandler(int);
void SignalPipeHandler(int);

// Installs both handlers without SA_RESTART, so a blocking read returns
// early when the job is cancelled.
void InstallSignalHandlers();

}  // namespace zlk::filter
