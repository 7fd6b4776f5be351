// The extended constraint table: which PPD choices make a choice of a
// vendor option conflict. Built from the PPD's UIConstraints, or read from
// a constraint definition file that the PPD names, so the analysis need not
// be repeated for every dialog.
//
// Definition file: per section a line with its name, then one line of
// entries "key@group@option@choice@" (no separators between entries); last,
// the PPD's "*% Last Edit Date:" line, which ties the file to its PPD.
#pragma once

#include <cups/ppd.h>

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zlk::ppd {

// A PPD choice by position: group, option within the group, choice within
// the option. Only options directly in a group are referenced.
struct x_constraints {
    std::uint16_t group = 0;
    std::uint16_t option = 0;
    std::uint16_t choice = 0;

    bool operator==(const x_constraints&) const = default;
};

// Key "option:choice" as spelled in the PPD; an entry (K, R) means the
// choice K conflicts while the choice R is marked.
using XConstraintTable = std::unordered_multimap<std::string, x_constraints>;
inline constexpr std::size_t kXConstraintBucketHint = 100;
XConstraintTable MakeXConstraintTable();
// The key of a choice: option keyword ":" choice keyword.
std::string XConstraintKey(std::string_view option, std::string_view choice);

// Section names of definition files. The features panel reads
// "PrintFeaturePDE" + XPPDSectionSuffix.
inline constexpr char kSectionPrintFeatureTiger[] = "PrintFeaturePDETiger";
inline constexpr char kSectionPrintFeaturePanther[] = "PrintFeaturePDEPanther";
inline constexpr char kSectionImageOptionTiger[] = "ImageOptionPDETiger";
inline constexpr char kSectionImageOptionPanther[] = "ImageOptionPDEPanther";
// "Panther" for the version word 0x103x, "Tiger" for every other.
const char* XPPDSectionSuffix(std::uint32_t versionWord);

// One section of a definition file and the options whose constraints it
// takes.
struct XPPDSection {
    std::string name;
    std::vector<std::string> keywords;
};
inline constexpr std::size_t kMaxXPPDSections = 10;

// One entry of a control's choice list: option keyword, choice keyword,
// choice text, kConflictTrue or kConflictFalse.
using UIListEntry = std::array<std::string, 4>;
inline constexpr char kConflictTrue[] = "ConflictTrue";
inline constexpr char kConflictFalse[] = "ConflictFalse";

// The entries of constraint number `constraint` of the PPD, by which of its
// choices the form takes as given: neither, the second, the first, both. All
// four are one routine; SetXppd picks the form from the constraint itself.
void xConst2Hash_O1O2(ppd_file_t* ppd, XConstraintTable* table, int constraint);
void xConst2Hash_O1O2C2(ppd_file_t* ppd, XConstraintTable* table, int constraint);
void xConst2Hash_O1C1O2(ppd_file_t* ppd, XConstraintTable* table, int constraint);
void xConst2Hash_O1C1O2C2(ppd_file_t* ppd, XConstraintTable* table, int constraint);

// Builds, writes and reads an extended constraint table. It never owns the
// table or the PPD: the features panel owns the table and the host lends the
// PPD. The stream operators are the file format; the member xConst2Hash
// forms are the free ones above, kept for callers that hold a CQuickXPPD.
class CQuickXPPD {
public:
    CQuickXPPD() = default;
    // For reading one section into table.
    CQuickXPPD(XConstraintTable* table, std::string sectionName);
    // For writing a definition file: the sections in order (at most ten;
    // an empty name ends the list) and the PPD's path for the stamp line.
    CQuickXPPD(ppd_file_t* ppd, XConstraintTable* table, std::vector<XPPDSection> sections, std::string ppdPath);

    // Builds table from the PPD's constraints for the current keyword list.
    void SetXppd(ppd_file_t* ppd, XConstraintTable* table);
    // The PPD's first "*% Last Edit Date:" line, without a line break.
    void SetFileStamp(std::ostream& out);
    // Definition files have no head; kept so a format with one has a place.
    void SetFileHead(std::ostream& out, ppd_file_t* ppd);

    void xConst2Hash_O1O2(ppd_file_t* p, XConstraintTable* t, int c) { zlk::ppd::xConst2Hash_O1O2(p, t, c); }
    void xConst2Hash_O1O2C2(ppd_file_t* p, XConstraintTable* t, int c) { zlk::ppd::xConst2Hash_O1O2C2(p, t, c); }
    void xConst2Hash_O1C1O2(ppd_file_t* p, XConstraintTable* t, int c) { zlk::ppd::xConst2Hash_O1C1O2(p, t, c); }
    void xConst2Hash_O1C1O2C2(ppd_file_t* p, XConstraintTable* t, int c) { zlk::ppd::xConst2Hash_O1C1O2C2(p, t, c); }

    void SetKeywords(std::vector<std::string> keywords) { m_keywords = std::move(keywords); }
    const std::vector<std::string>& keywords() const { return m_keywords; }

    friend std::istream& operator>>(std::istream& in, CQuickXPPD& xppd);
    friend std::ostream& operator<<(std::ostream& out, CQuickXPPD& xppd);

private:
    XConstraintTable* m_table = nullptr;  // not owned
    ppd_file_t* m_ppd = nullptr;  // the host's
    std::string m_sectionName;
    std::string m_ppdPath;
    std::vector<std::string> m_keywords;
    std::vector<XPPDSection> m_sections;
};

// Fills the table from one section of a definition file; a missing section
// adds nothing.
std::istream& operator>>(std::istream& in, CQuickXPPD& xppd);
// Writes every section, emptying the keyword list and the table after
// each, then the stamp line.
std::ostream& operator<<(std::ostream& out, CQuickXPPD& xppd);

// Adds the entries of every constraint that names one of the keywords.
void SetXppd(ppd_file_t* ppd, XConstraintTable* table, const std::vector<std::string>& keywords);

// Reads the section prefix + suffix of the definition file named by the
// value of the attribute attrName (both names cut to 19 bytes). 0 when a
// file was read, 1 otherwise (the table is then left as it was).
int GetXPPD(ppd_file_t* ppd, XConstraintTable* table, std::string_view sectionPrefix, std::string_view attrName);

// The table's one walk: the PPD choices that the entries under key
// reference, in table order, references past the PPD's groups, options or
// choices skipped. True at the first choice that passes the test; false
// when none does, or without a PPD or table. Every query of the table
// (IsPPDChoiceConflicted, the list control's isChoiceConflicted) is this
// walk with its own test, so they agree on what an entry references.
using ReferencedChoiceTest = std::function<bool(const ppd_option_t& option, const ppd_choice_t& choice)>;
bool AnyReferencedChoice(ppd_file_t* ppd, const XConstraintTable* table, const std::string& key,
                         const ReferencedChoiceTest& test);

// The choice is in conflict: one of the choices its table entries name is
// marked in the PPD now.
bool IsPPDChoiceConflicted(ppd_file_t* ppd, const XConstraintTable* table, std::string_view option,
                           std::string_view choice);

// Appends one entry per choice of the option, in PPD order, adding 1 to
// count for each. Nothing for a missing option or a null list.
void GetUIListFromPPD(ppd_file_t* ppd, const XConstraintTable* table, const char* option,
                      std::vector<UIListEntry>* list, int& count);
// The same without a count; nothing when the option is absent.
void InitializeValueFromPPD(ppd_file_t* ppd, const XConstraintTable* table, std::vector<UIListEntry>* list,
                            const char* option);

}  // namespace zlk::ppd
