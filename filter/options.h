// The filter's option record: every job option and PPD fact that the job
// stream is composed from, read once per job through reader tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "filter/encoding.h"

namespace zlk::filter {

// Prefix of the print settings ticket keys that the dialogs write.
inline constexpr char kTicketKeyPrefix[] = "com.zelko.jt.printsettings.pdf.ww.";

struct stPrintTypeOption {
    int32_t printType;
    char userName[73];
    char password[2048];
    int32_t documentNameType;
    char documentName[193];
    char delayPrintTime[20];
};

struct stJBAOption {
    char hostName[33];
    int32_t manageType;
    int32_t userIdSource;
    char userId[97];
    char domainName[65];
    char password[2048];
    char accountId[33];
    char storageId[73];
    char storagePassword[2048];
    int32_t userInput;
    char adminDomainName[65];
    char adminPassword[2048];
    char adminAccountId[33];
    char adminStorageId[73];
    char adminStoragePassword[2048];
    int32_t inputStorage;
    char inputStorageId[73];
    char inputStoragePassword[2048];
    char inputUserId[97];
    char inputDomainName[65];
    char inputPassword[2048];
    char inputAccountId[33];
    char loginName[64];
};

struct stFeaturesOption {
    char numberUp[64];
    char collate[64];
    char media[64];
    char inputSlot[64];
    char mediaType[64];
    char colorMode[64];
    char outputMode[64];
    char staple[64];
    char punch[64];
    char numPunchHoles[64];
    char jog[64];
    char intCoverSheet[64];
    char intBackCoverSheet[64];
    char signature[64];
    char sigVol[64];
    int32_t duplexing;
    char bookletMarginSwitch[64];
    char bookletMarginShift[64];
};

struct stPPDOption {
    char printerLanguageEncoding[64];
    char emitPageSizeCommandDefault[64];
};

struct printoptions {
    stPrintTypeOption printType;
    stJBAOption jba;
    stFeaturesOption features;
    stPPDOption ppd;
};

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

// A reader converts one option value into its field. A missing key leaves
// the reader's default (-1 for integers, empty text otherwise).
using TicketReader = int (*)(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t width);

struct TicketData {
    const char* key;  // whole key: the ticket prefix is already applied
    std::size_t offset;  // of the field within printoptions
    std::size_t width;  // bytes, 4 for integers
    TicketReader reader;
};

struct TicketTable {
    const TicketData* rows;
    std::size_t count;
};

extern const TicketTable PrintTypeticketData;
extern const TicketTable PrintTypeticketDataForUTF8;
extern const TicketTable JBAticketDataCommon;
extern const TicketTable JBAticketDataCommonForUTF8;
extern const TicketTable JBAticketDataAdmin;
extern const TicketTable JBAticketDataAdminForUTF8;
extern const TicketTable FeaturesticketData;

int GetTicketInteger(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t width);
int GetTicketStringConvertedToPrtLang(const char* key, int numOptions, cups_option_t* options, void* dest,
                                      std::size_t width);
int GetTicketStringConvertedToPrtLangForUTF8(const char* key, int numOptions, cups_option_t* options, void* dest,
                                             std::size_t width);
int GetTicketPasswordStringConvertedToEncryption(const char* key, int numOptions, cups_option_t* options, void* dest,
                                                 std::size_t width);
int GetNumberUpTicketString(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t width);

// Decodes the slash-decimal form ("/65/66/67" is "ABC") in place; other
// texts are left as they are.
void numstrtochar(char* text, std::size_t size);

// The first attribute, in file order, whose name begins with keyword.
ppd_attr_t* ppdFindAttr_ALT(ppd_file_t* ppd, const char* keyword, const char* spec);

// Runs every reader of table over the job options (argument 5) into record.
void GetTicketFromArray(const char* jobOptions, const TicketTable& table, printoptions& record);

// Reads the PPD group from the PPD at ppdPath (may be null).
void GetPPDOptions(const char* ppdPath, stPPDOption& ppd);

// Fills record and names from the command line (argv[3] title, argv[5]
// options) and the PPD at ppdPath. Always answers 1.
int GetPrintOptions(const char* const* argv, const char* ppdPath, printoptions& record, DocumentNames& names);

}  // namespace zlk::filter
