// The filter's option record: every job option and PPD fact that the job
// stream is composed from, and the named values of its integer fields.
#pragma once

#include <cstdint>

namespace zlk::filter {

// The integer fields hold whatever decimal number the ticket carried (-1
// when the key is missing), so each enumeration has a fixed underlying type:
// it then holds any int32_t, and a value outside the names below compares
// unequal to every name, exactly as the bare number did.

// How the printer holds the job: the print type panel's list
// (PrintTypeTicketKey).
enum class PrintType : int32_t {
    Normal = 1,  // printed at once
    Secure = 2,  // held until a passcode is entered at the printer
    Sample = 3,  // one proof copy first
    Delayed = 4,  // held until a start time
    Mailbox = 5,  // stored in a numbered mailbox
};

// Where the job name comes from: the print type windows' document-name
// type list (DocumentNameTypeTicketKey).
enum class DocumentNameType : int32_t {
    Automatic = 1,  // the job title, prepared as the document name
    Entered = 2,  // the document name the user typed
};

// Which settings window accounts the job: the accounting panel's
// management-type list (JBAManageTypeListTicketKey). The list's item keys
// read the other way round ("User Mode" opens the administrator window).
enum class ManageType : int32_t {
    AdminSettings = 1,  // "Job Authentication Type User Mode": the JBAAdmin keys
    UserSettings = 2,  // "Job Authentication Type Administration Mode": the JBA keys
};

// Which field names the user: the user window's user ID source list
// (JBAUserIDListCtrlTicket).
enum class UserIdSource : int32_t {
    LoginName = 1,  // "JBA Login Name": `loginName`
    EnteredId = 2,  // "JBA Input Name": `userId`
};

// A radio button of the accounting windows: the enter-details radio
// (JBAUserInputRadioBtnTicket) and the input window's storage radio
// (JBAInputStrgRadioBtnTicketKey).
enum class RadioButton : int32_t {
    Off = 0,
    On = 1,
};

// Values of duplexing: the PMDuplexing numbers, or the standard CUPS options
// standing in for them. Unscoped, and the field stays a plain int32_t: the
// sample PPD tests (tests/data) read it as a number.
enum Duplexing : int32_t {
    kOneSided = 1,
    kTwoSidedLongEdge = 2,
    kTwoSidedShortEdge = 3,
};

struct stPrintTypeOption {
    PrintType printType;
    char userName[73];
    char password[2048];
    DocumentNameType documentNameType;
    char documentName[193];
    char delayPrintTime[20];
};

struct stJBAOption {
    char hostName[33];
    ManageType manageType;
    UserIdSource userIdSource;
    char userId[97];
    char domainName[65];
    char password[2048];
    char accountId[33];
    char storageId[73];
    char storagePassword[2048];
    RadioButton userInput;
    char adminDomainName[65];
    char adminPassword[2048];
    char adminAccountId[33];
    char adminStorageId[73];
    char adminStoragePassword[2048];
    RadioButton inputStorage;
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
    int32_t duplexing;  // a Duplexing value, or what the ticket held
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

}  // namespace zlk::filter
