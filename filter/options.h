// Reading the job options (argument 5) and the PPD facts into the filter's
// option record. The reader tables themselves are private to options.cpp.
#pragma once

#include <cstddef>
#include <string>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "common/ppdfile.h"
#include "filter/encoding.h"
#include "filter/printoptions.h"

namespace zlk::filter {

// Prefix of the print settings ticket keys that the dialogs write; every
// ticket key the filter reads is this prefix followed by a name.
inline constexpr char kTicketKeyPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";

// Job options parsed with cupsParseOptions, freed on destruction.
class JobOptions {
public:
    explicit JobOptions(const char* text);
    ~JobOptions();
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;
    int count() const { return count_; }
    cups_option_t* options() const { return options_; }
    const char* Get(const char* name) const;

private:
    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

// Whether a Collate value asks for collation: the dialogs write "true",
// the PPD's own choice is "True".
bool IsCollateOn(const char* value);

// A printer takes UTF-8 job attributes only when its PPD says exactly "UTF-8".
bool IsUTF8Printer(const printoptions& options);

// The password reader of the option tables: opens the storage
// blob stored under key and writes a printer-bound blob, Base64, into dest
// (width bytes, cleared first). True when the field was filled. A key that
// is missing or empty leaves the field empty; a value that cannot be opened
// does too, with a warning naming the key.
bool GetTicketPasswordStringConvertedToEncryption(const char* key, int numOptions, cups_option_t* options, void* dest,
                                                  std::size_t width);

// Decodes the slash-decimal form ("/65/66/67" is "ABC") in place; other
// texts are left as they are.
void numstrtochar(char* text, std::size_t size);

// The first attribute, in file order, whose name begins with keyword.
ppd_attr_t* ppdFindAttr_ALT(ppd_file_t* ppd, const char* keyword, const char* spec);

// Reads the PPD group from the PPD at ppdPath (may be null), or from ppd
// as the caller parsed it (empty: it did not parse).
void GetPPDOptions(const char* ppdPath, stPPDOption& group);
void GetPPDOptions(const common::PPDHandle& ppd, stPPDOption& group);

// The copy count of argument 4 as a whole number from 1 up, in decimal.
// Anything else (empty, signed, fractional, out of range, not a number)
// reads as 1, with a warning naming what was given.
std::string ReadCopies(const char* text);

// Fills record and names from the command line (argv[3] title, argv[5]
// options) and the PPD at ppdPath. Reading never fails; it still answers 1,
// the answer its callers have always been given.
int GetPrintOptions(const char* const* argv, const char* ppdPath, printoptions& record, DocumentNames& names);
// The same with the PPD parsed once by the caller, for the steps to share.
int GetPrintOptions(const char* const* argv, const common::PPDHandle& ppd, printoptions& record, DocumentNames& names);

}  // namespace zlk::filter
