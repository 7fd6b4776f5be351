#include "filter/signals.h"

namespace zlk::filter {

volatile std::sig_atomic_t CancelJob = 0;
volatile std::sig_atomic_t CancelJobForPipe = 0;

void SignalHandler(int) { CancelJob = 1; }
void SignalPipeHandler(int) { CancelJobForPipe = 1; }

void InstallSignalHandlers()
{
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = SignalHandler;
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = SignalPipeHandler;
    sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace zlk::filter
