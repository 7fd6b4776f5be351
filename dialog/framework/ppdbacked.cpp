#include "dialog/framework/ppdbacked.h"

#include "platform/printing/pde.h"
#include "ppd/ppdquery.h"

namespace zlk::framework {

std::vector<ppd::UIListEntry> PPDChoiceList(const BasePrintPanel* panel, ppd_file_t* ppd, const std::string& key)
{
    std::vector<ppd::UIListEntry> list;
    int count = 0;
    ppd::GetUIListFromPPD(ppd, panel ? panel->Getxppd() : nullptr, key.c_str(), &list, count);
    return list;
}

bool AskHostToMark(const BasePrintPanel* panel, const std::string& option, const std::string& choice)
{
    platform::PDEPlugInCallback* callback = panel ? panel->GetCurrentPDECallbackObj() : nullptr;
    return callback && callback->willChangePPDOptionKeyValue(option.c_str(), choice.c_str());
}

PPDOptionRead ReadPPDOption(const BasePrintPanel* panel, ppd_file_t* ppd, const std::string& key)
{
    PPDOptionRead read;
    read.choiceList = PPDChoiceList(panel, ppd, key);
    read.option = ppdFindOption(ppd, key.c_str());
    read.choices = ppd::ArrayFromPPDOption(read.option).value_or(std::vector<PDEChoice>{});
    std::optional<std::string> title;
    ppd::GetUITitleFromPPD(ppd, key.c_str(), title);
    read.title = title.value_or(std::string());
    ppd::GetUIDefaultFromPPD(ppd, key.c_str(), read.defaultChoice);
    return read;
}

}  // namespace zlk::framework
