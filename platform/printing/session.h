// The print session: which printer the dialog prints to and where the job
// goes. The host owns it; the panels only ask.
#pragma once

#include <cstdint>
#include <string>

#include "platform/printing/status.h"

namespace zlk::platform {

enum PMDestinationType : std::uint16_t {
    kPMDestinationPrinter = 1,
    kPMDestinationFile = 2,
    kPMDestinationPreview = 4,
};

// A printer as the session names it: the spooler's queue name.
class PMPrinter {
public:
    explicit PMPrinter(std::string id) : id_(std::move(id)) {}
    const std::string& id() const { return id_; }

private:
    std::string id_;
};

class PMPrintSession {
public:
    PMPrintSession() = default;
    explicit PMPrintSession(std::string queue, PMDestinationType destination = kPMDestinationPrinter)
        : printer_(std::move(queue)),
          destination_(destination)
    {}

    // An empty queue name means no current printer.
    void SetCurrentPrinter(std::string queue) { printer_ = PMPrinter(std::move(queue)); }
    void SetDestinationType(PMDestinationType destination) { destination_ = destination; }

    const PMPrinter* currentPrinter() const { return printer_.id().empty() ? nullptr : &printer_; }
    PMDestinationType destinationType() const { return destination_; }

private:
    PMPrinter printer_{std::string()};
    PMDestinationType destination_ = kPMDestinationPrinter;
};

// The session's current printer; the pointer stays valid until the
// session's printer changes. paramErr for null arguments,
// kPMInvalidPrinter when the session has no printer.
OSStatus PMSessionGetCurrentPrinter(const PMPrintSession* session, const PMPrinter** printer);

// The printer's identifier (the queue name). paramErr for null arguments.
OSStatus PMPrinterGetID(const PMPrinter* printer, std::string* id);

// Where the job goes: printer, preview or file. paramErr for null arguments.
OSStatus PMSessionGetDestinationType(const PMPrintSession* session, PMDestinationType* destination);

}  // namespace zlk::platform
