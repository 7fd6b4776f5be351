#include "ppd/pdechoice.h"

#include <algorithm>
#include <string_view>

namespace zlk::ppd {

namespace {

std::optional<std::string> AsciiTitle(const char* text)
{
    std::string_view view(text);
    if (std::any_of(view.begin(), view.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return std::nullopt;
    }
    return std::string(view);
}

}  // namespace

PDEChoice::PDEChoice(ppd_choice_t* choice) : choice_(choice)
{
    if (choice_ != nullptr) {
        userTitle_ = AsciiTitle(choice_->text);
        ppdTitle_ = AsciiTitle(choice_->choice);
    }
}

}  // namespace zlk::ppd
