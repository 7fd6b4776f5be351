// Faults of PAPPL 1.3.1, mended from the outside: the program defines the
// PAPPL and C library functions below, and PAPPL, which calls them through
// its procedure linkage table, reaches the program's (exported.list).
//
// It can start two threads for one job, or two jobs at once on a printer:
// the program's pthread_create lets a job thread run only when no other job
// of the printer runs and no other thread ran that job.
//
// Its "Add Printer" web page lists network printers through avahi's client,
// which ends the program when no avahi-daemon runs: the program's
// papplDeviceList leaves DNS-SD printers out then.
//
// It lets the next job of a printer start, and hands it the printer's
// open device, a moment before the job that just ended closes that device
// (a file device after every job, any device once no job waits), so the
// next job would write to a closed device. Such a close is put off until
// the job that was handed the device has ended.
#pragma once

#include <pappl/pappl.h>

namespace zlk::printerapp {

// Called by a job's driver with the device it was handed.
void NoteDeviceOfJob(pappl_device_t* device, pappl_printer_t* printer);

// pappl_event_cb_t: follows which job of each printer is printing.
void FollowJobEvents(pappl_system_t* system, pappl_printer_t* printer, pappl_job_t* job, pappl_event_t event,
                     void* data);

}  // namespace zlk::printerapp
