#include "printerapp/model.h"

#include <cups/ppd.h>
#include <pappl/pappl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "common/ppdfile.h"
#include "ppd/ppdquery.h"

namespace zlk::printerapp {

namespace {

// Points to hundredths of millimetres, PAPPL's unit.
int Hundredths(float points) { return static_cast<int>(std::lround(points * 2540.0 / 72.0)); }

std::string AttrValue(ppd_file_t* ppd, const char* name)
{
    const ppd_attr_t* attr = ppdFindAttr(ppd, name, nullptr);
    return attr && attr->value ? attr->value : "";
}

// Driver names are what clients type (-m): lower case, no blanks.
std::string DriverNameFrom(const std::string& modelName)
{
    std::string name;
    for (char c : modelName) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u))
            name += static_cast<char>(std::tolower(u));
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

// The IPP names PAPPL's web pages translate; other trays keep the PPD's name.
std::string SourceKeyword(const std::string& choice)
{
    static const std::map<std::string, std::string, std::less<>> known = {
        {"Auto", "auto"},      {"1stTray", "tray-1"},          {"2ndTray", "tray-2"}, {"3rdTray", "tray-3"},
        {"4thTray", "tray-4"}, {"BypassTray", "by-pass-tray"}, {"Manual", "manual"},
    };
    const auto found = known.find(choice);
    return found != known.end() ? found->second : KeywordFromChoice(choice);
}

int Dpi(const char* text)
{
    const int value = std::atoi(text ? text : "");
    return value > 0 ? value : 0;
}

void ReadMedia(ppd_file_t* ppd, Model& model)
{
    const ppd_option_t* pageSize = ppdFindOption(ppd, "PageSize");
    if (!pageSize)
        return;
    for (int i = 0; i < pageSize->num_choices && model.media.size() < PAPPL_MAX_MEDIA; ++i) {
        const char* choice = pageSize->choices[i].choice;
        pwg_media_t* pwg = pwgMediaForPPD(choice);
        if (!pwg || !pwg->pwg || model.pageSizeOf.contains(pwg->pwg))
            continue;
        model.media.push_back(pwg->pwg);
        model.pageSizeOf[pwg->pwg] = choice;
        if (std::strcmp(choice, pageSize->defchoice) == 0 || model.defaultMedia.empty()) {
            model.defaultMedia = pwg->pwg;
            model.mediaWidth = pwg->width;
            model.mediaLength = pwg->length;
            if (const ppd_size_t* size = ppdPageSize(ppd, choice)) {
                model.marginLeftRight = Hundredths(size->left);
                model.marginBottomTop = Hundredths(size->bottom);
            }
        }
    }
}

// Options whose choices become keywords: trays, bins.
void ReadKeywords(ppd_file_t* ppd, const char* keyword, std::size_t limit, std::string (*toKeyword)(const std::string&),
                  std::vector<std::string>& keywords, std::map<std::string, std::string>& choiceOf, int& defaultIndex)
{
    const ppd_option_t* option = ppdFindOption(ppd, keyword);
    if (!option)
        return;
    for (int i = 0; i < option->num_choices && keywords.size() < limit; ++i) {
        const std::string name = toKeyword(option->choices[i].choice);
        if (choiceOf.contains(name))
            continue;
        if (std::strcmp(option->choices[i].choice, option->defchoice) == 0)
            defaultIndex = static_cast<int>(keywords.size());
        keywords.push_back(name);
        choiceOf[name] = option->choices[i].choice;
    }
}

void ReadColor(ppd_file_t* ppd, Model& model)
{
    const ppd_option_t* mode = ppdFindOption(ppd, "ZLKColorMode");
    if (!mode)
        return;
    for (int i = 0; i < mode->num_choices; ++i) {
        const std::string_view choice = mode->choices[i].choice;
        if (choice == "Color")
            model.colorChoice = choice;
        else if (choice == "Black")
            model.monoChoice = choice;
    }
    model.colorByDefault = !model.colorChoice.empty() && model.colorChoice == mode->defchoice;
}

// IPP media-type keywords for the paper types the PPDs name.
std::string MediaTypeKeyword(const std::string& choice)
{
    static const std::map<std::string, std::string, std::less<>> known = {
        {"Default", "auto"},
        {"Stationary", "stationery"},
        {"StationaryBack", "stationery-back"},
        {"RecyclePaper", "stationery-recycled"},
        {"ThickPaper", "cardstock"},
        {"CoatingPaper", "stationery-coated"},
        {"TabbedPaper", "tab-stock"},
        {"Transparency", "transparency"},
        {"Labels", "labels"},
        {"Envelope", "envelope"},
    };
    const auto found = known.find(choice);
    return found != known.end() ? found->second : KeywordFromChoice(choice);
}

// *cupsIPPFinishings 4/staple: "*ZLKStaple UpperLeftSinglePort": the same
// table the spooler uses for a classic queue of this PPD.
void ReadFinishings(ppd_file_t* ppd, Model& model)
{
    for (ppd_attr_t* attr = ppdFindAttr(ppd, "cupsIPPFinishings", nullptr); attr;
         attr = ppdFindNextAttr(ppd, "cupsIPPFinishings", nullptr)) {
        Finishing finishing;
        finishing.value = std::atoi(attr->spec);
        std::string code = attr->value ? attr->value : "";
        std::size_t at = 0;
        while ((at = code.find('*', at)) != std::string::npos) {
            const std::size_t nameEnd = code.find_first_of(" \t", at);
            if (nameEnd == std::string::npos)
                break;
            const std::size_t valueStart = code.find_first_not_of(" \t", nameEnd);
            const std::size_t valueEnd = code.find_first_of(" \t*", valueStart);
            if (valueStart == std::string::npos)
                break;
            const std::string option = code.substr(at + 1, nameEnd - at - 1);
            const std::string choice =
                code.substr(valueStart, valueEnd == std::string::npos ? std::string::npos : valueEnd - valueStart);
            if (ppd_option_t* o = ppdFindOption(ppd, option.c_str()); o && ppdFindChoice(o, choice.c_str()))
                finishing.choices.emplace_back(option, choice);
            at = valueStart;
        }
        if (finishing.value > 3 && !finishing.choices.empty())
            model.finishings.push_back(std::move(finishing));
    }
}

std::string Utf8(ppd_file_t* ppd, const char* text)
{
    return ppd::PPDTextToUTF8(ppd, text ? text : "").value_or(text ? text : "");
}

// Options that have an IPP attribute of their own, or that describe the
// printer rather than a job, are not vendor attributes.
bool IsVendorOption(const ppd_group_t& group, const ppd_option_t& option)
{
    static constexpr std::string_view kStandard[] = {"PageSize", "PageRegion", "InputSlot",
                                                     "Duplex",   "MediaType",  "ZLKColorMode",
                                                     "Collate",  "OutputBin",  "Resolution"};
    if (std::string_view(group.name) == "InstallableOptions")
        return false;
    return std::ranges::find(kStandard, std::string_view(option.keyword)) == std::end(kStandard);
}

// "ZLKSigDrawOutline" -> "zlk-sig-draw-outline"; a PPD's common option
// keeps its own name under "ppd-" ("Jog" -> "ppd-jog"), as a model may have
// both Jog and ZLKJog.
std::string VendorAttributeName(std::string_view keyword)
{
    if (keyword.starts_with("ZLK"))
        return "zlk-" + KeywordFromChoice(std::string(keyword.substr(3)));
    return "ppd-" + KeywordFromChoice(std::string(keyword));
}

void ReadVendorOptions(ppd_file_t* ppd, Model& model)
{
    for (int g = 0; g < ppd->num_groups; ++g) {
        const ppd_group_t& group = ppd->groups[g];
        for (int o = 0; o < group.num_options; ++o) {
            const ppd_option_t& option = group.options[o];
            if (!IsVendorOption(group, option))
                continue;
            if (model.vendor.size() >= PAPPL_MAX_VENDOR) {
                model.vendorLeftOut.push_back(std::string(option.keyword) + ": PAPPL takes at most " +
                                              std::to_string(PAPPL_MAX_VENDOR) + " vendor attributes");
                continue;
            }
            VendorOption vendor;
            vendor.attribute = VendorAttributeName(option.keyword);
            if (std::ranges::any_of(model.vendor,
                                    [&](const VendorOption& v) { return v.attribute == vendor.attribute; })) {
                model.vendorLeftOut.push_back(std::string(option.keyword) + ": its IPP name " + vendor.attribute +
                                              " is taken by another option");
                continue;
            }
            vendor.ppdOption = option.keyword;
            vendor.title = Utf8(ppd, option.text[0] ? option.text : option.keyword);
            vendor.boolean = option.ui == PPD_UI_BOOLEAN;
            for (int c = 0; c < option.num_choices; ++c) {
                const ppd_choice_t& choice = option.choices[c];
                std::string keyword = vendor.boolean ? (std::string_view(choice.choice) == "True" ? "true" : "false")
                                                     : KeywordFromChoice(choice.choice);
                if (keyword.empty() || vendor.choiceOf.contains(keyword))
                    continue;
                vendor.keywords.push_back(keyword);
                vendor.choiceOf[keyword] = choice.choice;
                vendor.titleOf[keyword] = Utf8(ppd, choice.text[0] ? choice.text : choice.choice);
                if (std::strcmp(choice.choice, option.defchoice) == 0)
                    vendor.defaultKeyword = keyword;
            }
            if (vendor.keywords.empty())
                continue;
            if (vendor.defaultKeyword.empty())
                vendor.defaultKeyword = vendor.keywords.front();
            model.vendor.push_back(std::move(vendor));
        }
    }
}

}  // namespace

std::string KeywordFromChoice(const std::string& choice)
{
    std::string keyword;
    for (std::size_t i = 0; i < choice.size(); ++i) {
        const auto c = static_cast<unsigned char>(choice[i]);
        if (std::isupper(c) && i > 0 && std::islower(static_cast<unsigned char>(choice[i - 1])))
            keyword += '-';
        if (std::isalnum(c))
            keyword += static_cast<char>(std::tolower(c));
        else if (!keyword.empty() && keyword.back() != '-')
            keyword += '-';
    }
    return keyword;
}

bool ReadModel(const std::string& ppdPath, Model& model, std::string& why)
{
    const common::PPDHandle ppd = common::OpenPPD(ppdPath.c_str());
    if (!ppd) {
        why = ppdPath + ": not a PPD libcups can read";
        return false;
    }
    model = Model{};
    model.ppdPath = ppdPath;
    model.makeAndModel = ppd->modelname ? ppd->modelname : "";
    model.description = ppd->nickname ? ppd->nickname : model.makeAndModel;
    model.driverName = DriverNameFrom(model.makeAndModel);
    if (model.driverName.empty()) {
        why = ppdPath + ": no *ModelName";
        return false;
    }
    model.pagesPerMinute = std::max(1, std::atoi(AttrValue(ppd.get(), "Throughput").c_str()));

    ReadMedia(ppd.get(), model);
    if (model.media.empty()) {
        why = ppdPath + ": no page size PAPPL knows";
        return false;
    }
    ReadKeywords(ppd.get(), "InputSlot", PAPPL_MAX_SOURCE, SourceKeyword, model.sources, model.inputSlotOf,
                 model.defaultSource);
    if (model.sources.empty())
        model.sources.push_back("auto");
    ReadKeywords(ppd.get(), "OutputBin", PAPPL_MAX_BIN, KeywordFromChoice, model.bins, model.outputBinOf,
                 model.defaultBin);

    if (ppd_option_t* duplex = ppdFindOption(ppd.get(), "Duplex"))
        model.duplex = ppdFindChoice(duplex, "DuplexNoTumble") && ppdFindChoice(duplex, "DuplexTumble");
    ReadColor(ppd.get(), model);

    model.defaultResolution = Dpi(AttrValue(ppd.get(), "DefaultResolution").c_str());
    if (const ppd_option_t* resolution = ppdFindOption(ppd.get(), "Resolution")) {
        for (int i = 0; i < resolution->num_choices && model.resolutions.size() < PAPPL_MAX_RESOLUTION; ++i)
            if (const int dpi = Dpi(resolution->choices[i].choice))
                model.resolutions.push_back(dpi);
        model.defaultResolution = Dpi(resolution->defchoice);
    }
    if (model.defaultResolution == 0)
        model.defaultResolution = 600;
    if (model.resolutions.empty())
        model.resolutions.push_back(model.defaultResolution);

    ReadKeywords(ppd.get(), "MediaType", PAPPL_MAX_TYPE, MediaTypeKeyword, model.mediaTypes, model.mediaTypeOf,
                 model.defaultMediaType);
    ReadFinishings(ppd.get(), model);
    model.collate = ppdFindOption(ppd.get(), "Collate") != nullptr;
    // The longest passcode the model takes is as many digits as the example
    // *cupsJobPassword gives.
    model.passcodeDigits = static_cast<int>(AttrValue(ppd.get(), "cupsJobPassword").size());
    model.accountId = strcasecmp(AttrValue(ppd.get(), "cupsJobAccountId").c_str(), "true") == 0;
    model.accountingUserId = strcasecmp(AttrValue(ppd.get(), "cupsJobAccountingUserId").c_str(), "true") == 0;
    model.language = ppd->lang_version && std::string_view(ppd->lang_version) == "Japanese" ? "ja" : "en";
    ReadVendorOptions(ppd.get(), model);
    return true;
}

std::vector<Model> ReadModels(const std::string& folder, std::vector<std::string>& problems)
{
    std::vector<Model> models;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".ppd")
            continue;
        Model model;
        std::string why;
        if (!ReadModel(entry.path().string(), model, why)) {
            problems.push_back(why);
            continue;
        }
        const bool taken =
            std::ranges::any_of(models, [&](const Model& m) { return m.driverName == model.driverName; });
        if (taken) {
            problems.push_back(model.ppdPath + ": another PPD already names the model " + model.makeAndModel);
            continue;
        }
        models.push_back(std::move(model));
    }
    if (error)
        problems.push_back(folder + ": " + error.message());
    std::ranges::sort(models, {}, &Model::driverName);
    return models;
}

}  // namespace zlk::printerapp
