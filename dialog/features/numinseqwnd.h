// The number-in-sequence window and the two offset stacking windows: one
// whole number each, typed or stepped.
#pragma once

#include <optional>
#include <string>

#include "dialog/features/inchmm.h"
#include "platform/system/bundle.h"

namespace zlk::features {

// Tags of the windows (Resources/Layouts/NumInSequenceWindow.json,
// OffsetPerPageWindow.json, OffsetPerCopyWindow.json): label, field,
// stepper, then the buttons.
inline constexpr ControlID kNumInSeqLabelTag = 611;
inline constexpr ControlID kNumInSeqFieldTag = 612;
inline constexpr ControlID kNumInSeqStepperTag = 613;
inline constexpr ControlID kNumInSeqHelpTag = 614;
inline constexpr ControlID kNumInSeqDefaultTag = 615;
inline constexpr ControlID kNumInSeqCancelTag = 616;
inline constexpr ControlID kNumInSeqOKTag = 617;
inline constexpr ControlID kOffsetPagesLabelTag = 601;
inline constexpr ControlID kOffsetPagesFieldTag = 602;
inline constexpr ControlID kOffsetPagesStepperTag = 603;
inline constexpr ControlID kOffsetPagesOKTag = 604;
inline constexpr ControlID kOffsetPagesCancelTag = 605;
inline constexpr ControlID kOffsetPagesDefaultTag = 606;
inline constexpr ControlID kOffsetPagesHelpTag = 607;
inline constexpr ControlID kOffsetUnitsLabelTag = 701;
inline constexpr ControlID kOffsetUnitsFieldTag = 702;
inline constexpr ControlID kOffsetUnitsStepperTag = 703;
inline constexpr ControlID kOffsetUnitsOKTag = 704;
inline constexpr ControlID kOffsetUnitsCancelTag = 705;
inline constexpr ControlID kOffsetUnitsDefaultTag = 706;
inline constexpr ControlID kOffsetUnitsHelpTag = 707;

// What one of the three windows holds.
struct WholeNumberField;

// A whole number within its range; an empty text counts as 0.
class PFNumInSeqTextEditCtrl : public PFInchMMTextEditCtrl {
public:
    PFNumInSeqTextEditCtrl(widgets::Widget* widget, const WholeNumberField& field);
    bool IsNumberValid(const std::string& text) const override;
    int StepsOfText(const std::string& text) const override;
    std::string TextOfSteps(int steps) const override { return std::to_string(steps); }
    std::optional<std::string> TextFromOtherUnit(const std::string&) const override { return std::nullopt; }
    bool FeatureOn() const override;
};
// Summaries only while the offset stacking list asks for pages (4) or copies (5).
class PFOffsetStackingPagesTextEditCtrl : public PFNumInSeqTextEditCtrl {
public:
    using PFNumInSeqTextEditCtrl::PFNumInSeqTextEditCtrl;
    bool FeatureOn() const override;
};
class PFOffsetStackingUnitsTextEditCtrl : public PFNumInSeqTextEditCtrl {
public:
    using PFNumInSeqTextEditCtrl::PFNumInSeqTextEditCtrl;
    bool FeatureOn() const override;
};

// The stepper of the three windows.
class PFNumInSeqLittleArrowControl : public PFInchMMLittleArrowControl {
public:
    PFNumInSeqLittleArrowControl(widgets::Widget* widget, const WholeNumberField& field);
};

class PFNumInSeqWnd : public PFNumberWnd {
public:
    PFNumInSeqWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
};
class PFOffsetStackingPagesWnd : public PFNumberWnd {
public:
    PFOffsetStackingPagesWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
};
class PFOffsetStackingUnitsWnd : public PFNumberWnd {
public:
    PFOffsetStackingUnitsWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
};

}  // namespace zlk::features
