// The separator window: the pages before which a separator sheet goes,
// typed as a list of page numbers.
#pragma once

#include <memory>
#include <string>

#include "dialog/framework/printpanel.h"
#include "dialog/framework/textedit.h"
#include "platform/system/bundle.h"

namespace zlk::features {

// Tags of the separator window's widgets (Resources/Layouts/SeparatorWindow.json).
inline constexpr framework::ControlID kSepStaticTextTag = 500;
inline constexpr framework::ControlID kSepSideTextTag = 501;
inline constexpr framework::ControlID kSepFieldTitleTag = 502;
inline constexpr framework::ControlID kSepFieldTag = 503;
inline constexpr framework::ControlID kSepOKTag = 504;
inline constexpr framework::ControlID kSepCancelTag = 505;
inline constexpr framework::ControlID kSepDefaultTag = 506;
inline constexpr framework::ControlID kSepHelpTag = 507;

// What IsPageInputValid answers.
enum PageInputCheck : int { kPagesValid = 0, kPagesBadInput = 1, kPagesTooMany = 2 };

// The page list: typed with commas ("9, 3,12"), stored sorted and
// space-separated ("3 9 12"), shown again with commas ("3,9,12").
class PFSepTextEditCtrl : public framework::TextEditCtrl {
public:
    PFSepTextEditCtrl(widgets::Widget* widget, std::string titleInfo, int maxPageList);

    // 0 valid; 1 a character other than digit, space or comma, a comma at
    // either end or twice in a row, only spaces, or a page outside 2 to
    // 9999; 2 more pages than the list holds.
    int IsPageInputValid(const std::string& text) const;
    bool ToValidate() const;
    bool InvalidateData() override;
    bool InvalidateDataOnCancel() override;
    bool PreInvalidateData() override { return true; }
    bool PreInvalidateDataOnCancel() override { return true; }
    void ShowErrMsg(int message);
    void SetValueFromUIToControl() override;
    bool SetControlValueToUI() override;
    bool GetValueToPreset() override;
    bool SetValueToPreference() override;
    bool ToGetSummaryText() const;
    int GetSummaryText(framework::SummaryDictionary& dictionary, framework::OrderArray& orderArray) override;

    // The stored form of a typed list, and the shown form of a stored one.
    static std::string StoredForm(const std::string& typed);
    static std::string ShownForm(const std::string& stored);

private:
    std::string titletextRef;
    int maxPageDefineNum;
};

class PFSeparatorWnd : public framework::PopupWinInPanel {
public:
    // Builds the window from its layout in the bundle; an empty window when
    // the layout is missing.
    PFSeparatorWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table);
    // Shows the stored list, then runs the window.
    void ActivateWindow() override;
};

}  // namespace zlk::features
