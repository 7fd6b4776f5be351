// The model object behind every input element of the dialog panels: one
// widget, a committed and an edited value, the static records, counted
// enable and visibility, and the ticket and preference conversions.
#pragma once

#include <cups/ppd.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialog/framework/records.h"
#include "platform/printing/printsettings.h"
#include "platform/system/bundle.h"
#include "platform/widgets/widget.h"
#include "ppd/pdechoice.h"

namespace zlk::framework {

class BasePrintPanel;
using PDEChoice = ppd::PDEChoice;
using SummaryDictionary = std::map<std::string, std::string>;
using OrderArray = std::vector<std::string>;

// A value block: absent (empty) or a fixed number of bytes.
using ValueBlock = std::vector<std::uint8_t>;

// Keys whose stored preference is kept encrypted.
bool IsPasswordPreferenceKey(const char* key);
// "/" followed by each byte's decimal value.
std::string ToSlashDecimal(const std::string& text);
// The text must travel in slash-decimal form.
bool NeedsSlashDecimal(const std::string& text);
// The storage blob of text, Base64-encoded; status receives the encoder's error.
bool EncryptToStorageText(const std::string& text, std::string& out, int& status);
bool DecryptFromStorageText(const std::string& base64, std::string& out, int& status);
// Developer diagnostics to the system log.
void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The contract every control kind inherits. The control owns its two value
// blocks and the PPD choices; it only refers to its widget, its panel and
// its static records, which outlive it. Enable and visibility are counted,
// so a control stays disabled or hidden while any constraint holds it. The
// ticket is written only through SetValueToSettingsWithTicketKeyAndLock, in
// the plain or the encrypted form; a control without a ticket key writes
// nothing, one without a preference key remembers nothing. Every operation
// returns a status and never throws: a missing record, block, key or widget
// makes it a no-op with the result its comment states.
class BaseControl {
public:
    // CreateControl:
    explicit BaseControl(widgets::Widget* widget);
    virtual ~BaseControl();
    // Not copyable: the widget's action calls back into this very control.
    BaseControl(const BaseControl&) = delete;
    BaseControl& operator=(const BaseControl&) = delete;

    void SetControlPtr(widgets::Widget* widget) { ControlPtr = widget; }
    widgets::Widget* GetControlPtr() const { return ControlPtr; }
    virtual int Open() { return 0; }
    virtual int Close() { return 0; }
    void SetParenetPanel(BasePrintPanel* panel) { ctrlParentPanelPtr = panel; }
    BasePrintPanel* GetParentPanel() const { return ctrlParentPanelPtr; }
    virtual void setTargetandAction();

    virtual bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD);
    virtual bool ReInitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD);
    virtual int ConstrainPanelControlFromPPD(ppd_file_t*) { return 0; }
    virtual int UpdateConflictsPanelControlFromPPD(ppd_file_t*) { return 0; }

    virtual int GetValueFromUI() { return 0; }
    virtual bool GetValueToPreset() { return false; }
    virtual int GetValueFromControl() { return 0; }
    virtual bool InvalidateData() { return true; }
    virtual bool InvalidateDataAndReturnError() { return true; }
    virtual bool InvalidateDataOnCancel() { return true; }
    virtual bool PreInvalidateData() { return true; }
    virtual bool PreInvalidateDataOnCancel() { return true; }
    virtual bool InvalidateDataOnPrintCommand();

    virtual void SetValueFromUIToControl();
    virtual bool SetControlValueToUI() { return true; }
    virtual bool SetUIValueToIniData();
    virtual bool SetControlValueToDefault();

    // Conversions; out holds at most 255 bytes.
    virtual bool ConvertToPreferenceString(std::string& out);
    virtual bool ConvertFromPreferenceString(const std::string& text);
    virtual bool ConvertToTickectData(std::string& out, bool lock);

    // Per-printer preference domain (inactive on current systems).
    virtual bool SetValueToPreference();
    virtual bool GetValueFromPreference();
    // The print settings back end.
    virtual bool SetValueToPreferenceWithPrinterSettings();
    virtual bool GetValueFromPreferenceWithPrinterSettings();

    virtual bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                                  const std::vector<widgets::Widget*>& encryptArray);
    virtual bool SetValueToTicketWithEnc(platform::PMPrintSettings* settings, bool withParam);
    virtual bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam);

    virtual int GetSummaryText(SummaryDictionary&, OrderArray&) { return 0; }

    virtual bool UIEventHandler();
    virtual bool SimulationUIEventHandler();
    virtual int DoControlConstrain() { return 0; }
    virtual int DoControlHideConstrain() { return 0; }
    virtual int DoSelfUpdate() { return 0; }

    void HideControlConstrains(IdentifierList list);
    void EnableControlConstrains(IdentifierList list);
    void ShowControlConstrains(IdentifierList list);
    void DisableControlConstrains(IdentifierList list);
    void HideControlConstrains();
    void ShowControlConstrains();
    void DisableControlConstrains();
    void EnableControlConstrains();
    virtual void DoControlUpdateConstrain();

    virtual void ResetStatus();
    virtual bool SetControlData(const void*) { return true; }
    virtual bool SetExternalValueToUI(const void*, std::uint32_t) { return true; }
    virtual bool setExternalValueToData(const void* value, std::uint32_t size, int valueType);
    virtual bool SetDefaultValueToUI();

    virtual const void* GetDefaultDataBlk() const { return nullptr; }
    virtual std::uint32_t GetDefaultDataSize() const { return 0; }
    virtual const void* GetIniDataBlk() const { return nullptr; }
    virtual std::uint32_t GetIniDataSize() const { return 0; }
    ValueBlock& GetControlBlkPtr() { return ctrlDataBlkPtr; }
    void setDataBlkSize(std::uint32_t size) { ctrlDataSize = size; }
    std::uint32_t GetDataBlkSize() const { return ctrlDataSize; }

    virtual void Enable();
    virtual void Disable();
    virtual void Show();
    virtual void Hide();
    virtual void PPDCtrlShow();
    virtual void PPDCtrlHide();
    virtual int Update() { return 0; }
    virtual int GetCurrentControlArrayNumber() { return 0; }
    virtual bool IsOutputNullToTicket() { return false; }
    virtual void RequestControlAction(widgets::Widget* sender);
    ValueBlock& GetValueFromUIDataBlk() { return ctrlUIDataBlkPtr; }

    std::vector<PDEChoice>& getPPDChoices() { return m_paPPDChoices; }
    void setPPDChoices(std::vector<PDEChoice> choices) { m_paPPDChoices = std::move(choices); }
    ppd_option_t* getPPDOptions() const { return m_ptPPDOptions; }
    void setPPDOptions(ppd_option_t* option) { m_ptPPDOptions = option; }

    // Inspection for the panels and tests.
    std::int32_t ConstrainCount() const { return ctrlConstrainCount; }
    std::int32_t HideCount() const { return ctrlHideCount; }
    bool ValueDidChange() const { return valueDidChange; }
    const std::string& GetLocalizeTableName() const { return LocalizeTableName; }
    void SetLocalizeTableName(std::string table) { LocalizeTableName = std::move(table); }
    const AccessInfo* GetAccessInfo() const { return ctrlDataAccessInfoPtr; }
    const std::string& GetPreferenceUser() const { return userNameinPreference; }
    std::int32_t GetGroupIndex() const { return ctrlInWhichGroup; }
    void SetGroupIndex(std::int32_t group) { ctrlInWhichGroup = group; }

    // Committed value as an integer or text (0 / "" when absent).
    std::int32_t CommittedInt() const { return BlockInt(ctrlDataBlkPtr); }
    // False before the control was initialised (it has no value block yet).
    bool HasValueBlock() const { return !ctrlDataBlkPtr.empty(); }
    std::string CommittedText() const { return BlockText(ctrlDataBlkPtr); }
    std::int32_t UIInt() const { return BlockInt(ctrlUIDataBlkPtr); }
    std::string UIText() const { return BlockText(ctrlUIDataBlkPtr); }

    static std::int32_t BlockInt(const ValueBlock& block);
    static void SetBlockInt(ValueBlock& block, std::int32_t value);
    static std::string BlockText(const ValueBlock& block);
    // Clears the block and copies at most size - 1 bytes of text.
    static void SetBlockText(ValueBlock& block, const std::string& text);

protected:
    // CreateControl: followed by storing the records, as every kind's longer
    // creation operation does.
    BaseControl(widgets::Widget* widget, const ConstraintInfo* constraint, const AccessInfo* access,
                const char* usernamein);
    // The records every kind stores after CreateControl.
    void StoreRecords(const ConstraintInfo* constraint, const AccessInfo* access, const char* usernamein);
    // Both blocks of size bytes, zero when new.
    void AllocateBlocks(std::size_t size);
    // The current print settings and bundle of the owning panel.
    platform::PMPrintSettings* PanelSettings() const;
    const platform::Bundle* PanelBundle() const;
    // The ticket value under this control's key, if present.
    bool ReadTicketValue(std::string& value) const;
    // The element of the lists for a choice number; null when absent.
    static IdentifierList ListAt(ChoiceLists lists, int index);
    // One kind of list of the constraint record (&ConstraintInfo::hideLists,
    // ...); empty without a record.
    ChoiceLists ConstraintLists(ChoiceLists ConstraintInfo::*which) const;
    // Holds the controls listed for the new choice, then releases those of
    // the old one (none when oldIndex is below zero).
    void SwitchConstraintLists(ChoiceLists lists, int newIndex, int oldIndex, void (BaseControl::*hold)(IdentifierList),
                               void (BaseControl::*release)(IdentifierList));
    // Whether the current user may write any-user preferences.
    bool MayWritePreference() const;
    // Any widget in the window: searches from the widget's root.
    widgets::Widget* FindSiblingWidget(ControlID tag) const;
    std::string Localized(const char* key, const std::string& table) const;

    widgets::Widget* ControlPtr = nullptr;
    std::int32_t ctrlInWhichGroup = -1;
    BasePrintPanel* ctrlParentPanelPtr = nullptr;
    std::uint32_t ctrlDataSize = 0;
    ValueBlock ctrlDataBlkPtr;
    ValueBlock ctrlUIDataBlkPtr;
    std::int32_t ctrlConstrainCount = 0;
    std::int32_t ctrlHideCount = 0;
    const ConstraintInfo* ctrlConstrainControlArray = nullptr;
    const AccessInfo* ctrlDataAccessInfoPtr = nullptr;
    std::string userNameinPreference;
    std::vector<PDEChoice> m_paPPDChoices;
    ppd_option_t* m_ptPPDOptions = nullptr;
    std::string LocalizeTableName;
    bool valueDidChange = false;

private:
    // The one ticket write: the plain form (slash-decimal where needed) or
    // the encrypted one; both cut the text to 255 bytes and honour
    // IsOutputNullToTicket.
    bool WriteTicket(platform::PMPrintSettings* settings, bool withParam, bool encrypted);
    // Copies a kind's record block (initial or default) into a value block
    // and takes its size; nothing without a record block or a value block.
    void CopyRecordBlock(const void* from, std::uint32_t size, ValueBlock& into);
    // The list of that kind for the current choice number; null without a
    // record (the choice number is then not asked for).
    IdentifierList CurrentList(ChoiceLists ConstraintInfo::*which);

    // Lets a widget that outlives its control ignore later clicks.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zlk::framework
