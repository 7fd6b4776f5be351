#include "printerapp/papplmends.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace zlk::printerapp {

namespace {

struct PrinterState {
    int printingJob = 0;  // the job that has the device now, 0 for none
    pappl_device_t* closeAtEnd = nullptr;  // a close put off until that job ends
};

std::mutex gMutex;
std::map<pappl_device_t*, pappl_printer_t*> gPrinterOf;
std::map<pappl_printer_t*, PrinterState> gPrinters;

using CloseFunction = void (*)(pappl_device_t*);
using StartRoutine = void* (*)(void*);
using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, StartRoutine, void*);

// PAPPL's own papplDeviceClose, which the one below stands in front of.
void CloseForReal(pappl_device_t* device)
{
    static const auto real = reinterpret_cast<CloseFunction>(dlsym(RTLD_NEXT, "papplDeviceClose"));
    if (real)
        real(device);
}

// Jobs a thread has been started for, by printer and job id.
std::set<std::pair<pappl_printer_t*, int>> gStartedJobs;
// The job each printer is printing, from its thread's start until PAPPL
// reports it ended.
std::map<pappl_printer_t*, int> gRunningJob;

// A job thread PAPPL asked for. It runs the job only when no other job of
// the printer runs and no other thread ran this one; otherwise the job stays
// pending, and the end of the running job starts it again.
void* RunJobOnce(void* argument)
{
    const std::unique_ptr<std::pair<StartRoutine, pappl_job_t*>> call(
        static_cast<std::pair<StartRoutine, pappl_job_t*>*>(argument));
    pappl_job_t* job = call->second;
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const int id = papplJobGetID(job);
    {
        std::lock_guard lock(gMutex);
        if (gRunningJob.contains(printer) || !gStartedJobs.emplace(printer, id).second)
            return nullptr;
        gRunningJob[printer] = id;
        // Ids only grow; the oldest cannot come back.
        while (gStartedJobs.size() > 4096)
            gStartedJobs.erase(gStartedJobs.begin());
    }
    void* result = call->first(job);
    std::lock_guard lock(gMutex);
    if (const auto running = gRunningJob.find(printer); running != gRunningJob.end() && running->second == id)
        gRunningJob.erase(running);
    return result;
}

}  // namespace

void NoteDeviceOfJob(pappl_device_t* device, pappl_printer_t* printer)
{
    if (!device || !printer)
        return;
    std::lock_guard lock(gMutex);
    gPrinterOf[device] = printer;
}

// Called with the printer and job locked by PAPPL: only lock-free accessors.
void FollowJobEvents(pappl_system_t*, pappl_printer_t* printer, pappl_job_t* job, pappl_event_t event, void*)
{
    if (!printer || !job)
        return;
    pappl_device_t* close = nullptr;
    {
        std::lock_guard lock(gMutex);
        PrinterState& state = gPrinters[printer];
        const int id = papplJobGetID(job);
        if (event == PAPPL_EVENT_JOB_STATE_CHANGED && papplJobGetState(job) == IPP_JSTATE_PROCESSING) {
            state.printingJob = id;
        }
        if (event == PAPPL_EVENT_JOB_COMPLETED) {
            // The next job may start now; PAPPL looks for one as it ends this one.
            if (const auto running = gRunningJob.find(printer); running != gRunningJob.end() && running->second == id)
                gRunningJob.erase(running);
        }
        if (event == PAPPL_EVENT_JOB_COMPLETED && state.printingJob == id) {
            state.printingJob = 0;
            close = state.closeAtEnd;
            state.closeAtEnd = nullptr;
            if (close)
                gPrinterOf.erase(close);
        }
    }
    if (close)
        CloseForReal(close);
}

}  // namespace zlk::printerapp

// PAPPL calls this through its procedure linkage table, so the program's
// definition is the one it reaches (the program exports it: CMakeLists).
// A device closed after its job ended, while a job that started since holds
// it, stays open until that job ends.
extern "C" void papplDeviceClose(pappl_device_t* device);

// PAPPL 1.3 marks a job as processing only in the thread it starts for it,
// so two checks for work close together (a job arriving as another ends)
// start two threads for one job; both would print it and PAPPL would then
// finish and free it twice. The program's pthread_create, which PAPPL
// reaches as above, lets only the first thread of a job run it.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument)
{
    using namespace zlk::printerapp;
    static const auto real = reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    static const auto jobProcess = reinterpret_cast<StartRoutine>(dlsym(RTLD_DEFAULT, "_papplJobProcess"));
    if (!real)
        return EAGAIN;
    if (!jobProcess || routine != jobProcess)
        return real(thread, attributes, routine, argument);
    auto call = std::make_unique<std::pair<StartRoutine, pappl_job_t*>>(routine, static_cast<pappl_job_t*>(argument));
    const int result = real(thread, attributes, RunJobOnce, call.get());
    if (result == 0)
        call.release();
    return result;
}

extern "C" bool papplDeviceList(pappl_devtype_t types, pappl_device_cb_t callback, void* data,
                                pappl_deverror_cb_t errorCallback, void* errorData)
{
    using ListFunction = bool (*)(pappl_devtype_t, pappl_device_cb_t, void*, pappl_deverror_cb_t, void*);
    static const auto real = reinterpret_cast<ListFunction>(dlsym(RTLD_NEXT, "papplDeviceList"));
    if (!real)
        return false;
    // The daemon makes this socket when it runs.
    if ((types & PAPPL_DEVTYPE_DNS_SD) && access("/run/avahi-daemon/socket", F_OK) != 0)
        types &= ~static_cast<pappl_devtype_t>(PAPPL_DEVTYPE_DNS_SD);
    return real(types, callback, data, errorCallback, errorData);
}

extern "C" void papplDeviceClose(pappl_device_t* device)
{
    using namespace zlk::printerapp;
    if (device) {
        std::lock_guard lock(gMutex);
        if (const auto owner = gPrinterOf.find(device); owner != gPrinterOf.end()) {
            PrinterState& state = gPrinters[owner->second];
            if (state.printingJob != 0 && !state.closeAtEnd) {
                state.closeAtEnd = device;
                return;
            }
            gPrinterOf.erase(owner);
        }
    }
    CloseForReal(device);
}
