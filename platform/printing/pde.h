// The print dialog extension protocol between the print dialog host and
// its plug-ins. The host loads a plug-in, hands it its bundle, asks it for
// panels and drives each panel through these operations; the panels reach
// the host's print objects through the callback object.
#pragma once

#include <cups/ppd.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/printing/pageformat.h"
#include "platform/printing/printsettings.h"
#include "platform/printing/session.h"
#include "platform/printing/status.h"

namespace zlk::widgets {
class Toolkit;  // platform/widgets/toolkit.h
class View;  // platform/widgets/widget.h
}  // namespace zlk::widgets

namespace zlk::platform {

class Bundle;  // platform/system/bundle.h

// The panel type of the print dialog (the only type these plug-ins serve).
inline constexpr char kPrintDialogPDEType[] = "BDB091F4-E57F-11D3-B5CC-0050E4603277";
// The summary key under which a panel lists its titles in display order.
inline constexpr char kSummaryDisplayOrderKey[] = "Summary Display Order";

// Why a save or restore failed.
struct PDEError {
    OSStatus code = noErr;
    std::string message;
};

// A panel's summary: title to value, and the titles in display order.
struct PDESummary {
    std::map<std::string, std::string> values;
    std::vector<std::string> displayOrder;
};

// The host's side, lent to every panel. Everything it returns belongs to
// the host and outlives the panels.
class PDEPlugInCallback {
public:
    virtual ~PDEPlugInCallback() = default;

    virtual ppd_file_t* ppdFile() = 0;
    virtual PMPrintSession* printSession() = 0;
    virtual PMPrintSettings* printSettings() = 0;
    virtual PMPageFormat* pageFormat() = 0;
    // Asks the host to mark choice for the PPD option. True when the host
    // accepted and marked it; false leaves every mark as it was.
    virtual bool willChangePPDOptionKeyValue(const char* option, const char* ppdChoice) = 0;
    // The widget toolkit the host shows panels with; a panel builds its view
    // through it. Null: the host shows no panels (it only prints).
    virtual widgets::Toolkit* widgetToolkit() { return nullptr; }
    // The current time as the panels see it (a start time is judged against
    // it); the host may hold it still, as tests do.
    virtual std::chrono::system_clock::time_point currentTime() { return std::chrono::system_clock::now(); }
};

// One panel of a plug-in.
class PDEPanel {
public:
    virtual ~PDEPanel() = default;

    // The panel's content, owned by the panel; null when it could not be
    // built.
    virtual widgets::View* panelView() = 0;
    virtual std::string panelName() = 0;
    virtual std::string panelKind() = 0;
    // The PPD main keywords this panel shows, so the host leaves them out
    // of its own panels.
    virtual std::vector<std::string> supportedPPDOptionKeys() = 0;
    virtual void willShow() = 0;
    // False keeps the panel on screen (a value is not acceptable yet).
    virtual bool shouldHide() = 0;
    // False stops the print.
    virtual bool shouldPrint() = 0;
    virtual bool restoreValuesAndReturnError(PDEError* error) = 0;
    virtual bool saveValuesAndReturnError(PDEError* error) = 0;
    virtual PDESummary summaryInfo() = 0;
    // The host reports a PPD choice that changed outside the panel.
    virtual void PPDOptionKeyValueDidChange(const char* option, const char* ppdChoice) = 0;
    // True when the host should show its own help; false when the panel
    // showed help itself.
    virtual bool shouldShowHelp() { return true; }
};

// A plug-in's principal object, created by the plug-in's one C entry.
class PDEPlugIn {
public:
    virtual ~PDEPlugIn() = default;

    // The plug-in's bundle: its information dictionary and resources.
    virtual bool initWithBundle(std::shared_ptr<const Bundle> bundle) = 0;
    // The panels for the given panel type, none when the plug-in offers
    // nothing for this printer. hostInfo stays valid while the panels live.
    virtual std::vector<std::unique_ptr<PDEPanel>> PDEPanelsForType(const std::string& type,
                                                                    PDEPlugInCallback* hostInfo) = 0;
    // What the last PDEPanelsForType left out because the bundle is damaged
    // (a help page or layout the printer's panel needs is missing), a
    // sentence each naming the bundle; hosts show them.
    virtual std::vector<std::string> bundleProblems() const { return {}; }
};

// The one C entry each plug-in library exports: it creates the plug-in's
// principal object, which the host then owns and deletes.
inline constexpr char kPDEPlugInEntryName[] = "ZLKCreatePDEPlugIn";
using PDEPlugInEntry = PDEPlugIn* (*)();

}  // namespace zlk::platform
