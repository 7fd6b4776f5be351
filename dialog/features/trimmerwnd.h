// The trimmer windows: the finished size of a trimmed booklet, typed in
// millimetres or inches. The person edits the finished size; the controls
// store the amount trimmed away (the trim), and the allowed sizes follow
// from the sheet the booklet is made of, computed anew at every opening.
#pragma once

#include <optional>
#include <string>

#include "dialog/features/marginwnd.h"
#include "platform/system/bundle.h"

namespace zlk::features {

// Tags of the trimmer window (Resources/Layouts/TrimmerWindow.json).
inline constexpr ControlID kTrimInchLabelTag = 8001;
inline constexpr ControlID kTrimInchSideTag = 8002;
inline constexpr ControlID kTrimInchFieldTag = 8003;
inline constexpr ControlID kTrimInchStepperTag = 8004;
inline constexpr ControlID kTrimInchRadioTag = 8005;
inline constexpr ControlID kTrimMMLabelTag = 8006;
inline constexpr ControlID kTrimMMSideTag = 8007;
inline constexpr ControlID kTrimMMFieldTag = 8008;
inline constexpr ControlID kTrimMMStepperTag = 8009;
inline constexpr ControlID kTrimMMRadioTag = 8010;
inline constexpr ControlID kTrimOKTag = 8011;
inline constexpr ControlID kTrimCancelTag = 8012;
inline constexpr ControlID kTrimDefaultTag = 8013;
inline constexpr ControlID kTrimHelpTag = 8014;

// Tags of the trimmer top/lower window (Resources/Layouts/TrimmerTopLowerWindow.json):
// per edge and unit the label, side label, field and stepper.
inline constexpr ControlID kHeightInchFieldTag = 9003;
inline constexpr ControlID kHeightInchStepperTag = 9004;
inline constexpr ControlID kHeightMMFieldTag = 9007;
inline constexpr ControlID kHeightMMStepperTag = 9008;
inline constexpr ControlID kTopLowerInchRadioTag = 9009;
inline constexpr ControlID kTopLowerMMRadioTag = 9010;
inline constexpr ControlID kWidthInchFieldTag = 9013;
inline constexpr ControlID kWidthInchStepperTag = 9014;
inline constexpr ControlID kWidthMMFieldTag = 9017;
inline constexpr ControlID kWidthMMStepperTag = 9018;
inline constexpr ControlID kAdjustInchFieldTag = 9021;
inline constexpr ControlID kAdjustInchStepperTag = 9022;
inline constexpr ControlID kAdjustMMFieldTag = 9025;
inline constexpr ControlID kAdjustMMStepperTag = 9026;
inline constexpr ControlID kTopLowerTitleTag = 9027;
inline constexpr ControlID kTopLowerOKTag = 9028;
inline constexpr ControlID kTopLowerCancelTag = 9029;
inline constexpr ControlID kTopLowerDefaultTag = 9030;
inline constexpr ControlID kTopLowerHelpTag = 9031;

// What a trimmer field or stepper sets: the finished height, width or
// the vertical adjustment of the top/lower window, or the finished width
// of the (fore-edge) trimmer window.
enum TrimmerType : int { kTrimmerHeight = 0, kTrimmerWidth = 1, kTrimmerAdjust = 2, kTrimmerForeEdge = 3 };
enum TrimmerUnit : int { kTrimmerInches = 0, kTrimmerMM = 1 };

// The sheet and the values derived from it. Sides in points; H and S10
// in tenths of a millimetre, Hin and Sin in hundredths of an inch.
struct TrimmerPaper {
    double longSide = 0;
    double shortSide = 0;
    // Whether a finished width can be cut from the sheet at all: an unknown
    // sheet (no size, or one the PPD lacks) would give negative sizes.
    bool CanTrim() const;
    int H() const;
    int Hin() const;
    int S10() const;
    int Sin() const;
};

// The allowed finished sizes (or adjustment) of one edge, in the field's steps.
struct TrimmerRanges {
    inchMMEditValueRangeData mm;
    inchMMEditValueRangeData inches;
};
TrimmerRanges RangesFor(TrimmerType type, const TrimmerPaper& paper);

// The classification of a booklet sheet size choice: 2 "None" and the
// trays, 1 a named size, 0 anything else.
int GetBookletSelection(const std::string& choice);
// The base length of a booklet whose sheet size is not given, and its
// base width (top/lower window); a side that no row names stays nothing.
std::optional<double> AdjustTrimmerBaseLength(double longSide);
std::optional<double> AdjustTrimmerBaseWidth(double shortSide);

class PFTrimmerWndBase;

// A trimmer field. Its committed value is the trim as integer text; it
// shows the finished size (or the adjustment) in its unit.
class PFTrimmerTextEditCtrl : public PFInchMMTextEditCtrl {
public:
    PFTrimmerTextEditCtrl(widgets::Widget* widget, TrimmerType type, TrimmerUnit unit, const char* titleInfo,
                          NumberCompanions companions);
    bool IsNumberValid(const std::string& text) const override;
    int StepsOfText(const std::string& text) const override;
    std::string TextOfSteps(int steps) const override;
    std::optional<std::string> TextFromOtherUnit(const std::string& other) const override;
    void OnRawKeyUp(const std::string& text) override;
    // The trim of the shown finished size.
    void SetValueFromUIToControl() override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    bool FeatureOn() const override;
    bool UnitShown() const override;
    const char* SideLabelKey() const override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    void setCancelRestoreValue() { m_cancelDataBlkPtr = ctrlDataBlkPtr; }
    void restoreCtrlValue();
    TrimmerType Type() const { return type_; }
    TrimmerUnit Unit() const { return unit_; }

protected:
    void ShowFieldMessage() override;
    PFTrimmerWndBase* Window() const;
    // The value of a well-formed number in the field's steps, whatever its range.
    std::optional<int> ValueOf(const std::string& text) const;
    // The committed trim, or the stepper's when the text is not a number.
    int StoredTrim() const;

    TrimmerType type_;
    TrimmerUnit unit_;
    framework::ValueBlock m_cancelDataBlkPtr;
};

class PFTrimmerMMTextEditCtrl : public PFTrimmerTextEditCtrl {
public:
    explicit PFTrimmerMMTextEditCtrl(widgets::Widget* widget);
};
class PFTrimmerInchesTextEditCtrl : public PFTrimmerTextEditCtrl {
public:
    explicit PFTrimmerInchesTextEditCtrl(widgets::Widget* widget);
};
// The top/lower fields; the height field also checks the trim left at the
// top and the bottom against the adjustment.
class PFTrimmerTopLowerMMTextEditCtrl : public PFTrimmerTextEditCtrl {
public:
    PFTrimmerTopLowerMMTextEditCtrl(widgets::Widget* widget, TrimmerType type);
    bool InvalidateData() override;
    void ShowTrimmerMessage();

protected:
    PFTrimmerTopLowerMMTextEditCtrl(widgets::Widget* widget, TrimmerType type, TrimmerUnit unit);
    int trimmerErrorNo = 0;
};
class KPFTRIMMERTOPLOWERINCHESTEXTEDITCTRL : public PFTrimmerTopLowerMMTextEditCtrl {
public:
    KPFTRIMMERTOPLOWERINCHESTEXTEDITCTRL(widgets::Widget* widget, TrimmerType type);
};

// A trimmer stepper: it shows the finished size and stores the trim.
class PFTrimmerLittleArrowControl : public PFInchMMLittleArrowControl {
public:
    PFTrimmerLittleArrowControl(widgets::Widget* widget, TrimmerType type, TrimmerUnit unit,
                                NumberCompanions companions, ControlID ownField);
    int GetValueFromUI() override;
    bool SetControlValueToUI() override;
    bool SetDefaultValueToUI() override;
    bool SetControlValueToDefault() override;
    // Showing is SetControlValueToUI's alone: the field may show a value
    // outside the stepper's range.
    bool SimulationUIEventHandler() override { return true; }
    bool GetValueToPreset() override;
    bool SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BaseControl::SetValueToTicket;
    // Stores a trim and shows it, and (mm steppers) passes it to the inch unit.
    void SetCuttingSize(int trim);
    void UpdatePresetCuttingSize(int trim);
    void setCancelRestoreValue() { m_cancelDataBlkPtr = ctrlDataBlkPtr; }
    void restoreCtrlValue();
    int DefaultTrim() const;
    TrimmerType Type() const { return type_; }
    TrimmerUnit Unit() const { return unit_; }

protected:
    PFTrimmerWndBase* Window() const;
    // The trim to write: the unit's default when the inch unit shows its
    // own default, else the committed trim brought into the current range.
    int TrimToWrite() const;

    TrimmerType type_;
    TrimmerUnit unit_;
    framework::ValueBlock m_cancelDataBlkPtr;
};
class PFTrimmerMMLittleArrowControl : public PFTrimmerLittleArrowControl {
public:
    explicit PFTrimmerMMLittleArrowControl(widgets::Widget* widget);
};
class PFTrimmerInchesLittleArrowControl : public PFTrimmerLittleArrowControl {
public:
    explicit PFTrimmerInchesLittleArrowControl(widgets::Widget* widget);
};
class PFTrimmerTopLowerMMLittleArrowControl : public PFTrimmerLittleArrowControl {
public:
    PFTrimmerTopLowerMMLittleArrowControl(widgets::Widget* widget, TrimmerType type);
};
class PFTrimmerTopLowerInchesLittleArrowControl : public PFTrimmerLittleArrowControl {
public:
    PFTrimmerTopLowerInchesLittleArrowControl(widgets::Widget* widget, TrimmerType type);
};

// A unit label with the field's current range put in: "190.0 - 208.0".
class PFTrimmerStaticTextEditControl : public framework::StaticTextEditControl {
public:
    PFTrimmerStaticTextEditControl(widgets::Widget* widget, std::string key, ControlID field);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;

private:
    std::string key_;
    ControlID field_;
};
using PFTrimmerMMStaticTextEditControl = PFTrimmerStaticTextEditControl;
using PFTrimmerInchesStaticTextEditControl = PFTrimmerStaticTextEditControl;
using PFTrimmerTopLowerStaticTextEditControl = PFTrimmerStaticTextEditControl;

// What both trimmer windows share: the sheet, the ranges and the fields'
// cancel copies.
class PFTrimmerWndBase : public PFUnitWnd {
public:
    PFTrimmerWndBase(widgets::Toolkit& toolkit, ControlID mmRadio, ControlID inchRadio, bool topLower);
    // The sheet, the ranges into the controls, the current values shown,
    // the cancel copies saved, then the modal run.
    void ActivateWindow() override;
    // The sheet the booklet is made of, from the PPD's marked choices.
    TrimmerPaper GetTrimmerPaperSize() const;
    // The base (H, Hin, S10 or Sin) of a trimmer type and unit; 0 for the adjustment.
    int Base(TrimmerType type, TrimmerUnit unit) const;
    TrimmerRanges Ranges(TrimmerType type) const { return RangesFor(type, paper_); }
    void UpdateTrimmerIniDate();
    void SetCancelRestoreValue();
    void RestoreCancelValues();
    const TrimmerPaper& Paper() const { return paper_; }
    bool IsTopLower() const { return topLower_; }
    // The last adjustment typed, per unit, in the unit's steps; 0 until typed.
    int LastAdjust(TrimmerUnit unit) const { return lastAdjust_[unit]; }
    void SetLastAdjust(TrimmerUnit unit, int value) { lastAdjust_[unit] = value; }
    // The features panel that owns the window; null elsewhere.
    const PrintFeaturesPDE* FeaturesPanel() const;
    // Both windows name their fields, inch steppers and unit buttons with
    // the same keys: only the window of the trimming chosen writes them,
    // the top/lower window while the list is at three edges, the trimmer
    // window otherwise.
    bool WritesTicket() const;
    int SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    int SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                         const std::vector<widgets::Widget*>* encryptArray) override;
    static constexpr const char* kMMSideKey = "Trimmer MM Side Static Text";
    static constexpr const char* kInchSideKey = "Trimmer Inches Side Static Text";

private:
    // The printed page's size when no booklet sheet names one.
    void GetPaperSizeWhenPrintDefaultOrFromTrayX(ppd_file_t* ppd, double& width, double& height) const;
    // Tells the user that trimming cannot be set for this sheet.
    void ShowNoTrimmingMessage() const;

    TrimmerPaper paper_;
    bool topLower_;
    int lastAdjust_[2] = {0, 0};
};

class PFTrimmerWnd : public PFTrimmerWndBase {
public:
    PFTrimmerWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
    int getTrimmerShiftValueDisplayStyle() const { return DisplayStyle(); }
};

class PFTrimmerTopLowerWnd : public PFTrimmerWndBase {
public:
    PFTrimmerTopLowerWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
    int getTrimmerShiftValueDisplayStyle() const { return DisplayStyle(); }
};

// Opens the trimmer window for a boolean trimming option; for a list, the
// trimmer window at its second choice and the top/lower window at its third.
class PFTrimmerSetupButton : public PFSetupButton {
public:
    PFTrimmerSetupButton(const RowPlace& place, ControlID tag, std::string titleKey,
                         framework::PopupWinInPanel* trimmerWindow, framework::PopupWinInPanel* topLowerWindow,
                         const BaseControl* trimmerList);

protected:
    framework::PopupWinInPanel* WindowToOpen() const override;

private:
    framework::PopupWinInPanel* topLowerWindow_;
    const BaseControl* trimmerList_;
};

}  // namespace zlk::features
