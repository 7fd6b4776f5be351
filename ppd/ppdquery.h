// Lookups in the current printer's PPD. The PPD handle is the host's: it is
// lent for the call and never freed here. A missing option or attribute
// gives -1, 0, false or nothing, as each function says.
#pragma once

#include <cups/ppd.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ppd/pdechoice.h"
#include "ppd/textcodec.h"

namespace zlk::ppd {

// The first attribute, in the name order libcups sorts them in, whose name
// begins with name (so "ZLKSel" also finds "ZLKSelectID"). Vendor
// attributes carry suffixes that differ between models, hence the prefix
// match. The specifier argument is not used.
ppd_attr_t* ppdFindAttr_ALT(ppd_file_t* ppd, const char* name, const char* spec = nullptr);

// The option exists.
bool CheckPPDKeyIsExist(ppd_file_t* ppd, const char* keyword);

// An attribute whose name begins with the key's first 19 bytes exists.
bool CDFKeyExist(ppd_file_t* ppd, const char* key);

// The attribute exists, has a value and the value begins with prefix.
bool CheckIfPPDKeywordSupported(ppd_file_t* ppd, const char* attrName, const char* prefix);

// The encoding the PPD file names in its LanguageEncoding line (libcups
// itself reports every PPD as UTF-8 once read): ISOLatin1, WindowsANSI,
// JIS83-RKSJ, UTF-8 or UTF8; Mac Roman for anything else or no PPD.
void GetCFStringEncodingFromPPD(ppd_file_t* ppd, TextEncoding* encoding);

// A text of the PPD as UTF-8. libcups has already converted option and
// choice texts, so valid UTF-8 passes unchanged; anything else is decoded
// with the PPD's encoding. Nothing when that fails or text is null.
std::optional<std::string> PPDTextToUTF8(ppd_file_t* ppd, const char* text);

// 0 always; value receives the option's default choice keyword, or nothing
// when the option is missing.
int GetUIDefaultFromPPD(ppd_file_t* ppd, const char* keyword, std::optional<std::string>& value);

// 0 always; title receives the option's translated title, or nothing.
int GetUITitleFromPPD(ppd_file_t* ppd, const char* keyword, std::optional<std::string>& title);

// Index of the first entry equal (case-sensitive) to the option's default
// choice keyword; -1 when the option is missing or nothing matches.
int GetValueFromPPD(ppd_file_t* ppd, const char* keyword, std::span<const std::string_view> strings);

// Index within option's choices of the choice marked for keyword, else of
// the option's default choice; -1 when neither is found.
int GetIndexOfMarkedOptionWithKey(ppd_option_t* option, ppd_file_t* ppd, const char* keyword);

// One PDEChoice per choice of the option, in PPD order; nothing for a null
// option.
std::optional<std::vector<PDEChoice>> ArrayFromPPDOption(ppd_option_t* option);

// The keyword as the lookups use it: unchanged on this platform, kept as the
// one place where a keyword would be adjusted for a PPD's type.
void FixPPDKeywordAccordingToType(ppd_file_t* ppd, std::string_view keyword, std::string& out);

// The decimal digits of the option's default choice keyword (first 255
// bytes), concatenated: PW04 gives 4, no digits 0; -1 without the option.
int GetPWMiniIntValueFromPPD(ppd_file_t* ppd, const char* keyword);

// The first signed decimal number in the attribute's value (abc8 gives 8);
// -1 when the attribute is missing, its value is empty or holds no number.
int GetAttrPWMiniIntValueFromPPD(ppd_file_t* ppd, const char* attrName);

// The decimal digits among the first 3 bytes of the attribute's value in
// the PPD's encoding (1000 gives 100, M12 gives 12); 0 without the
// attribute.
int GetMBMaxNumberFromPPD(ppd_file_t* ppd, const char* attrName);

}  // namespace zlk::ppd
