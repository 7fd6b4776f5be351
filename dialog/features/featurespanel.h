// The features panel and the plug-in that offers it. The panel is built
// from the current printer's PPD: its option groups become pages chosen in
// a group selector, beside the fixed covers and separator, layout and
// advanced features groups; every choice goes to the host as a PPD mark or
// into the ticket.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dialog/features/featurecontrols.h"
#include "dialog/features/featuretables.h"
#include "dialog/framework/printpanel.h"
#include "platform/printing/pde.h"
#include "platform/system/bundle.h"
#include "ppd/quickxppd.h"

namespace zlk::features {

inline constexpr char kPanelKind[] = "com.zelko.print.pde.PrintFeaturesKind";
inline constexpr char kPanelLayoutName[] = "ZLKPrintFeature";
// No PPD option reaches the panel's general and PPD groups.
inline constexpr int kNoRealOptionErr = -9530;

// The panel. It never owns the host's objects (PPD, settings, session,
// callback); it owns its view, its controls and windows and its extended
// constraint table. Nothing throws; a PPD it cannot use leaves it empty.
class PrintFeaturesPDE final : public framework::BasePrintPanel, public platform::PDEPanel {
public:
    PrintFeaturesPDE(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle);
    ~PrintFeaturesPDE() override;

    // The host protocol.
    widgets::View* panelView() override;
    std::string panelName() override;
    std::string panelKind() override { return kPanelKind; }
    std::vector<std::string> supportedPPDOptionKeys() override;
    void willShow() override { Open(); }
    bool shouldHide() override { return true; }
    bool shouldPrint() override;
    bool restoreValuesAndReturnError(platform::PDEError* error) override;
    bool saveValuesAndReturnError(platform::PDEError* error) override;
    platform::PDESummary summaryInfo() override;
    // Changes the host reports are read again on the next restore.
    void PPDOptionKeyValueDidChange(const char*, const char*) override {}

    // The panel's own steps.
    int Open() override;
    int SetValueFromUIToControl() override;
    void CreatePanel(widgets::View* view) override;
    int InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool GetCurrentProductType();
    int AddUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD);

    // What the controls and windows ask.
    bool getPrintTypeMailbox() const { return isPrintTypeSavetoMailbox; }
    bool getSpecialPage() const { return isSpecialPage; }
    bool getWatermark() const { return isWatermark; }
    KeywordList getSavetoMailboxConstrainArray() const { return SavetoMailboxConstrainArray; }
    KeywordList getSavetoMailboxConstrainandRestoreArray() const { return SavetoMailboxConstrainandRestoreArray; }
    KeywordList getSpecialPageConstrainandRestoreArray() const { return SpecialPageConstrainandRestoreArray; }
    KeywordList getWatermarkConstrainandRestoreArray() const { return WatermarkConstrainandRestoreArray; }
    bool IsSeparatorOff() const;
    bool IsTabMarginShift() const;
    bool IsTrimmer() const;
    bool IsBookletMarginShift() const;
    bool IsNumberInSequence() const;
    bool IsOffsetStacking() const;
    int getOffsetStackingValue() const;
    int getTrimmerListValue() const;
    framework::PopupWinInPanel* getTabMarginWnd() const { return tabMarginWnd_; }
    framework::PopupWinInPanel* getTrimmerWnd() const { return trimmerWnd_; }
    framework::PopupWinInPanel* getTrimmerTopLowerWnd() const { return trimmerTopLowerWnd_; }
    framework::PopupWinInPanel* getBookletMarginWnd() const { return bookletMarginWnd_; }
    framework::PopupWinInPanel* getSepWnd() const { return sepWnd_; }
    framework::PopupWinInPanel* getNumInSeqWnd() const { return numInSeqWnd_; }
    framework::PopupWinInPanel* getOffsetStackingPagesWnd() const { return offsetStackingPagesWnd_; }
    framework::PopupWinInPanel* getOffsetStackingUnitsWnd() const { return offsetStackingUnitsWnd_; }
    widgets::GroupBox* GetFeaturesGroupBox() const { return groupBox_; }
    widgets::Widget* GetFeaturesSetSTextCtrl() const;
    // The three values other panels leave in the ticket.
    bool IsJobTypeMailbox() const;
    bool IsSpecialPage() const;
    bool IsWatermark() const;

    const std::string& currentMode() const { return currentProductMode; }

private:
    struct GroupOptions {
        std::string title;
        std::vector<ppd_option_t*> options;
    };
    void RefreshPanelFlags();
    std::string TableName() const;
    std::string Localized(const char* key) const;
    platform::PMPrintSettings* Settings() const;
    ppd_file_t* HostPPD() const;
    bool BuildOnce(platform::PDEError* error);
    bool Placeable(const ppd_option_t* option) const;
    int RealCount(const std::vector<ppd_option_t*>& options) const;
    int AddPPDOptionToUserPane(const std::string& title, const std::vector<ppd_option_t*>& options, int groupNo,
                               int realCount, bool generalGroup, ppd_file_t* ppd);
    // The controls of one option in a row: title and list, or check box; a
    // pick-many option only takes its row.
    void AddOptionRow(ppd_file_t* ppd, ppd_option_t* option, const RowPlace& place);
    void CreateCoversSepControl(ppd_file_t* ppd, const std::vector<ppd_option_t*>& options, int group);
    void CreateLayoutControl(ppd_file_t* ppd, const std::vector<ppd_option_t*>& options, int group);
    void CreateAdvancedFeaturesControl(ppd_file_t* ppd, int group);
    RowPlace Row(int index, int group) const;
    ControlID NextTag() { return nextTag_++; }
    // The title label of a row, sized to its text.
    BaseControl* AddTitle(ppd_file_t* ppd, const char* keyword, const RowPlace& place, int& titleLength);
    framework::PopupWinInPanel* AddWindow(std::unique_ptr<framework::PopupWinInPanel> window);
    template <class T>
    T* Add(std::unique_ptr<T> control);

    std::shared_ptr<const platform::Bundle> bundle_;
    std::unique_ptr<widgets::View> view_;
    std::unique_ptr<ppd::XConstraintTable> xppdTable_;
    std::vector<std::string> fxPPDKeywordList;
    std::vector<ppd_option_t*> CoverSeparatorRealOptionKeyArray;
    std::vector<ppd_option_t*> LayoutOptionKeyArray;
    std::vector<std::string> exclusion_;
    std::vector<std::string> support_;

    std::string PrintFeaturesMode;
    std::string currentProductMode;
    bool bFirstInitialzePDE = true;
    bool isShouldPrintCalled = false;
    bool isLayoutPanelExist = false;
    bool isPrintTypeSavetoMailbox = false;
    bool isSpecialPage = false;
    bool isWatermark = false;
    KeywordList SavetoMailboxConstrainArray;
    KeywordList SavetoMailboxConstrainandRestoreArray;
    KeywordList SpecialPageConstrainandRestoreArray;
    KeywordList WatermarkConstrainandRestoreArray;

    // The controls other code asks about; owned by the control list.
    PFGroupList* printFeatureGroupListCtrl = nullptr;
    widgets::GroupBox* groupBox_ = nullptr;
    PFListExt* separatorList_ = nullptr;
    PFCheckBoxExt* tabMarginSwitch_ = nullptr;
    PFCheckBoxExt* numInSequenceSwitch_ = nullptr;
    PFCheckBoxExt* trimmerSwitch_ = nullptr;
    PFNonPPDCheckBox* bookletMarginSwitch_ = nullptr;
    PFOffsetStackingListCtrl* offsetStackingList_ = nullptr;
    KPFTRIMMERLISTCTRL* trimmerList_ = nullptr;
    PFEjectOptionsListCtrl* ejectOptionsList_ = nullptr;
    // The pop-up windows; owned by the panel's window list.
    framework::PopupWinInPanel* tabMarginWnd_ = nullptr;
    framework::PopupWinInPanel* trimmerWnd_ = nullptr;
    framework::PopupWinInPanel* trimmerTopLowerWnd_ = nullptr;
    framework::PopupWinInPanel* bookletMarginWnd_ = nullptr;
    framework::PopupWinInPanel* sepWnd_ = nullptr;
    framework::PopupWinInPanel* numInSeqWnd_ = nullptr;
    framework::PopupWinInPanel* offsetStackingPagesWnd_ = nullptr;
    framework::PopupWinInPanel* offsetStackingUnitsWnd_ = nullptr;
    ControlID nextTag_ = kFirstRunTimeTag;
};

// The plug-in's principal object: offers the features panel for printers
// whose PPD names a features mode and whose help pages are in the bundle.
class PrintFeaturesPDEPlugin final : public platform::PDEPlugIn {
public:
    bool initWithBundle(std::shared_ptr<const platform::Bundle> bundle) override;
    std::vector<std::unique_ptr<platform::PDEPanel>> PDEPanelsForType(const std::string& type,
                                                                      platform::PDEPlugInCallback* hostInfo) override;

    std::vector<std::string> bundleProblems() const override { return problems_; }

private:
    // Records that the bundle lacks what; the panel is not offered.
    void Damaged(const std::string& what);

    std::shared_ptr<const platform::Bundle> bundle_;
    std::vector<std::string> problems_;
};

// The value of a vendor attribute of the PPD; empty when it is missing.
std::string VendorAttribute(ppd_file_t* ppd, const char* name);

}  // namespace zlk::features
