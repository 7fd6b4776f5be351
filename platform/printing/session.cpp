#include "platform/printing/session.h"

namespace zlk::platform {

OSStatus PMSessionGetCurrentPrinter(const PMPrintSession* session, const PMPrinter** printer)
{
    if (session == nullptr || printer == nullptr) {
        return paramErr;
    }
    const PMPrinter* current = session->currentPrinter();
    if (current == nullptr) {
        return kPMInvalidPrinter;
    }
    *printer = current;
    return noErr;
}

OSStatus PMPrinterGetID(const PMPrinter* printer, std::string* id)
{
    if (printer == nullptr || id == nullptr) {
        return paramErr;
    }
    *id = printer->id();
    return noErr;
}

OSStatus PMSessionGetDestinationType(const PMPrintSession* session, PMDestinationType* destination)
{
    if (session == nullptr || destination == nullptr) {
        return paramErr;
    }
    *destination = session->destinationType();
    return noErr;
}

}  // namespace zlk::platform
