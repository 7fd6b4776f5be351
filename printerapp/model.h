// A printer model of the Printer Application, read from its PPD: what PAPPL
// needs to announce it and what the filter needs to print for it. A new model
// is a new PPD in the model folder, not new code.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zlk::printerapp {

// A model option with no standard IPP attribute, offered as a PAPPL vendor
// attribute ("zlk-staple", "zlk-staple-default", "zlk-staple-supported").
struct VendorOption {
    std::string attribute;  // "zlk-staple"
    std::string ppdOption;  // "ZLKStaple"
    std::string title;  // the PPD's title, UTF-8
    bool boolean = false;  // a Boolean option: xxx-supported is a boolean
    std::vector<std::string> keywords;  // values, PPD order; "true"/"false" for a Boolean
    std::map<std::string, std::string> choiceOf;  // keyword -> PPD choice
    std::map<std::string, std::string> titleOf;  // keyword -> the choice's title, UTF-8
    std::string defaultKeyword;
};

// An IPP "finishings" value the PPD maps to its own choices
// (*cupsIPPFinishings), as the spooler maps it for a classic queue.
struct Finishing {
    int value = 0;  // IPP enum, 4 = staple
    std::vector<std::pair<std::string, std::string>> choices;  // PPD option, choice
};

struct Model {
    std::string driverName;  // "zelko_mfp_c4500", from ModelName
    std::string description;  // NickName
    std::string makeAndModel;  // ModelName
    std::string ppdPath;
    int pagesPerMinute = 1;

    std::vector<std::string> media;  // PWG names, PPD order
    std::map<std::string, std::string> pageSizeOf;  // PWG name -> PageSize choice
    std::string defaultMedia;  // PWG name
    int mediaWidth = 0, mediaLength = 0;  // default size, hundredths of mm
    int marginLeftRight = 0, marginBottomTop = 0;  // hundredths of mm

    std::vector<std::string> sources;  // IPP media-source keywords
    std::map<std::string, std::string> inputSlotOf;  // keyword -> InputSlot choice
    int defaultSource = 0;

    bool duplex = false;  // Duplex offers both bindings

    std::string colorChoice;  // ZLKColorMode choice for colour; empty: mono only
    std::string monoChoice;  // ZLKColorMode choice for black and white
    bool colorByDefault = false;

    std::vector<int> resolutions;  // dpi
    int defaultResolution = 600;

    std::vector<std::string> bins;  // IPP output-bin keywords
    std::map<std::string, std::string> outputBinOf;  // keyword -> OutputBin choice
    int defaultBin = 0;

    std::vector<std::string> mediaTypes;  // IPP media-type keywords
    std::map<std::string, std::string> mediaTypeOf;  // keyword -> MediaType choice
    int defaultMediaType = 0;

    std::vector<Finishing> finishings;
    bool collate = false;  // the PPD has Collate
    int passcodeDigits = 0;  // longest job-password (*cupsJobPassword); 0: none
    bool accountId = false;  // *cupsJobAccountId
    bool accountingUserId = false;  // *cupsJobAccountingUserId

    std::string language;  // "en", "ja": the PPD's LanguageVersion
    std::vector<VendorOption> vendor;  // at most PAPPL_MAX_VENDOR
    std::vector<std::string> vendorLeftOut;  // options that did not fit, with why
};

// The model of one PPD; false with a reason when PAPPL could not offer it.
bool ReadModel(const std::string& ppdPath, Model& model, std::string& why);

// Every model of the *.ppd files of a folder, sorted by driver name; a file
// that cannot be read is left out with its reason in problems.
std::vector<Model> ReadModels(const std::string& folder, std::vector<std::string>& problems);

// "FinisherTray" -> "finisher-tray": IPP keywords for the PPD's own names.
std::string KeywordFromChoice(const std::string& choice);

}  // namespace zlk::printerapp
