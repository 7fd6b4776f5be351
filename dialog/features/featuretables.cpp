#include "dialog/features/featuretables.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace zlk::features {

namespace {

constexpr std::string_view kCoverSep[] = {"ZLKIntCoverSheet", "ZLKIntBackCoverSheet", "ZLKIntSheet",
                                          "ZLKIntSheetMediaType"};
constexpr std::string_view kLayout[] = {"ZLKSignature", "ZLKSigDrawOutline", "ZLKSigSize", "ZLKSigVol"};
constexpr std::string_view kMediaType[] = {"MediaType", "ZLKIntSheetMediaType", "ZLKSlipSheetMediaType"};
constexpr std::string_view kMailbox[] = {
    "ZLKMixSizePrint",      "ZLKMSILeadingEdge",
    "ZLKSubPaperSelection", "Jog",
    "ZLKSlipSheetPrint",    "ZLKSlipSheetMediaType",
    "ZLKIntTabbedPaper",    "Smoothing",
    "ZLKMediaColor",        "ZLKJog",
    "ZLKSubPaperLayout",    "ZLKEjectOptions",
};
constexpr std::string_view kMailboxRestore[] = {
    "MediaType",         "OutputBin",
    "ZLKSignature",      "ZLKSigSize",
    "ZLKSigVol",         "ZLKSigDrawOutline",
    "ZLKTabMarginShift", "ZLKTabMarginShiftEx",
    "ZLKStaple",         "ZLKPunch",
    "ZLKNumPunchHoles",  "ZLKSlipSheet",
    "ZLKIntCoverSheet",  "ZLKIntBackCoverSheet",
    "ZLKIntSheet",       "ZLKIntSheetMediaType",
    "ZLKTwoRepeatPrint", "ZLKUncollateSeparator",
    "ZLKOutputMode",     "ZLKLineWeightAdjustment",
};
constexpr std::string_view kSpecialPageRestore[] = {
    "ZLKSignature",          "ZLKSigSize",        "ZLKSigVol",         "ZLKSigDrawOutline", "ZLKSlipSheet",
    "ZLKSlipSheetMediaType", "ZLKSlipSheetPrint", "ZLKSaveBlankSheet", "ZLKTwoRepeatPrint", "ZLKJog",
};
constexpr std::string_view kWatermarkRestore[] = {"ZLKLineWeightAdjustment"};

// The keywords every mode claims, after its own.
constexpr std::string_view kCommonKeys[] = {
    "MediaType",
    "OutputBin",
    "ZLKGrayBalance",
    "ZLKHalftone",
    "Smoothing",
    "ZLKTonerSaver",
    "ZLKTonerReductionRate",
    "ZLKSaveBlankSheet",
    "ZLKSlipSheet",
    "ZLKSlipSheetMediaType",
    "ZLKSlipSheetPrint",
    "ZLKStaple",
    "ZLKPunch",
    "ZLKNumPunchHoles",
    "ZLKIntCoverSheet",
    "ZLKIntCoverSheetPrint",
    "ZLKIntBackCoverSheet",
    "ZLKIntSheetMediaType",
    "ZLKFold",
    "ZLKIntTabbedPaper",
    "Jog",
    "ZLKCustomPageSizeCorrection",
    "ZLKMSILeadingEdge",
    "ZLKSubPaperSelection",
    "ZLKTwoRepeatPrint",
    "ZLKMixSizePrint",
    "ZLKMixSizeRotation",
    "ZLKTabMarginShift",
    "ZLKTabMarginShiftEx",
    "ZLKTrimming",
    "ZLKMTF",
    "ZLKFType",
    "ZLKIntSheet",
    "ZLKMediaColor",
    "ZLKInvalidateColorProfile",
    "ZLKUncollateSeparator",
    "ZLKForcedMediaType",
    "ZLKTabNumberInSequence",
    "ZLKJog",
    "ZLKSquareFold",
    "ZLKIgnoreTimeout",
    "ZLKFrameMode",
    "ZLKEjectOptions",
    "ZLKSetTrapMode",
    "ZLKSharpness",
    "ZLKPBindPosition",
    "ZLKPBindTrimming",
    "ZLKPBindCutPageSize",
    "ZLKPBindImagePosition",
    "ZLKPBindCutPositionTop",
    "ZLKPBindCutPositionFore",
    "ZLKPBindPageSize",
    "ZLKPBindCoverPageSize",
    "ZLKPBindCoverMediaType",
    "ZLKPBindCoverMediaColor",
    "ZLKPBindCoverPaperTray",
    "ZLKPBindRotationAdjustTop",
    "ZLKPBindRotationAdjustBot",
    "ZLKPBindRotationAdjustFore",
    "ZLKPBindCutPageAdjustmentTB",
    "ZLKPBindCutPageAdjustmentFore",
    "ZLKPBindCutPositionAdjustmentTB",
    "ZLKPBindCoverAdjustX",
    "ZLKPBindCoverAdjustY",
    "ZLKLineWeightAdjustment",
    "ZLKContrast",
    "ZLKFoldFirmly",
    "ZLKCrease",
    "ZLKCreaseDirection",
    "ZLKStapleFree",
    "ZLKHalftoneText",
    "ZLKHalftoneGraphics",
    "ZLKHalftonePhotos",
    "ZLKSubPaperLayout",
    "ZLKQuadBind",
    "ZLKColorMode",
    "ZLKPDFRasterizedMode",
    "ZLKInputSlot",
    "ZLKTurnPage",
};
static_assert(std::size(kCommonKeys) == 79);

// Each mode's own keywords.
constexpr std::string_view kOwn00[] = {
    "ZLKSignature", "ZLKSigDrawOutline", "ZLKSigSize", "ZLKSigVol", "ZLKSharpness", "ZLKMonochromePriority",
};
constexpr std::string_view kOwn01[] = {
    "ZLKOutputMode",
    "ZLKColorBalanceAdjustment",
    "ZLKColorDensityBlackLow",
    "ZLKColorDensityBlackMid",
    "ZLKColorDensityBlackHigh",
    "ZLKBrightness",
    "ZLKSignature",
    "ZLKSigDrawOutline",
    "ZLKSigSize",
    "ZLKSigVol",
    "ZLKEngineScreen",
};
constexpr std::string_view kOwn03[] = {
    "ZLKOutputMode",           "ZLKColorBalanceAdjustment", "ZLKColorDensityBlackLow",
    "ZLKColorDensityBlackMid", "ZLKColorDensityBlackHigh",  "ZLKBrightness",
};

// A mode's table: its own keywords, then the common ones.
template <std::size_t N>
constexpr std::array<std::string_view, N + std::size(kCommonKeys)> WithCommonKeys(const std::string_view (&own)[N])
{
    std::array<std::string_view, N + std::size(kCommonKeys)> table{};
    std::copy(std::begin(own), std::end(own), table.begin());
    std::copy(std::begin(kCommonKeys), std::end(kCommonKeys), table.begin() + N);
    return table;
}

constexpr auto kMode00 = WithCommonKeys(kOwn00);
constexpr auto kMode01 = WithCommonKeys(kOwn01);
constexpr auto kMode03 = WithCommonKeys(kOwn03);
static_assert(kMode00.size() == 85 && kMode01.size() == 90 && kMode03.size() == 85);

constexpr ProductModeKeys kModes[] = {
    {"Default00", kMode00},
    {"Default01", kMode01},
    {"Default02", kCommonKeys},
    {"Default03", kMode03},
};

}  // namespace

const KeywordList KFXCoverSepGroupKeyArray = kCoverSep;
const KeywordList KFXLayoutGroupKeyArray = kLayout;
const KeywordList ppdKeyArrayMediaType = kMediaType;
const KeywordList kFXMailboxConstrainArray = kMailbox;
const KeywordList kFXMailboxConstrainandRestoreDefaultArray = kMailboxRestore;
const KeywordList kFXSpecialPageConstrainandRestoreDefaultArray = kSpecialPageRestore;
const KeywordList kFXWatermarkConstrainandRestoreDefaultArray = kWatermarkRestore;
const std::span<const ProductModeKeys> productModePPDKeyInfo = kModes;

const KeywordList* KeywordsOfMode(std::string_view mode)
{
    for (const ProductModeKeys& row : productModePPDKeyInfo) {
        if (row.mode == mode) {
            return &row.keywords;
        }
    }
    return nullptr;
}

bool Contains(KeywordList list, std::string_view keyword)
{
    return std::find(list.begin(), list.end(), keyword) != list.end();
}

}  // namespace zlk::features
