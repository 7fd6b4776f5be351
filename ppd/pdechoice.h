// One PPD choice as a pop-up list shows it.
#pragma once

#include <cups/ppd.h>

#include <optional>
#include <string>

namespace zlk::ppd {

class PDEChoice {
public:
    // The choice belongs to the host's PPD and must outlive this wrapper.
    explicit PDEChoice(ppd_choice_t* choice);
    static PDEChoice choiceWithChoice(ppd_choice_t* choice) { return PDEChoice(choice); }

    ppd_choice_t* choice() const { return choice_; }
    // The translated text and the keyword. Both are taken as ASCII, as the
    // lists have always shown them: a text with any other byte has no title.
    const std::optional<std::string>& userTitle() const { return userTitle_; }
    const std::optional<std::string>& ppdTitle() const { return ppdTitle_; }

private:
    ppd_choice_t* choice_;
    std::optional<std::string> userTitle_;
    std::optional<std::string> ppdTitle_;
};

}  // namespace zlk::ppd
