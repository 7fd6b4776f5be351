#include "filter/signals.h"

#include <sys/prctl.h>
#include <unistd.h>

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

bool EndWithParent(pid_t parent)
{
    // The request holds from now on; a parent that ended before it was made
    // is seen by the child being handed to another process.
    return prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 ? getppid() == parent : true;
}

}  // namespace zlk::filter
