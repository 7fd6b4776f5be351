// The control kinds that hold a choice or a number: lists, check boxes,
// radio buttons and groups, steppers, labels, buttons, group boxes, the
// run-time laid-out PPD kinds and the installable-option control.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/framework/basecontrol.h"
#include "platform/widgets/controls.h"
#include "ppd/quickxppd.h"

namespace zlk::framework {

// Shared integer-value behaviour: "%d" to the ticket and the preferences.
class IntValueControl : public BaseControl {
public:
    using BaseControl::BaseControl;
    bool ConvertToPreferenceString(std::string& out) override;
    bool ConvertFromPreferenceString(const std::string& text) override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    bool GetValueToPreset() override;
};

class PopupControl : public IntValueControl {
public:
    // CreateControl:IniData:ConstrainArray:AccessInfo:usernamein:
    PopupControl(widgets::Widget* widget, const PopupIniData* IniData, const ConstraintInfo* ConstrainArray,
                 const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetCurrentControlArrayNumber() override;
    int GetValueFromUI() override;
    bool SetControlValueToUI() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    int DoControlConstrain() override;
    int DoControlHideConstrain() override;
    void DoControlUpdateConstrain() override;
    const void* GetDefaultDataBlk() const override;
    std::uint32_t GetDefaultDataSize() const override;
    const void* GetIniDataBlk() const override;
    std::uint32_t GetIniDataSize() const override;
    void RequestPopupList(widgets::Widget* sender) { RequestControlAction(sender); }

protected:
    widgets::PopUp* List() const { return ControlPtr ? ControlPtr->As<widgets::PopUp>() : nullptr; }
    // The selected item + 1, at least 1; and the remembered one.
    int NewChoice();
    std::optional<PopupIniData> listctrlIniDataPtr;
};

// A list over the choices of a PPD option; the host marks each choice.
class PPDPopupControl : public PopupControl {
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
    int Open() override;
    bool SetDefaultValueToUI() override;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
    bool BaseSetValueToTicket(platform::PMPrintSettings* settings, bool withParam);
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;

    bool SetPPD(ppd_file_t* ppd);
    void RestorePPD(ppd_file_t* ppd);
    bool PPDMarkOptionByIndex(ppd_file_t* ppd, int withIndex);
    void SetTitleWithCFStringEx(const std::string& title);
    void HideTitleCtrl();
    bool ToGetSummaryText() const { return ctrlConstrainCount <= 0 && ctrlHideCount < 1; }
    const std::string& GetTitle() const { return titleTextRef; }
    const std::vector<ppd::UIListEntry>& GetChoiceList() const { return ctrlPPDInfoArrayRef; }
    static bool isChoiceConflicted(const ppd::XConstraintTable* table, const char* key, const char* option,
                                   const char* choice, ppd_file_t* withPPD);

protected:
    ppd_file_t* PanelPPD() const;
    void RebuildChoiceList(ppd_file_t* ppd);

    std::string kPPDMainKey;
    std::vector<ppd::UIListEntry> ctrlPPDInfoArrayRef;
    std::string titleTextRef;
    ControlID ctrlIDTitleExPtr = 0;
};

class CheckBox : public IntValueControl {
public:
    // CheckBox:IniData:Constrain:AccessInfo:usernamein:
    CheckBox(widgets::Widget* widget, const CheckBoxIniData* IniData, const ConstraintInfo* Constrain,
             const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetCurrentControlArrayNumber() override;
    int GetValueFromUI() override;
    bool SetControlValueToUI() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    int DoControlConstrain() override;
    int DoControlHideConstrain() override;
    void DoControlUpdateConstrain() override;
    bool SimulationUIEventHandler() override;
    const void* GetDefaultDataBlk() const override;
    std::uint32_t GetDefaultDataSize() const override;
    const void* GetIniDataBlk() const override;
    std::uint32_t GetIniDataSize() const override;

protected:
    int WidgetState() const;
    void SetWidgetState(int state);
    std::optional<CheckBoxIniData> checkboxctrlIniDataPtr;
};

// A check box over a two-choice PPD option, "True" and "False" in any order.
class PPDCheckBox : public CheckBox {
public:
    // PPDCheckBox:ppdKey:IniData:Constrain:AccessInfo:usernamein:
    PPDCheckBox(widgets::Widget* widget, std::string ppdKey, const CheckBoxIniData* IniData,
                const ConstraintInfo* Constrain, const AccessInfo* accessInfo, const char* usernamein);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    bool UIEventHandler() override;
    bool GetValueToPreset() override;
    int Open() override;
    bool SetDefaultValueToUI() override;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    bool PPDMarkOptionByIndex(ppd_file_t* ppd, int state);
    void RestorePPD(ppd_file_t* ppd);
    bool ToGetSummaryText() const { return ctrlConstrainCount <= 0 && ctrlHideCount < 1; }

protected:
    ppd_file_t* PanelPPD() const;
    // The choice keyword for a state: 1 "True", 0 "False".
    static const char* ChoiceForState(int state) { return state >= 1 ? "True" : "False"; }
    std::string kPPDMainKey;
    std::string titleTextRef;
    std::vector<ppd::UIListEntry> ctrlPPDInfoArrayRef;
};

class RadioButton;

// The buttons of one group and which of them is chosen.
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
    std::uint32_t _control_num_item = 0;
    int curRadio = -1;
};

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

class LittleArray : public IntValueControl {
public:
    // LittleArrayControl:IniData:Constrain:AccessInfo:usernamein:titleStr:
    LittleArray(widgets::Widget* widget, const StepperIniData* IniData, const ConstraintInfo* Constrain,
                const AccessInfo* accessInfo, const char* usernamein, std::string titleStr);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetValueFromUI() override;
    bool SetControlValueToUI() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    bool GetValueToPreset() override;
    bool SetDefaultValueToUI() override;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    void SetRange(int min, int max);
    bool ToGetSummaryText() const { return true; }
    int LastValue() const { return lastValue; }
    const void* GetDefaultDataBlk() const override;
    std::uint32_t GetDefaultDataSize() const override;
    const void* GetIniDataBlk() const override;
    std::uint32_t GetIniDataSize() const override;

private:
    widgets::Stepper* Stepper() const { return ControlPtr ? ControlPtr->As<widgets::Stepper>() : nullptr; }
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
    TextColor GetTextColor() const { return textColor; }

private:
    const ppd::TextEditFilterData* textEditFilterDataPtr = nullptr;
    const TextIniData* textEditIniDataPtr = nullptr;
    std::string summarytextRef;
    TextColor textColor = TextColor::Control;
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

// The buttons that end a set-up window's modal run.
class PopupWinInPanel;
class WindowOKButton : public BaseButton {
public:
    WindowOKButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window);
    void RequestControlAction(widgets::Widget* sender) override;

private:
    PopupWinInPanel* window_;
};
class WindowCancelButton : public BaseButton {
public:
    // resetOnRefusal: the controls shown at their default when a control
    // refuses the cancel.
    WindowCancelButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window,
                       IdentifierList resetOnRefusal = nullptr);
    void RequestControlAction(widgets::Widget* sender) override;

private:
    PopupWinInPanel* window_;
    IdentifierList resetOnRefusal_;
};
class WindowDefaultButton : public BaseButton {
public:
    WindowDefaultButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window);
    void RequestControlAction(widgets::Widget* sender) override;

private:
    PopupWinInPanel* window_;
};

// The frame of a run-time laid-out PPD control within its group box.
widgets::Rect RunTimeControlFrame(int totalLength, int titleLength, int indexInPanel,
                                  const PPDCtrlPositionData& position);

// Run-time laid-out PPD kinds: they make their own widgets in the group box.
class PPDPopupControlExt : public PPDPopupControl {
public:
    PPDPopupControlExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                       const PopupIniData* IniData, const ConstraintInfo* ConstrainArray, const AccessInfo* accessInfo,
                       const char* usernamein, int ctrlTotalLength, int titleCtrlLength, widgets::Label* titleCtrl,
                       int withIndex, int inGroup, const PPDCtrlPositionData& positionInfo);
    bool InitializeMenu(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool SetControlValueToDefault() override;
    void ResetStatus() override;

private:
    widgets::Label* titleCtrl_;
};

class PPDCheckBoxExt : public PPDCheckBox {
public:
    PPDCheckBoxExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                   const CheckBoxIniData* IniData, const ConstraintInfo* Constrain, const AccessInfo* accessInfo,
                   const char* usernamein, int ctrlTotalLength, int titleCtrlLength, int withIndex, int inGroup,
                   const PPDCtrlPositionData& positionInfo);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    bool SetControlValueToDefault() override;
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

// Disables controls according to an installable option of the PPD.
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
