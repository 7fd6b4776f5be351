#include "dialog/features/numinseqwnd.h"

#include "dialog/features/featurespanel.h"
#include "ppd/ticket.h"

namespace zlk::features {

// Everything that tells the three windows' fields apart.
struct WholeNumberField {
    framework::TextIniData text;
    framework::StepperIniData steps;
    ppd::TextEditFilterData filter;
    AccessInfo fieldAccess;
    AccessInfo stepperAccess;
    const char* title;
    ControlID field;
    ControlID stepper;
};

namespace {

constexpr ppd::InputFilterData kDigitChars{1, {{{0x30, 0x39}}}};

const WholeNumberField kNumInSequence{
    {"3", "3", 1, 3},
    {0, 3, 3, 1, 254, 1},
    {kDigitChars, kDigitChars, "Message22k"},
    {framework::kDataTypeText, 0, ppd::kTicketKey<"NumInSequenceTextEditTicket">, nullptr},
    {0, 0, ppd::kTicketKey<"NumInSequenceLArrowTicket">, nullptr},
    "Number In Sequence Text",
    kNumInSeqFieldTag,
    kNumInSeqStepperTag,
};
const WholeNumberField kOffsetPages{
    {"2", "2", 1, 5},
    {0, 2, 2, 2, 65000, 1},
    {kDigitChars, kDigitChars, "Message22l"},
    {framework::kDataTypeText, 0, ppd::kTicketKey<"OffsetStackingPagesTextEditTicket">, nullptr},
    {0, 0, ppd::kTicketKey<"OffsetStackingPagesLArrowTicket">, nullptr},
    "Offset Stacking Pages Text",
    kOffsetPagesFieldTag,
    kOffsetPagesStepperTag,
};
const WholeNumberField kOffsetUnits{
    {"2", "2", 1, 4},
    {0, 2, 2, 2, 9999, 1},
    {kDigitChars, kDigitChars, "Message22m"},
    {framework::kDataTypeText, 0, ppd::kTicketKey<"OffsetStackingUnitsTextEditTicket">, nullptr},
    {0, 0, ppd::kTicketKey<"OffsetStackingUnitsLArrowTicket">, nullptr},
    "Offset Stacking Copies Text",
    kOffsetUnitsFieldTag,
    kOffsetUnitsStepperTag,
};

}  // namespace

PFNumInSeqTextEditCtrl::PFNumInSeqTextEditCtrl(widgets::Widget* widget, const WholeNumberField& field)
    : PFInchMMTextEditCtrl(widget, &field.text, &field.filter, &field.fieldAccess,
                           {field.steps.minimum, field.steps.maximum}, field.title, {field.stepper, 0})
{}

bool PFNumInSeqTextEditCtrl::IsNumberValid(const std::string& text) const
{
    const std::optional<int> value = numberform::IsDigits(text) ? numberform::Integer(text) : std::nullopt;
    return value && *value >= ValueRange().minimum && *value <= ValueRange().maximum;
}

int PFNumInSeqTextEditCtrl::StepsOfText(const std::string& text) const
{
    return numberform::Integer(text.substr(0, 5)).value_or(0);
}

bool PFNumInSeqTextEditCtrl::FeatureOn() const { return FeaturesPanel() && FeaturesPanel()->IsNumberInSequence(); }

bool PFOffsetStackingPagesTextEditCtrl::FeatureOn() const
{
    return FeaturesPanel() && FeaturesPanel()->getOffsetStackingValue() == 4;
}

bool PFOffsetStackingUnitsTextEditCtrl::FeatureOn() const
{
    return FeaturesPanel() && FeaturesPanel()->getOffsetStackingValue() == 5;
}

PFNumInSeqLittleArrowControl::PFNumInSeqLittleArrowControl(widgets::Widget* widget, const WholeNumberField& field)
    : PFInchMMLittleArrowControl(widget, &field.steps, &field.stepperAccess, field.title, {field.field, 0},
                                 {field.field})
{}

PFNumInSeqWnd::PFNumInSeqWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table)
    : PFNumberWnd(toolkit, "Number In Sequence Window Title String")
{
    if (!LoadWindowLayout(*this, bundle, table, "NumInSequenceWindow")) {
        return;
    }
    AddLabel(kNumInSeqLabelTag, "Number In Sequence Static Text");
    RunTimeAddNewControl(std::make_unique<PFNumInSeqTextEditCtrl>(Widget(kNumInSeqFieldTag), kNumInSequence));
    RunTimeAddNewControl(std::make_unique<PFNumInSeqLittleArrowControl>(Widget(kNumInSeqStepperTag), kNumInSequence));
    AddWindowButtons(kNumInSeqOKTag, kNumInSeqCancelTag, kNumInSeqDefaultTag, kNumInSeqHelpTag, "NumberInSequence.htm");
}

PFOffsetStackingPagesWnd::PFOffsetStackingPagesWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle,
                                                   const std::string& table)
    : PFNumberWnd(toolkit, "Offset Per Page Window Title String")
{
    if (!LoadWindowLayout(*this, bundle, table, "OffsetPerPageWindow")) {
        return;
    }
    AddLabel(kOffsetPagesLabelTag, "Offset Stacking Pages Static Text");
    RunTimeAddNewControl(
        std::make_unique<PFOffsetStackingPagesTextEditCtrl>(Widget(kOffsetPagesFieldTag), kOffsetPages));
    RunTimeAddNewControl(std::make_unique<PFNumInSeqLittleArrowControl>(Widget(kOffsetPagesStepperTag), kOffsetPages));
    AddWindowButtons(kOffsetPagesOKTag, kOffsetPagesCancelTag, kOffsetPagesDefaultTag, kOffsetPagesHelpTag,
                     "PageOffset.htm");
}

PFOffsetStackingUnitsWnd::PFOffsetStackingUnitsWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle,
                                                   const std::string& table)
    : PFNumberWnd(toolkit, "Offset Per Copy Window Title String")
{
    if (!LoadWindowLayout(*this, bundle, table, "OffsetPerCopyWindow")) {
        return;
    }
    AddLabel(kOffsetUnitsLabelTag, "Offset Stacking Copies Static Text");
    RunTimeAddNewControl(
        std::make_unique<PFOffsetStackingUnitsTextEditCtrl>(Widget(kOffsetUnitsFieldTag), kOffsetUnits));
    RunTimeAddNewControl(std::make_unique<PFNumInSeqLittleArrowControl>(Widget(kOffsetUnitsStepperTag), kOffsetUnits));
    AddWindowButtons(kOffsetUnitsOKTag, kOffsetUnitsCancelTag, kOffsetUnitsDefaultTag, kOffsetUnitsHelpTag,
                     "PageOffset.htm");
}

}  // namespace zlk::features
