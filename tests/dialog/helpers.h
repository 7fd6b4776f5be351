// Shared set-up for the framework tests: a headless toolkit, a panel view,
// and small control kinds that stand in for the panel-specific ones.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dialog/framework/basecontrol.h"
#include "dialog/framework/printpanel.h"
#include "platform/printing/hostcallback.h"
#include "platform/widgets/headless.h"

namespace zlk::framework::test {

inline std::string DialogFixture(const std::string& name) { return std::string(ZLK_TEST_FIXTURES) + "/dialog/" + name; }

// A panel whose administrator answer the test chooses.
class TestPanel : public BasePrintPanel {
public:
    explicit TestPanel(platform::PDEPlugInCallback* callback = nullptr) : BasePrintPanel(callback) {}
    bool IsUserAdmin() const override { return admin; }
    bool admin = true;
};

// A text value taken from a text field, the simplest saved control.
class TextValueControl : public BaseControl {
public:
    TextValueControl(widgets::Widget* widget, const AccessInfo* access, const ConstraintInfo* constraint = nullptr,
                     const char* user = kPreferencesCurrentUser, std::string defaultText = "dflt")
        : BaseControl(widget),
          defaultText_(std::move(defaultText))
    {
        StoreRecords(constraint, access, user);
    }
    bool InitializeCtrl(const platform::Bundle*, ppd_file_t*) override
    {
        AllocateBlocks(kTextBlockSize);
        return true;
    }
    int GetValueFromUI() override
    {
        auto* field = ControlPtr ? ControlPtr->As<widgets::TextField>() : nullptr;
        if (!field || ctrlUIDataBlkPtr.empty()) {
            return 0;
        }
        SetBlockText(ctrlUIDataBlkPtr, field->Text());
        ctrlDataSize = kTextBlockSize;
        return 1;
    }
    bool SetControlValueToUI() override
    {
        if (auto* field = ControlPtr ? ControlPtr->As<widgets::TextField>() : nullptr) {
            field->SetText(CommittedText());
        }
        return true;
    }
    const void* GetDefaultDataBlk() const override { return defaultText_.c_str(); }
    std::uint32_t GetDefaultDataSize() const override { return static_cast<std::uint32_t>(defaultText_.size() + 1); }
    bool ConvertToTickectData(std::string& out, bool) override
    {
        out = CommittedText();
        return true;
    }
    bool ConvertToPreferenceString(std::string& out) override
    {
        out = CommittedText();
        return true;
    }
    bool ConvertFromPreferenceString(const std::string& text) override
    {
        SetBlockText(ctrlDataBlkPtr, text);
        return true;
    }
    bool GetValueToPreset() override
    {
        std::string value;
        if (!ReadTicketValue(value)) {
            return false;
        }
        SetBlockText(ctrlDataBlkPtr, value);
        return true;
    }
    bool InvalidateData() override { return acceptValue; }
    bool IsOutputNullToTicket() override { return outputNull; }
    void Commit(const std::string& text) { SetBlockText(ctrlDataBlkPtr, text); }

    bool acceptValue = true;
    bool outputNull = false;

private:
    std::string defaultText_;
};

// A control that only applies its constraint lists for choice 0 or 1.
class SwitchControl : public BaseControl {
public:
    SwitchControl(widgets::Widget* widget, const ConstraintInfo* constraint) : BaseControl(widget)
    {
        StoreRecords(constraint, nullptr, kPreferencesCurrentUser);
    }
    int GetCurrentControlArrayNumber() override { return 0; }
};

// The host's callback over a fixture PPD, refusing the choices a test names
// (as a host rule or a conflict the host enforces would).
class RefusingHost : public platform::PDEPlugInCallback {
public:
    explicit RefusingHost(const std::string& ppdName, std::string queue = "fw-queue")
    {
        platform::OSStatus status = 0;
        host = platform::HostPDECallback::Open(DialogFixture(ppdName), std::move(queue), &status);
        EXPECT_TRUE(host) << status;
    }
    ppd_file_t* ppdFile() override { return host->ppdFile(); }
    platform::PMPrintSession* printSession() override { return host->printSession(); }
    platform::PMPrintSettings* printSettings() override { return host->printSettings(); }
    platform::PMPageFormat* pageFormat() override { return host->pageFormat(); }
    bool willChangePPDOptionKeyValue(const char* option, const char* ppdChoice) override
    {
        asked.emplace_back(std::string(option) + "=" + ppdChoice);
        if (refused.count(std::string(option) + "=" + ppdChoice)) {
            return false;
        }
        return host->willChangePPDOptionKeyValue(option, ppdChoice);
    }
    std::string Marked(const char* option)
    {
        const ppd_choice_t* choice = ppdFindMarkedChoice(ppdFile(), option);
        return choice ? choice->choice : "";
    }

    std::unique_ptr<platform::HostPDECallback> host;
    std::set<std::string> refused;
    std::vector<std::string> asked;
};

}  // namespace zlk::framework::test
