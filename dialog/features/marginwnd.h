// The tab margin and booklet margin windows: a margin shift typed in
// millimetres or inches, each unit with its field and stepper, the unit
// shown chosen by a pair of buttons and the hidden unit kept in step.
#pragma once

#include <optional>
#include <string>

#include "dialog/features/inchmm.h"
#include "platform/system/bundle.h"

namespace zlk::features {

// Tags of the tab margin window (Resources/Layouts/TabMarginWindow.json).
inline constexpr ControlID kTabInchLabelTag = 201;
inline constexpr ControlID kTabInchSideTag = 202;
inline constexpr ControlID kTabMMLabelTag = 203;
inline constexpr ControlID kTabMMSideTag = 204;
inline constexpr ControlID kTabInchFieldTag = 211;
inline constexpr ControlID kTabInchStepperTag = 212;
inline constexpr ControlID kTabMMFieldTag = 213;
inline constexpr ControlID kTabMMStepperTag = 214;
inline constexpr ControlID kTabMMRadioTag = 215;
inline constexpr ControlID kTabInchRadioTag = 216;
inline constexpr ControlID kTabOKTag = 217;
inline constexpr ControlID kTabCancelTag = 218;
inline constexpr ControlID kTabDefaultTag = 219;
inline constexpr ControlID kTabHelpTag = 220;

// Tags of the booklet margin window (Resources/Layouts/BookletMarginWindow.json).
inline constexpr ControlID kBookletInchLabelTag = 301;
inline constexpr ControlID kBookletInchSideTag = 302;
inline constexpr ControlID kBookletMMLabelTag = 303;
inline constexpr ControlID kBookletMMSideTag = 304;
inline constexpr ControlID kBookletAutoFitTag = 310;
inline constexpr ControlID kBookletInchFieldTag = 311;
inline constexpr ControlID kBookletInchStepperTag = 312;
inline constexpr ControlID kBookletMMFieldTag = 313;
inline constexpr ControlID kBookletMMStepperTag = 314;
inline constexpr ControlID kBookletMMRadioTag = 315;
inline constexpr ControlID kBookletInchRadioTag = 316;
inline constexpr ControlID kBookletOKTag = 317;
inline constexpr ControlID kBookletCancelTag = 318;
inline constexpr ControlID kBookletDefaultTag = 319;
inline constexpr ControlID kBookletHelpTag = 320;

// The constraint records of a pair of unit buttons: each hides its unit's
// controls while off, and switches the other button off when it comes on.
template <framework::IdentifierList MMControls, framework::IdentifierList InchControls, const ControlID& MMRadio,
          const ControlID& InchRadio>
struct UnitButtonRecords {
    static constexpr const ControlID* mmRadioOnly[] = {&MMRadio, nullptr};
    static constexpr const ControlID* inchRadioOnly[] = {&InchRadio, nullptr};
    static constexpr framework::IdentifierList mmHides[] = {MMControls, nullptr};
    static constexpr framework::IdentifierList inchHides[] = {InchControls, nullptr};
    static constexpr framework::IdentifierList mmUpdates[] = {nullptr, inchRadioOnly};
    static constexpr framework::IdentifierList inchUpdates[] = {nullptr, mmRadioOnly};
    static constexpr ConstraintInfo mm{{}, mmHides, mmUpdates};
    static constexpr ConstraintInfo inch{{}, inchHides, inchUpdates};
};

// Which unit a window shows: only the inch button on, only the mm button
// on, or neither (or both) on.
enum UnitDisplayStyle : int { kShowsInches = 0, kShowsMM = 1, kShowsNoUnit = -1 };

// A window with a pair of unit buttons. It keeps exactly one unit on
// whatever the ticket says; every opening resets the controls, so the unit
// buttons hide the other unit afresh.
class PFUnitWnd : public PFNumberWnd {
public:
    PFUnitWnd(widgets::Toolkit& toolkit, const char* titleKey, ControlID mmRadio, ControlID inchRadio);
    bool GetValueFromPreset() override;
    // From the committed states of the unit buttons.
    UnitDisplayStyle DisplayStyle() const;

protected:
    // The two unit buttons in one group, the mm one validating validateByMM
    // and hiding hideOffMM while off; likewise for inches.
    void AddUnitButtons(const framework::RadioButtonIniData* mmIni, const ConstraintInfo* mmConstraint,
                        const AccessInfo* mmAccess, std::vector<ControlID> validateByMM,
                        const framework::RadioButtonIniData* inchIni, const ConstraintInfo* inchConstraint,
                        const AccessInfo* inchAccess, std::vector<ControlID> validateByInch);

    ControlID mmRadioTag_;
    ControlID inchRadioTag_;
};

// --- tab margin ----------------------------------------------------------------

class PFTabMarginWnd : public PFUnitWnd {
public:
    static constexpr const char* kMMSideKey = "Tab Margin MM Side Static Text";
    static constexpr const char* kInchSideKey = "Tab Margin Inch Side Static Text";
    PFTabMarginWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
    int getTabMarginShiftValueDisplayStyle() const { return DisplayStyle(); }
};

// The fields of both windows: the unit's side label and feature switch.
template <class Window, UnitDisplayStyle Unit>
class PFMarginTextEditCtrl : public PFInchMMTextEditCtrl {
public:
    using PFInchMMTextEditCtrl::PFInchMMTextEditCtrl;
    bool UnitShown() const override
    {
        const auto* window = dynamic_cast<const Window*>(ctrlParentPanelPtr);
        return window && (window->DisplayStyle() == Unit || window->DisplayStyle() == kShowsNoUnit);
    }
    const char* SideLabelKey() const override
    {
        const auto* window = dynamic_cast<const Window*>(ctrlParentPanelPtr);
        if (!window || window->DisplayStyle() == kShowsNoUnit) {
            return nullptr;
        }
        return window->DisplayStyle() == kShowsMM ? Window::kMMSideKey : Window::kInchSideKey;
    }
};

// 0.1 mm steps, 0 to 150; one digit after the point.
class PFTabMMTextEditCtrl : public PFMarginTextEditCtrl<PFTabMarginWnd, kShowsMM> {
public:
    PFTabMMTextEditCtrl(widgets::Widget* widget);
    bool IsNumberValid(const std::string& text) const override;
    int StepsOfText(const std::string& text) const override;
    std::string TextOfSteps(int steps) const override;
    std::optional<std::string> TextFromOtherUnit(const std::string& inches) const override;
    bool FeatureOn() const override;
};

// 0.01 inch steps, 0 to 59; shown "0." and two digits.
class PFTabInchesTextEditCtrl : public PFMarginTextEditCtrl<PFTabMarginWnd, kShowsInches> {
public:
    PFTabInchesTextEditCtrl(widgets::Widget* widget);
    bool IsNumberValid(const std::string& text) const override;
    int StepsOfText(const std::string& text) const override;
    std::string TextOfSteps(int steps) const override;
    std::optional<std::string> TextFromOtherUnit(const std::string& mm) const override;
    bool FeatureOn() const override;
};

class PFTabMMLittleArrowControl : public PFInchMMLittleArrowControl {
public:
    explicit PFTabMMLittleArrowControl(widgets::Widget* widget);
};
class PFTabInchesLittleArrowControl : public PFInchMMLittleArrowControl {
public:
    explicit PFTabInchesLittleArrowControl(widgets::Widget* widget);
};

// --- booklet margin ------------------------------------------------------------

class PFBookletMarginWnd : public PFUnitWnd {
public:
    static constexpr const char* kMMSideKey = "Booklet Margin MM Side Static Text";
    static constexpr const char* kInchSideKey = "Booklet Margin Inch Side Static Text";
    PFBookletMarginWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
    int getBookletShiftValueDisplayStyle() const { return DisplayStyle(); }
};

// Whole millimetres, 0 to 25.
class PFBookletMMTextEditCtrl : public PFMarginTextEditCtrl<PFBookletMarginWnd, kShowsMM> {
public:
    PFBookletMMTextEditCtrl(widgets::Widget* widget);
    bool IsNumberValid(const std::string& text) const override;
    int StepsOfText(const std::string& text) const override;
    std::string TextOfSteps(int steps) const override;
    std::optional<std::string> TextFromOtherUnit(const std::string& inches) const override;
    bool FeatureOn() const override;
};

// 0.1 inch steps, 0 to 10; one digit after the point.
class PFBookletInchesTextEditCtrl : public PFMarginTextEditCtrl<PFBookletMarginWnd, kShowsInches> {
public:
    PFBookletInchesTextEditCtrl(widgets::Widget* widget);
    bool IsNumberValid(const std::string& text) const override;
    int StepsOfText(const std::string& text) const override;
    std::string TextOfSteps(int steps) const override;
    std::optional<std::string> TextFromOtherUnit(const std::string& mm) const override;
    bool FeatureOn() const override;
};

// The ticket holds twice the millimetres; reading it back halves it.
class PFBookletMMLittleArrowControl : public PFInchMMLittleArrowControl {
public:
    explicit PFBookletMMLittleArrowControl(widgets::Widget* widget);
    bool ConvertToTickectData(std::string& out, bool lock) override;

protected:
    std::optional<int> StepsFromTicket(const std::string& text) const override;
};
class PFBookletInchesLittleArrowControl : public PFInchMMLittleArrowControl {
public:
    explicit PFBookletInchesLittleArrowControl(widgets::Widget* widget);
};

}  // namespace zlk::features
