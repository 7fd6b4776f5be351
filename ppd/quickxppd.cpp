#include "ppd/quickxppd.h"

#include <strings.h>

#include <cstdlib>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <utility>

#include "common/regularfile.h"
#include "ppd/ppdquery.h"
#include "ppd/textcodec.h"

namespace zlk::ppd {

namespace {

// Definition files are a few hundred kilobytes; anything far bigger is not one.
constexpr std::size_t kMaxDefinitionFileBytes = 16u << 20;

// An option of a group (not of a subgroup), by position.
struct OptionAt {
    int group;
    int option;
    ppd_option_t* ptr;
};

bool SameKeyword(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

// Every option directly in a group whose keyword matches, in PPD order.
std::vector<OptionAt> FindOptions(ppd_file_t* ppd, const char* keyword)
{
    std::vector<OptionAt> found;
    for (int g = 0; g < ppd->num_groups; ++g) {
        ppd_group_t& group = ppd->groups[g];
        for (int o = 0; o < group.num_options; ++o) {
            if (SameKeyword(group.options[o].keyword, keyword)) {
                found.push_back({g, o, &group.options[o]});
            }
        }
    }
    return found;
}

int FindChoice(const ppd_option_t* option, const char* keyword)
{
    for (int c = 0; c < option->num_choices; ++c) {
        if (SameKeyword(option->choices[c].choice, keyword)) {
            return c;
        }
    }
    return -1;
}

// Choices that switch a feature off never conflict with anything, and the
// first choice is the option's neutral state.
bool IsEligible(const ppd_option_t* option, int c)
{
    const char* keyword = option->choices[c].choice;
    return c >= 1 && !SameKeyword(keyword, "None") && !SameKeyword(keyword, "Off") && !SameKeyword(keyword, "False");
}

void Add(XConstraintTable* table, const OptionAt& keyOption, int keyChoice, const OptionAt& ref, int refChoice)
{
    table->emplace(XConstraintKey(keyOption.ptr->keyword, keyOption.ptr->choices[keyChoice].choice),
                   x_constraints{static_cast<std::uint16_t>(ref.group), static_cast<std::uint16_t>(ref.option),
                                 static_cast<std::uint16_t>(refChoice)});
}

const ppd_const_t* Constraint(ppd_file_t* ppd, XConstraintTable* table, int index)
{
    if (ppd == nullptr || table == nullptr || index < 0 || index >= ppd->num_consts) {
        return nullptr;
    }
    return &ppd->consts[index];
}

// The choices one side of a rule contributes: the one it names, found at any
// position (none when the option lacks it), or, when it names none, every
// eligible choice.
std::vector<int> SideChoices(const ppd_option_t* option, bool named, const char* keyword)
{
    std::vector<int> choices;
    if (named) {
        if (const int c = FindChoice(option, keyword); c >= 0) {
            choices.push_back(c);
        }
        return choices;
    }
    for (int c = 0; c < option->num_choices; ++c) {
        if (IsEligible(option, c)) {
            choices.push_back(c);
        }
    }
    return choices;
}

// The one body of the four xConst2Hash forms; named1 and named2 say which
// choices of the rule the form takes as given. Entries go in the order
// option1, option2, choice1, choice2, so that a table written to a
// definition file lists them the same way every time. With both choices
// named, the first option1 that has its choice decides alone and gives at
// most one entry.
void AddConstraintEntries(ppd_file_t* ppd, XConstraintTable* table, int constraint, bool named1, bool named2)
{
    const ppd_const_t* rule = Constraint(ppd, table, constraint);
    if (rule == nullptr) {
        return;
    }
    const bool single = named1 && named2;
    const std::vector<OptionAt> options2 = FindOptions(ppd, rule->option2);
    for (const OptionAt& o1 : FindOptions(ppd, rule->option1)) {
        const std::vector<int> choices1 = SideChoices(o1.ptr, named1, rule->choice1);
        if (choices1.empty()) {
            continue;
        }
        for (const OptionAt& o2 : options2) {
            const std::vector<int> choices2 = SideChoices(o2.ptr, named2, rule->choice2);
            for (const int c1 : choices1) {
                for (const int c2 : choices2) {
                    Add(table, o2, c2, o1, c1);
                    if (single) {
                        return;
                    }
                }
            }
        }
        if (single) {
            return;
        }
    }
}

bool InKeywordList(const std::vector<std::string>& keywords, const char* option)
{
    for (const std::string& keyword : keywords) {
        if (SameKeyword(keyword.c_str(), option)) {
            return true;
        }
    }
    return false;
}

// Decimal prefix of a field; anything else reads 0.
std::uint16_t FieldNumber(std::string_view field)
{
    const std::string text(field);
    return static_cast<std::uint16_t>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

XConstraintTable MakeXConstraintTable()
{
    XConstraintTable table;
    table.reserve(kXConstraintBucketHint);
    return table;
}

const char* XPPDSectionSuffix(std::uint32_t versionWord)
{
    return (versionWord & ~0xFu) == 0x1030 ? "Panther" : "Tiger";
}

void xConst2Hash_O1O2(ppd_file_t* ppd, XConstraintTable* table, int constraint)
{
    AddConstraintEntries(ppd, table, constraint, false, false);
}

void xConst2Hash_O1O2C2(ppd_file_t* ppd, XConstraintTable* table, int constraint)
{
    AddConstraintEntries(ppd, table, constraint, false, true);
}

void xConst2Hash_O1C1O2(ppd_file_t* ppd, XConstraintTable* table, int constraint)
{
    AddConstraintEntries(ppd, table, constraint, true, false);
}

void xConst2Hash_O1C1O2C2(ppd_file_t* ppd, XConstraintTable* table, int constraint)
{
    AddConstraintEntries(ppd, table, constraint, true, true);
}

void SetXppd(ppd_file_t* ppd, XConstraintTable* table, const std::vector<std::string>& keywords)
{
    if (ppd == nullptr || table == nullptr) {
        return;
    }
    for (int i = 0; i < ppd->num_consts; ++i) {
        const ppd_const_t& rule = ppd->consts[i];
        if (!InKeywordList(keywords, rule.option1) && !InKeywordList(keywords, rule.option2)) {
            continue;
        }
        // The form follows from which choices the rule gives.
        AddConstraintEntries(ppd, table, i, rule.choice1[0] != '\0', rule.choice2[0] != '\0');
    }
}

CQuickXPPD::CQuickXPPD(XConstraintTable* table, std::string sectionName)
    : m_table(table),
      m_sectionName(std::move(sectionName))
{}

CQuickXPPD::CQuickXPPD(ppd_file_t* ppd, XConstraintTable* table, std::vector<XPPDSection> sections, std::string ppdPath)
    : m_table(table),
      m_ppd(ppd),
      m_ppdPath(std::move(ppdPath))
{
    for (XPPDSection& section : sections) {
        if (section.name.empty() || m_sections.size() == kMaxXPPDSections) {
            break;
        }
        m_sections.push_back(std::move(section));
    }
}

void CQuickXPPD::SetXppd(ppd_file_t* ppd, XConstraintTable* table) { zlk::ppd::SetXppd(ppd, table, m_keywords); }

void CQuickXPPD::SetFileStamp(std::ostream& out)
{
    std::ifstream in(m_ppdPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("*% Last Edit Date:") != std::string::npos) {
            out << line;
            return;
        }
    }
}

void CQuickXPPD::SetFileHead(std::ostream& /*out*/, ppd_file_t* /*ppd*/) {}

std::istream& operator>>(std::istream& in, CQuickXPPD& xppd)
{
    if (xppd.m_table == nullptr) {
        return in;
    }
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        if (line == xppd.m_sectionName) {
            found = true;
            break;
        }
    }
    if (!found || !std::getline(in, line)) {
        return in;
    }
    // Fields end with "@"; four make an entry. A last entry cut short keeps
    // 0 for its missing numbers; a fragment without "@" is not a field.
    std::array<std::string_view, 4> fields;
    std::size_t filled = 0;
    const std::string_view text(line);
    auto flush = [&] {
        if (filled > 0 && !fields[0].empty()) {
            xppd.m_table->emplace(std::string(fields[0]),
                                  x_constraints{filled > 1 ? FieldNumber(fields[1]) : std::uint16_t{0},
                                                filled > 2 ? FieldNumber(fields[2]) : std::uint16_t{0},
                                                filled > 3 ? FieldNumber(fields[3]) : std::uint16_t{0}});
        }
        filled = 0;
    };
    for (std::size_t start = 0, at; (at = text.find('@', start)) != std::string_view::npos; start = at + 1) {
        fields[filled++] = text.substr(start, at - start);
        if (filled == fields.size()) {
            flush();
        }
    }
    flush();
    return in;
}

std::ostream& operator<<(std::ostream& out, CQuickXPPD& xppd)
{
    xppd.SetFileHead(out, xppd.m_ppd);
    for (const XPPDSection& section : xppd.m_sections) {
        if (xppd.m_table == nullptr) {
            break;
        }
        xppd.m_keywords = section.keywords;
        xppd.SetXppd(xppd.m_ppd, xppd.m_table);
        out << section.name << '\n';
        for (const auto& [key, ref] : *xppd.m_table) {
            out << key << '@' << ref.group << '@' << ref.option << '@' << ref.choice << '@';
        }
        out << '\n';
        xppd.m_keywords.clear();
        xppd.m_table->clear();
    }
    xppd.SetFileStamp(out);
    return out;
}

int GetXPPD(ppd_file_t* ppd, XConstraintTable* table, std::string_view sectionPrefix, std::string_view attrName)
{
    const std::string prefix = Utf8Prefix(sectionPrefix, 19);
    const std::string name = Utf8Prefix(attrName, 19);
    const ppd_attr_t* attr = ppdFindAttr_ALT(ppd, name.c_str());
    if (table == nullptr || attr == nullptr || attr->value == nullptr) {
        return 1;
    }
    // This platform's version word is always past the one system that read
    // the older section form.
    const std::string section = prefix + XPPDSectionSuffix(0x10B0);
    // Named by the PPD: a FIFO or device there must not hang the dialog.
    std::string text;
    if (zlk::common::ReadRegularFile(attr->value, kMaxDefinitionFileBytes, text) != zlk::common::FileRead::ok) {
        return 1;
    }
    std::istringstream file(std::move(text));
    CQuickXPPD reader(table, section);
    file >> reader;
    return 0;
}

std::string XConstraintKey(std::string_view option, std::string_view choice)
{
    std::string key(option);
    key += ':';
    key += choice;
    return key;
}

bool AnyReferencedChoice(ppd_file_t* ppd, const XConstraintTable* table, const std::string& key,
                         const ReferencedChoiceTest& test)
{
    if (ppd == nullptr || table == nullptr) {
        return false;
    }
    const auto [first, last] = table->equal_range(key);
    for (auto it = first; it != last; ++it) {
        const x_constraints& ref = it->second;
        if (ref.group >= ppd->num_groups) {
            continue;
        }
        const ppd_group_t& group = ppd->groups[ref.group];
        if (ref.option >= group.num_options) {
            continue;
        }
        const ppd_option_t& referenced = group.options[ref.option];
        if (ref.choice < referenced.num_choices && test(referenced, referenced.choices[ref.choice])) {
            return true;
        }
    }
    return false;
}

bool IsPPDChoiceConflicted(ppd_file_t* ppd, const XConstraintTable* table, std::string_view option,
                           std::string_view choice)
{
    return AnyReferencedChoice(
        ppd, table, XConstraintKey(option, choice),
        [](const ppd_option_t&, const ppd_choice_t& referenced) { return referenced.marked != 0; });
}

void GetUIListFromPPD(ppd_file_t* ppd, const XConstraintTable* table, const char* option,
                      std::vector<UIListEntry>* list, int& count)
{
    if (ppd == nullptr || option == nullptr || list == nullptr) {
        return;
    }
    ppd_option_t* found = ppdFindOption(ppd, option);
    if (found == nullptr) {
        return;
    }
    for (int c = 0; c < found->num_choices; ++c) {
        const ppd_choice_t& choice = found->choices[c];
        const bool conflicted = IsPPDChoiceConflicted(ppd, table, found->keyword, choice.choice);
        list->push_back({found->keyword, choice.choice, PPDTextToUTF8(ppd, choice.text).value_or(std::string()),
                         conflicted ? kConflictTrue : kConflictFalse});
        ++count;
    }
}

void InitializeValueFromPPD(ppd_file_t* ppd, const XConstraintTable* table, std::vector<UIListEntry>* list,
                            const char* option)
{
    int count = 0;
    GetUIListFromPPD(ppd, table, option, list, count);
}

}  // namespace zlk::ppd
