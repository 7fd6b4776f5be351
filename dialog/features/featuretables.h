// The features panel's fixed tables: the keywords each product mode claims,
// the keywords of the fixed groups, the keywords the panel's three rules
// act on, the tags of its fixed controls and its layout constants.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "dialog/framework/records.h"

namespace zlk::features {

using framework::ControlID;

// Layout constants (points). The first four are every PPD control's
// position information.
inline constexpr int titleHoffset = 5;
inline constexpr int kControlDistance = 8;
inline constexpr int kControlTopOffset = -20;
inline constexpr int kMaxControlInPanel = 6;
inline constexpr int ktitleCtrlWidthOffset = 15;
inline constexpr int kPopUpCtrlTotalWidth = 368;
inline constexpr int kPopUpCtrlTotalWidthWithButton = 245;
inline constexpr int kTabMarginCtrlTotalWidth = 220;
inline constexpr int titleWidth = 80;
inline constexpr int titleHeight = 25;
inline constexpr int kButtonCtrlWidth = 122;
inline constexpr int kButtonCtrlHeight = 25;
inline constexpr int kButtonHoffset = 240;
inline constexpr int kGroupBoxTopInPanel = 38;
inline constexpr int kGroupBoxHVInPanel = 10;
inline constexpr int hOffset = 150;

// Tags of the fixed controls, named by the constraint tables.
inline constexpr ControlID TabMarginSetupBtnCtrlID = 101;
inline constexpr ControlID SeparatorSetupBtnCtrlID = 102;
inline constexpr ControlID IntCoverListCtrlID = 103;
inline constexpr ControlID IntBackCoverListCtrlID = 104;
inline constexpr ControlID IntSheetListCtrlID = 105;
inline constexpr ControlID BookletMarginCheckBoxCtrlID = 106;
inline constexpr ControlID BookletMarginSetupBtnCtrlID = 107;
inline constexpr ControlID OffsetStackingSetupBtnCtrlID = 108;
inline constexpr ControlID OffsetStackingListCtrlID = 109;
inline constexpr ControlID NumInSequenceSetupBtnCtrlID = 111;
inline constexpr ControlID TrimmerSetupBtnCtrlID = 112;
inline constexpr ControlID TrimmerListCtrlID = 113;

// Tags of the panel layout's own widgets (Resources/Layouts/ZLKPrintFeature.json).
inline constexpr ControlID kGroupTitleTag = 1;
inline constexpr ControlID kGroupListTag = 2;
inline constexpr ControlID kGroupBoxTag = 3;
inline constexpr ControlID kStatusTextTag = 4;
// Run-time controls take tags from here up, one per widget.
inline constexpr ControlID kFirstRunTimeTag = 1000;

using KeywordList = std::span<const std::string_view>;

// The fixed groups.
extern const KeywordList KFXCoverSepGroupKeyArray;
extern const KeywordList KFXLayoutGroupKeyArray;
// Options whose marked choice may be tabbed or coated media.
extern const KeywordList ppdKeyArrayMediaType;
// The options the three panel rules act on.
extern const KeywordList kFXMailboxConstrainArray;
extern const KeywordList kFXMailboxConstrainandRestoreDefaultArray;
extern const KeywordList kFXSpecialPageConstrainandRestoreDefaultArray;
extern const KeywordList kFXWatermarkConstrainandRestoreDefaultArray;

// A product mode and the keywords it claims, in claim order (Default00
// names ZLKSharpness twice; the list is passed on as it stands).
struct ProductModeKeys {
    std::string_view mode;
    KeywordList keywords;
};
extern const std::span<const ProductModeKeys> productModePPDKeyInfo;

// The keyword list of a mode; nullptr for an unknown mode.
const KeywordList* KeywordsOfMode(std::string_view mode);

bool Contains(KeywordList list, std::string_view keyword);

}  // namespace zlk::features
