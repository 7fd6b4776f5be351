// The control kinds that hold a choice or a number: lists, check boxes,
// radio buttons and groups, steppers, labels, buttons, group boxes, the
// run-time laid-out PPD kinds and the installable-option control.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/framework/basecontrol.h"
#include "dialog/framework/ppdbacked.h"
#include "platform/widgets/controls.h"
#include "ppd/quickxppd.h"

namespace zlk::framework {

// A control whose value is one integer: a list's item number, a check
// box's state, a stepper's value. It writes "%d" of the committed value to
// the ticket and the preferences and reads both back with decimal
// conversion; its default and initial values are the two slots of its
// static record. A kind supplies the record slots and the widget side
// (WidgetValue, ShowValue); the value blocks are always 4 bytes.
class IntValueControl : public BaseControl {
public:
    using BaseControl::BaseControl;
    bool ConvertToPreferenceString(std::string& out) override;
    bool ConvertFromPreferenceString(const std::string& text) override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    bool GetValueToPreset() override;
    // The widget's value into the UI block; 0 without a widget or block.
    int GetValueFromUI() override;
    // The committed value into the widget.
    bool SetControlValueToUI() override;
    const void* GetDefaultDataBlk() const override;
    std::uint32_t GetDefaultDataSize() const override;
    const void* GetIniDataBlk() const override;
    std::uint32_t GetIniDataSize() const override;

protected:
    // Where the kind's record keeps its default and initial values; both
    // null without a record. Every integer record begins {reserved,
    // default, initial}.
    struct RecordSlots {
        const std::int32_t* defaultValue = nullptr;
        const std::int32_t* initialValue = nullptr;
    };
    template <class Record>
    static RecordSlots SlotsOf(const std::optional<Record>& record)
    {
        return record ? RecordSlots{&record->defaultValue, &record->initialValue} : RecordSlots{};
    }
    virtual RecordSlots Slots() const { return {}; }
    // The value the widget shows, as the blocks keep it; nothing without a
    // widget.
    virtual std::optional<std::int32_t> WidgetValue() const { return std::nullopt; }
    // Shows a committed value in the widget, if there is one.
    virtual void ShowValue(std::int32_t) {}
    // Both blocks of 4 bytes and the size set (InitializeCtrl of every kind).
    void AllocateIntBlocks();
};

// A control whose value is a choice number that indexes its constraint
// lists: lists, check boxes, radio buttons. Its constraint steps act only
// when the widget's choice differs from the one remembered in the UI block,
// so running them twice for the same choice changes nothing: the old
// choice's hides are released and the new choice's applied.
class ChoiceControl : public IntValueControl {
public:
    using IntValueControl::IntValueControl;
    int DoControlHideConstrain() override;
    void DoControlUpdateConstrain() override;

protected:
    // The widget's choice in the form the UI block remembers it.
    virtual int WidgetChoice() = 0;
    // The constraint-list index of a remembered choice.
    virtual int ListIndex(int choice) const = 0;
    // True when the widget's choice (next) differs from the remembered one
    // (old); false without a UI block.
    bool ChoiceMoved(int& next, int& old);
};

// A pop-up list over the item keys of its record. Its value is the chosen
// item's number counted from 1, so that 0 means nothing chosen yet and the
// record's initial -1 lets the first constraint pass release nothing.
class PopupControl : public ChoiceControl {
public:
    // CreateControl:IniData:ConstrainArray:AccessInfo:usernamein:
    PopupControl(widgets::Widget* widget, const PopupIniData* IniData, const ConstraintInfo* ConstrainArray,
                 const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetCurrentControlArrayNumber() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    // Releases the old item's disables, remembers the new item at once,
    // then applies its disables.
    int DoControlConstrain() override;
    void RequestPopupList(widgets::Widget* sender) { RequestControlAction(sender); }

protected:
    widgets::PopUp* List() const { return ControlPtr ? ControlPtr->As<widgets::PopUp>() : nullptr; }
    RecordSlots Slots() const override { return SlotsOf(listctrlIniDataPtr); }
    std::optional<std::int32_t> WidgetValue() const override;
    void ShowValue(std::int32_t value) override;
    // The selected item + 1, at least 1; the remembered choice is the value.
    int WidgetChoice() override;
    int ListIndex(int choice) const override { return choice - 1; }
    std::optional<PopupIniData> listctrlIniDataPtr;
};

// A control whose value is one of its PPD option's choices (the PPD list and
// the PPD check box). The host marks the chosen choice in the PPD, and that
// mark, not the ticket, carries the value: the control writes nothing to the
// ticket (BaseSetValueToTicket does the plain write for kinds that want
// it), reads its value back from the mark when opened, and a choice the
// host refuses is taken back in the widget.
template <class Kind>
class PPDChoiceControl : public PPDBacked<Kind> {
public:
    // Conflicts, the value of the mark, shown, constraints applied.
    int Open() override
    {
        this->UpdateConflictsPanelControlFromPPD(this->PanelPPD());
        this->GetValueToPreset();
        this->SetControlValueToUI();
        this->SimulationUIEventHandler();
        return 0;
    }
    bool SetValueToTicket(platform::PMPrintSettings*, bool) override { return true; }
    using BaseControl::SetValueToTicket;
    bool BaseSetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
    {
        return BaseControl::SetValueToTicket(settings, withParam);
    }
    // Summaries only while the control is neither disabled nor hidden.
    bool ToGetSummaryText() const { return this->ctrlConstrainCount <= 0 && this->ctrlHideCount < 1; }

protected:
    using PPDBacked<Kind>::PPDBacked;
    // The host's answer to the user's choice. Accepted: every control of
    // the panel re-checks its conflicts and the value has changed.
    bool TakeHostAnswer(bool accepted, ppd_file_t* ppd)
    {
        if (accepted) {
            if (this->ctrlParentPanelPtr) {
                this->ctrlParentPanelPtr->UpdateConflictsPanelControlFromPPD(ppd);
            }
            this->valueDidChange = true;
        }
        return accepted;
    }
};

// A list over the choices of a PPD option; the host marks each choice.
class PPDPopupControl : public PPDChoiceControl<PopupControl> {
public:
    // CreateControl:ppdKey:IniData:ConstrainArray:AccessInfo:usernamein:titleControl:
    PPDPopupControl(widgets::Widget* widget, std::string ppdKey, const PopupIniData* IniData,
                    const ConstraintInfo* ConstrainArray, const AccessInfo* accessInfo, const char* usernamein,
                    ControlID titleControl = 0);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    virtual bool InitializeMenu(const platform::Bundle* bundle, ppd_file_t* withPPD);
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    bool UIEventHandler() override;
    bool GetValueToPreset() override;
    bool SetDefaultValueToUI() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;

    bool SetPPD(ppd_file_t* ppd);
    void RestorePPD(ppd_file_t* ppd);
    bool PPDMarkOptionByIndex(ppd_file_t* ppd, int withIndex);
    void SetTitleWithCFStringEx(const std::string& title);
    void HideTitleCtrl();
    const std::string& GetTitle() const { return titleTextRef; }
    // True when the table holds, under key, an entry that references exactly
    // this option and choice (keywords compared as spelled).
    static bool isChoiceConflicted(const ppd::XConstraintTable* table, const char* key, const char* option,
                                   const char* choice, ppd_file_t* withPPD);

protected:
    std::string titleTextRef;
    ControlID ctrlIDTitleExPtr = 0;
};

// A check box, and the base of the radio button: the value is the widget's
// state, 0 or 1, and indexes the constraint lists directly.
class CheckBox : public ChoiceControl {
public:
    // CheckBox:IniData:Constrain:AccessInfo:usernamein:
    CheckBox(widgets::Widget* widget, const CheckBoxIniData* IniData, const ConstraintInfo* Constrain,
             const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetCurrentControlArrayNumber() override;
    // Shows an external value only while the widget is enabled.
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    // Applies the new state's disables, then releases the old state's; the
    // following GetValueFromUI remembers the new state.
    int DoControlConstrain() override;
    bool SimulationUIEventHandler() override;

protected:
    int WidgetState() const;
    void SetWidgetState(int state);
    RecordSlots Slots() const override { return SlotsOf(checkboxctrlIniDataPtr); }
    std::optional<std::int32_t> WidgetValue() const override;
    void ShowValue(std::int32_t value) override { SetWidgetState(value); }
    int WidgetChoice() override { return WidgetState(); }
    int ListIndex(int choice) const override { return choice; }
    std::optional<CheckBoxIniData> checkboxctrlIniDataPtr;
};

// A check box over a two-choice PPD option. Which choice is "on" follows
// the choices' names when one of them says so (True/False, On/Off, Yes/No, None,
// in any case and order), else their order: the first choice is "on".
class PPDCheckBox : public PPDChoiceControl<CheckBox> {
public:
    // PPDCheckBox:ppdKey:IniData:Constrain:AccessInfo:usernamein:
    PPDCheckBox(widgets::Widget* widget, std::string ppdKey, const CheckBoxIniData* IniData,
                const ConstraintInfo* Constrain, const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    bool UIEventHandler() override;
    bool GetValueToPreset() override;
    bool SetDefaultValueToUI() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    bool PPDMarkOptionByIndex(ppd_file_t* ppd, int state);
    void RestorePPD(ppd_file_t* ppd);

protected:
    // The choice keyword a state stands for; null before the option was
    // read or when it has no such choice.
    const char* ChoiceOfState(int state) const;
    // The state a choice keyword stands for: 1 for the "on" choice, else 0.
    int StateOfChoice(const char* choice) const;
    std::string titleTextRef;
};

class RadioButton;

// The buttons of one group and which of them is chosen. It refers to the
// buttons, which the panel owns; the buttons share the group.
class RadioGroup : public std::enable_shared_from_this<RadioGroup> {
    struct Passkey {};

public:
    // Groups are shared by their buttons, so they only exist in a shared_ptr.
    static std::shared_ptr<RadioGroup> Create() { return std::make_shared<RadioGroup>(Passkey{}); }
    explicit RadioGroup(Passkey) {}
    std::uint32_t RunTimeAddNewControl(RadioButton* button);
    int GetcurRadio() const { return curRadio; }
    void SetcurRadio(int index);
    int GetRadioIndex(ControlID tag) const;
    const std::vector<RadioButton*>& Buttons() const { return fCtrlGroupArray; }

private:
    std::vector<RadioButton*> fCtrlGroupArray;  // owned by the panel
    int curRadio = -1;
};

// One button of a RadioGroup. Siblings stay exclusive through their update
// lists: a button that is not the group's current one switches itself off
// when updated, and re-applies its constraints.
class RadioButton : public CheckBox {
public:
    // RadioButton:IniData:Constrain:AccessInfo:usernamein:
    RadioButton(widgets::Widget* widget, const RadioButtonIniData* IniData, const ConstraintInfo* Constrain,
                const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void SetCtrlGrp(std::shared_ptr<RadioGroup> group) { RadioGrpPtr = std::move(group); }
    RadioGroup* GetCtrlGrp() const { return RadioGrpPtr.get(); }
    void SetGrpcurRadio();
    bool UIEventHandler() override;
    bool SimulationUIEventHandler() override;
    bool SetControlValueToUI() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    bool setExternalValueToData(const void* value, std::uint32_t size, int valueType) override;
    bool GetValueToPreset() override;
    int Update() override;
    RadioButton* GetAnotherRadioCtrlFromGroup() const;

private:
    void MakeCurrentIfOn(std::int32_t value);
    std::shared_ptr<RadioGroup> RadioGrpPtr;
};

// A stepper over the range of its record. A paired text field shows the
// value, so restoring the default only restarts the stepper (lastValue).
class LittleArray : public IntValueControl {
public:
    // LittleArrayControl:IniData:Constrain:AccessInfo:usernamein:titleStr:
    LittleArray(widgets::Widget* widget, const StepperIniData* IniData, const ConstraintInfo* Constrain,
                const AccessInfo* accessInfo, const char* usernamein, std::string titleStr);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    bool GetValueToPreset() override;
    bool SetDefaultValueToUI() override;
    // Writes only a value within the record's range.
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    void SetRange(int min, int max);
    bool ToGetSummaryText() const { return true; }
    int LastValue() const { return lastValue; }

protected:
    void SetLastValue(int value) { lastValue = value; }

private:
    widgets::Stepper* Stepper() const { return ControlPtr ? ControlPtr->As<widgets::Stepper>() : nullptr; }
    RecordSlots Slots() const override { return SlotsOf(littleArrayIniDataPtr); }
    std::optional<std::int32_t> WidgetValue() const override;
    void ShowValue(std::int32_t value) override;
    std::optional<StepperIniData> littleArrayIniDataPtr;
    std::string titleTextRef;
    int lastValue = 0;
};

// Static text; disabled labels are drawn light grey.
class StaticTextEditControl : public BaseControl {
public:
    enum class TextColor { Control, LightGrey };
    // CreateControl:IniData:Constrain:AccessInfo:usernamein:FilterData:SummaryInfo:
    StaticTextEditControl(widgets::Widget* widget, const TextIniData* IniData, const ConstraintInfo* Constrain,
                          const AccessInfo* accessInfo, const char* usernamein,
                          const ppd::TextEditFilterData* FilterData, const char* SummaryInfo);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void Enable() override;
    void Disable() override;
    void PPDCtrlShow() override {}
    void PPDCtrlHide() override {}
    TextColor GetTextColor() const { return textColor_; }

private:
    const ppd::TextEditFilterData* textEditFilterDataPtr = nullptr;
    const TextIniData* textEditIniDataPtr = nullptr;
    std::string summarytextRef;
    TextColor textColor_ = TextColor::Control;
};

// A push button: a title, no value.
class BaseButton : public BaseControl {
public:
    // CreateControl:withTitle:
    BaseButton(widgets::Widget* widget, std::string withTitle);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;

protected:
    std::string controlTitleStrRef;
};

class GroupBoxControl : public BaseButton {
public:
    using BaseButton::BaseButton;
};

// A button of a set-up window that runs one of the window's button
// operations when clicked; nothing without a window.
class WindowButton : public BaseButton {
public:
    using Action = std::function<void(PopupWinInPanel& window)>;
    WindowButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window, Action action);
    void RequestControlAction(widgets::Widget* sender) override;

private:
    PopupWinInPanel* window_;
    Action action_;
};

// The names hosts press a window's buttons by.
inline constexpr char kOKButtonName[] = "ok";
inline constexpr char kCancelButtonName[] = "cancel";
inline constexpr char kRestoreButtonName[] = "restore";
// The name of a panel's list of pages, through which a host shows a page.
inline constexpr char kPageListName[] = "pages";

// The three buttons that end or reset a set-up window's modal run.
class WindowOKButton : public WindowButton {
public:
    WindowOKButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window);
};
class WindowCancelButton : public WindowButton {
public:
    // resetOnRefusal: the controls shown at their default when a control
    // refuses the cancel.
    WindowCancelButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window,
                       IdentifierList resetOnRefusal = nullptr);
};
class WindowDefaultButton : public WindowButton {
public:
    WindowDefaultButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window);
};

// The frame of a run-time laid-out PPD control within its group box.
widgets::Rect RunTimeControlFrame(int totalLength, int titleLength, int indexInPanel,
                                  const PPDCtrlPositionData& position);

// Run-time laid-out PPD kinds: they make their own widgets in the group box,
// and a reset re-enables them but leaves them hidden or shown: which of
// them show is the panel's layout, not a constraint.
class PPDPopupControlExt : public PPDPopupControl {
public:
    PPDPopupControlExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                       const PopupIniData* IniData, const ConstraintInfo* ConstrainArray, const AccessInfo* accessInfo,
                       const char* usernamein, int ctrlTotalLength, int titleCtrlLength, widgets::Label* titleCtrl,
                       int withIndex, int inGroup, const PPDCtrlPositionData& positionInfo);
    bool InitializeMenu(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void ResetStatus() override;

private:
    widgets::Label* titleCtrl_;
};

// Titled with the PPD's text as it is: a check box names itself, so no colon.
class PPDCheckBoxExt : public PPDCheckBox {
public:
    PPDCheckBoxExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                   const CheckBoxIniData* IniData, const ConstraintInfo* Constrain, const AccessInfo* accessInfo,
                   const char* usernamein, int ctrlTotalLength, int titleCtrlLength, int withIndex, int inGroup,
                   const PPDCtrlPositionData& positionInfo);
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    void ResetStatus() override;
};

// A label showing a PPD option's title, laid out like the others.
class PPDStaticTextCtrlExt : public BaseControl {
public:
    PPDStaticTextCtrlExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey, int ctrlTotalLength,
                         int titleCtrlLength, int withIndex, int inGroup, const PPDCtrlPositionData& positionInfo);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void ResetStatus() override;

private:
    std::string kPPDMainKey;
};

// Disables controls according to an installable option of the PPD. It
// never enables them again: the panel's ResetControlStatus clears every
// count before asking it once more.
class InstallableControl : public BaseControl {
public:
    // CreateControl:withConstrain:
    InstallableControl(std::string ppdKey, const InstallableConstraintPair* withConstrain,
                       widgets::Widget* widget = nullptr);
    // 1000 when a pair matched and its controls were disabled, else 0.
    int ConstrainPanelControlFromPPD(ppd_file_t* ppd) override;

private:
    std::string kPPDMainKey;
    const InstallableConstraintPair* installableOptionConstrainInfoPtr;
};

}  // namespace zlk::framework
