// Text fields: the free text or numeric field with its key-by-key filter,
// and the fields whose value becomes a custom choice of a PPD option.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialog/framework/basecontrol.h"
#include "dialog/framework/ppdbacked.h"
#include "platform/widgets/controls.h"
#include "ppd/inputfilter.h"
#include "ppd/quickxppd.h"

namespace zlk::framework {

inline constexpr char kStringTooLong[] = "String too long.";

// Judges every keystroke: the whole new text must pass the filter and fit
// the maximum width.
class TextEditFormatter : public widgets::EditFormatter {
public:
    // initWithFilter:withMaxlength:
    TextEditFormatter(const ppd::TextEditFilterData* withFilter, int withMaxlength);
    bool IsPartialStringValid(const std::string& proposed, std::string& error) override;
    // The text object is the string itself.
    static std::string getObjectValue(const std::string& forString) { return forString; }
    static std::string stringForObjectValue(const std::string& value) { return value; }

private:
    const ppd::TextEditFilterData* FilterDataPtr;
    int maxlength;
};

// Display width (1 below U+0080, else 2) of a UTF-8 text.
int TextWidth(const std::string& utf8);

// A free text or numeric field. Its value is UTF-8 text of at most 255
// bytes, and ctrlDataSize holds the text's display width, not its bytes,
// because the record's range and the formatter count widths. An empty
// field is always accepted on OK; a refused value shows the filter's
// message and keeps the window open.
class TextEditCtrl : public BaseControl {
public:
    // CreateControl:IniData:Constrain:AccessInfo:usernamein:FilterData:
    TextEditCtrl(widgets::Widget* widget, const TextIniData* IniData, const ConstraintInfo* Constrain,
                 const AccessInfo* accessInfo, const char* usernamein, const ppd::TextEditFilterData* FilterData);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool ReInitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void InitializeCtrlFormat();
    int GetValueFromUI() override;
    void SetValueFromUIToControl() override;
    bool SetControlValueToUI() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    bool SetUIValueToIniData() override;
    bool SetControlValueToDefault() override;
    bool GetValueToPreset() override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    bool ConvertToPreferenceString(std::string& out) override;
    bool ConvertFromPreferenceString(const std::string& text) override;
    bool InvalidateData() override;
    bool InvalidateDataAndReturnError() override;
    bool PreInvalidateData() override { return true; }
    const void* GetDefaultDataBlk() const override;
    std::uint32_t GetDefaultDataSize() const override;
    const void* GetIniDataBlk() const override;
    std::uint32_t GetIniDataSize() const override;

    static int GetStringLength(const std::string& text) { return TextWidth(text); }
    void ShowErrMsg();
    void CorrectCtrlUI();
    std::string GetUIData() const { return UIText(); }

protected:
    widgets::TextField* Field() const { return ControlPtr ? ControlPtr->As<widgets::TextField>() : nullptr; }
    // The value check of OK; alert: show the field's message when invalid.
    bool Validate(bool alert);
    void TakeFieldText();

    const ppd::TextEditFilterData* textEditFilterDataPtr = nullptr;
    std::optional<TextIniData> textEditIniDataPtr;
    std::string uiData;
};

// A text field whose value is sent to the host as the choice "Custom.<text>"
// when committed; unlike the choice kinds it also writes its text to the
// ticket. Visible and enabled, it refuses an empty text on OK.
class KPPDTEXTEDITCTRL : public PPDBacked<TextEditCtrl> {
public:
    // CreateControl:ppdKey:IniData:Constrain:AccessInfo:usernamein:FilterData:
    KPPDTEXTEDITCTRL(widgets::Widget* widget, std::string ppdKey, const TextIniData* IniData,
                     const ConstraintInfo* Constrain, const AccessInfo* accessInfo, const char* usernamein,
                     const ppd::TextEditFilterData* FilterData);

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetValueFromUI() override;
    bool ToValidate();
    bool InvalidateData() override;
    void SetValueFromUIToControl() override;
    bool GetValueToPreset() override;
    bool SetValueToPreference() override;
    bool SetValueToPreferenceWithPrinterSettings() override;
    void RestorePPD(ppd_file_t* ppd);
    bool PPDMarkOptionByIndex(ppd_file_t* ppd, const std::string& withString);

protected:
    std::string titletextRef;
};

// The same, created in a group box of the features panel at run time.
class KPPDTEXTEDITCONTROLEXT : public KPPDTEXTEDITCTRL {
public:
    KPPDTEXTEDITCONTROLEXT(widgets::GroupBox& parentGroup, std::string ppdKey, const TextIniData* IniData,
                           const ConstraintInfo* ConstrainArray, const AccessInfo* accessInfo, const char* usernamein,
                           const ppd::TextEditFilterData* FilterData, int ctrlTotalLength, int titleCtrlLength,
                           widgets::Label* titleCtrl, int withIndex, int inGroup,
                           const PPDCtrlPositionData& positionInfo, ControlID ctrlTag);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd) override;
    bool SetControlValueToDefault() override;
    widgets::Rect GetControlPosition() const { return TextFieldCtrlBounds; }

private:
    widgets::Label* titleTextPtr;
    ControlID controlTag;
    std::string ppdKeyCStr;
    int indexInPanel;
    PPDCtrlPositionData ppdCtrlPositionDataPtr;
    widgets::Rect TextFieldCtrlBounds;
    widgets::GroupBox* parentGroupBox;
};

}  // namespace zlk::framework
