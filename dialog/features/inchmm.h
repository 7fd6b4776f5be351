// The unit machinery of the features panel's number windows: a field that
// shows a number as text, the stepper beside it that holds the number in the
// field's smallest step, the unit buttons that show one unit's pair and hide
// the other's, and the formatter that keeps the stepper in step while the
// person types. The margin, trimmer, number-in-sequence and offset windows
// are built from these.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "dialog/features/featurecontrols.h"
#include "dialog/framework/controls.h"
#include "dialog/framework/printpanel.h"
#include "dialog/framework/textedit.h"

namespace zlk::features {

class PFInchMMLittleArrowControl;

// A field's accepted values, in the field's steps.
struct inchMMEditValueRangeData {
    int minimum = 0;
    int maximum = 0;
};

// The field and stepper tags that a field or stepper works with and keeps
// in step, found in its window by tag: for a field its stepper, then the
// other unit's field; for a stepper its field, then the other unit's
// field. A tag of 0 is absent.
struct NumberCompanions {
    ControlID first = 0;
    ControlID second = 0;
};

// A numeric field. The text is the truth while the person types; every
// text the field's check accepts is handed to the stepper at once, and the
// field of the hidden unit is recomputed from it. Its committed value is
// the text; a committed text the check refuses (a damaged ticket) is never
// written: the stepper's value is written in its place.
class PFInchMMTextEditCtrl : public framework::TextEditCtrl {
public:
    PFInchMMTextEditCtrl(widgets::Widget* widget, const framework::TextIniData* IniData,
                         const ppd::TextEditFilterData* FilterData, const AccessInfo* accessInfo,
                         inchMMEditValueRangeData range, std::string titleInfo, NumberCompanions companions);

    // The field's own rule for a whole text (characters, form, range).
    virtual bool IsNumberValid(const std::string& text) const = 0;
    // OK: a shown field must hold a valid text of 1 to its maximum
    // characters; otherwise its message is shown and the window stays.
    bool InvalidateData() override;
    bool InvalidateDataAndReturnError() override;
    // A text the check accepted: stored as the field's data and handed to
    // the stepper; then the hidden unit follows.
    virtual void OnRawKeyUp(const std::string& text);
    void OnLostFocus();
    // The companions follow: the stepper, and the other unit's field when hidden.
    void DoControlUpdateConstrain() override;
    // Only for a hidden field: recomputed from the shown unit's field.
    int Update() override;
    // The text re-created from the stepper's value.
    void CorrectCtrlUI();
    std::string GetCorrectedData() const;
    int GetEditMaxLength() const { return textEditIniDataPtr ? textEditIniDataPtr->maxWidth : 0; }
    PFInchMMLittleArrowControl* GetLittleArrayForNumberEdit() const;
    PFInchMMTextEditCtrl* GetTextEditForNumberEdit() const;
    virtual bool ToGetSummaryText() const;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    void InitializeCtrlFormat();

    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    void RequestControlAction(widgets::Widget* sender) override;

    // The stepper's value for an accepted text, and the text for a value.
    virtual int StepsOfText(const std::string& text) const = 0;
    virtual std::string TextOfSteps(int steps) const = 0;
    // This field's text for the shown text of the other unit's field;
    // nothing when the other text is not a number.
    virtual std::optional<std::string> TextFromOtherUnit(const std::string& other) const = 0;
    // Shows a text made by the program, cut to the maximum length, and
    // takes it as the field's data.
    void ShowText(const std::string& text);
    // The unit's side label key for the summary; null without a unit.
    virtual const char* SideLabelKey() const { return nullptr; }
    // Whether the feature the field belongs to is on (summary only then).
    virtual bool FeatureOn() const { return true; }
    // Whether this field's unit is the one the window shows.
    virtual bool UnitShown() const { return true; }
    const inchMMEditValueRangeData& ValueRange() const { return inchMMEditValueRangeData_; }
    void SetValueRange(inchMMEditValueRangeData range) { inchMMEditValueRangeData_ = range; }
    widgets::TextField* TextField() const { return Field(); }

protected:
    // The features panel that owns the window; null elsewhere.
    const PrintFeaturesPDE* FeaturesPanel() const;
    bool TakesPartInValidation() const;
    bool Check(bool alert);
    // The alert of a refused value: the field's message.
    virtual void ShowFieldMessage();

    inchMMEditValueRangeData inchMMEditValueRangeData_;
    std::string titletextRef;
    // The last text shown by the program, as the platform's 24-byte buffer.
    std::array<char, 24> displayBuffer{};
    NumberCompanions companions_;
};

// Judges nothing and refuses nothing: every text the person types stays
// in the field, so that OK can name what is wrong. A text the field's check
// accepts becomes the last accepted text and reaches the stepper at once;
// any other leaves the field's data empty until it is mended.
class PFInchMMTextEditFormatter : public widgets::EditFormatter {
public:
    PFInchMMTextEditFormatter(PFInchMMTextEditCtrl* field, const ppd::TextEditFilterData* filter,
                              inchMMEditValueRangeData range, int maxLength);
    bool IsPartialStringValid(const std::string& proposed, std::string& error) override;

private:
    PFInchMMTextEditCtrl* field_;
    const ppd::TextEditFilterData* filter_;
    inchMMEditValueRangeData range_;
    int maxLength_;
    std::string lastAccepted_;
};

// A stepper beside a numeric field. A press is taken only when the fields
// of its validate list accept their texts, and only when it moves the value
// within the range; otherwise the system beeps (or the press is undone).
class PFInchMMLittleArrowControl : public framework::LittleArray {
public:
    PFInchMMLittleArrowControl(widgets::Widget* widget, const framework::StepperIniData* IniData,
                               const AccessInfo* accessInfo, std::string titleStr, NumberCompanions companions,
                               std::vector<ControlID> ControlValidateArray);

    void RequestControlAction(widgets::Widget* sender) override;
    // Shows a value and makes it the last one, without the field following.
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    // Shows the committed value; the field follows.
    bool SetControlValueToUI() override;
    // Shows the default; the field follows.
    bool SetDefaultValueToUI() override;
    // The ticket's value, clamped into the range.
    bool GetValueToPreset() override;
    // The value into the field's text, then the other unit follows.
    void DoControlUpdateConstrain() override;
    int GetSummaryText(SummaryDictionary&, OrderArray&) override { return 0; }
    PFInchMMTextEditCtrl* GetNumberEditFromLittleArrow() const;
    // Undoes a refused press.
    void InvalidateRelateControlData();
    // Shows a value (clamped into the widget's range) and makes it the last one.
    void ShowSteps(int value);
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    // The value the widget shows (the last value without a widget).
    int GetValueToShow() const;
    // The range of presses and of ticket values; the widget's range too.
    void SetStepRange(int minimum, int maximum);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    // Writes only a value within the range.
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;

protected:
    // The stored value read from ticket text; nothing when unreadable.
    virtual std::optional<int> StepsFromTicket(const std::string& text) const;
    // Takes a ticket value already clamped.
    virtual void TakePresetSteps(int steps);
    NumberCompanions companions_;
    std::vector<ControlID> ControlValidateArray;
    int minimum_ = 0;
    int maximum_ = 0;
};

// A unit button: before a switch the fields of its validate list (the other
// unit's fields) must accept their texts, else the switch is undone.
class PFInchMMRadioButton : public framework::RadioButton {
public:
    PFInchMMRadioButton(widgets::Widget* widget, const framework::RadioButtonIniData* IniData,
                        const ConstraintInfo* Constrain, const AccessInfo* accessInfo,
                        std::vector<ControlID> validateControlArray);
    bool UIEventHandler() override;
    bool ValidateConstrains();
    // The unit buttons come from the ticket or their initial data.
    bool GetValueFromPreference() override { return false; }
    bool GetValueFromPreferenceWithPrinterSettings() override { return false; }
    // No preference is kept either: the ticket carries the unit.
    bool SetValueToPreference() override { return true; }
    bool SetValueToPreferenceWithPrinterSettings() override { return true; }

private:
    std::vector<ControlID> validateControlArray;
};

// The auto fit switch of the booklet margin window: a switch with no PPD
// option, on at first, hidden for printers of the second layout type.
class PFStaticCheckBox : public PFNonPPDCheckBox {
public:
    PFStaticCheckBox(widgets::Widget* widget, ControlID ctrlTag, const CheckBoxIniData* IniData,
                     const AccessInfo* access);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    // Opening the window again keeps the committed state.
    bool ReInitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    // A reset shows every control; this one stays hidden where it is not offered.
    void ResetStatus() override;

private:
    bool initialized_ = false;
    bool notOffered_ = false;
};

// A window of the number fields: built from its layout, with labels
// localized again with the window and the four window buttons.
class PFNumberWnd : public framework::PopupWinInPanel {
public:
    PFNumberWnd(widgets::Toolkit& toolkit, const char* titleKey);

protected:
    // OK, Cancel, Default and Help with their tags.
    void AddWindowButtons(ControlID ok, ControlID cancel, ControlID def, ControlID help, const char* helpFile);
    // A label whose text is its key's, localized again with the window.
    void AddLabel(ControlID tag, const char* key);
    widgets::Widget* Widget(ControlID tag) const;
};

using framework::LoadWindowLayout;

// Number forms shared by the windows' fields. All refuse what a person
// cannot mean: signs where none belongs, exponents, full-width digits,
// commas, more than one point, a point at either end.
namespace numberform {
// Digits with at most one point, not first or last; with sign, one "-"
// may lead. digitsAfter: the exact digits after the point (0: any).
bool IsDecimal(const std::string& text, bool sign, int digitsAfter);
bool IsDigits(const std::string& text);
// The text's value times scale, rounded half to even; nothing when it is
// not finite or outside int.
std::optional<int> Scaled(const std::string& text, int scale);
// The integer value of digits (empty counts as 0); nothing beyond int.
std::optional<int> Integer(const std::string& text);
// v / 10 "." v % 10 with "-" ahead for negative values.
std::string OneDecimal(int v);
// v / 100 "." two digits, "-" ahead for negative values.
std::string TwoDecimals(int v);
}  // namespace numberform

}  // namespace zlk::features
