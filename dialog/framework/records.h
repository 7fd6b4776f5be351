// The static description records that panels declare for their controls,
// and the constants the controls share.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "ppd/inputfilter.h"
#include "ppd/sysutil.h"

namespace zlk::framework {

// A control's identifier: the tag of its widget.
using ControlID = std::int32_t;

// A null-terminated list of references to control identifiers.
using IdentifierList = const ControlID* const*;
// Lists indexed by a control's choice number; an element may be null, and an
// index past the end reads as null.
using ChoiceLists = std::span<const IdentifierList>;

// What a control does to others, per choice: disable, hide, update. An empty
// span stands for an absent entry.
struct ConstraintInfo {
    ChoiceLists disableLists;
    ChoiceLists hideLists;
    ChoiceLists updateLists;
    const void* reserved = nullptr;
};

inline constexpr std::uint32_t kDataTypeText = ppd::FourCharCode("cfst");

// Where a control's value is saved.
struct AccessInfo {
    std::uint32_t dataType = 0;  // kDataTypeText: the summary shows the text
    std::uint32_t dataType2 = 0;
    const char* ticketKey = nullptr;  // null: not written to the ticket
    const char* preferenceKey = nullptr;  // null: not remembered
};

// Lists: item title keys (null-terminated). Default and initial values are
// 1-based item numbers; -1 as initial value means "no previous choice".
struct PopupIniData {
    std::int32_t reserved = 0;
    std::int32_t defaultValue = 0;
    std::int32_t initialValue = -1;
    std::int32_t reserved2 = 0;
    const char* const* itemKeys = nullptr;
};

// A kind keeps its own copy of its initial-data record (nothing without
// one): the PPD-bound kinds overwrite the default slot at run time, and the
// panels' static tables must stay as declared.
template <class Record>
std::optional<Record> CopyOfRecord(const Record* record)
{
    return record ? std::optional<Record>(*record) : std::nullopt;
}

// Check boxes and radio buttons: values are the widget state (0 or 1).
struct CheckBoxIniData {
    std::int32_t reserved = 0;
    std::int32_t defaultValue = 0;
    std::int32_t initialValue = -1;
    std::int32_t reserved2 = 0;
    const char* titleKey = nullptr;
    const char* summaryTitleKey = nullptr;  // radio buttons only
};
using RadioButtonIniData = CheckBoxIniData;

struct StepperIniData {
    std::int32_t reserved = 0;
    std::int32_t defaultValue = 0;
    std::int32_t initialValue = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
};

inline constexpr std::size_t kTextBlockSize = 256;

// Text fields: widths are display widths (1 below U+0080, else 2).
struct TextIniData {
    char initialText[kTextBlockSize] = {};
    char defaultText[kTextBlockSize] = {};
    std::int32_t minWidth = 0;
    std::int32_t maxWidth = 0;
};

// Where a run-time laid-out PPD control goes within its group box.
struct PPDCtrlPositionData {
    double x = 0;
    double top = 0;
    double spacing = 0;
    int count = 0;
};

// Installable-option constraint record: null-terminated (choice == null)
// array of pairs.
struct InstallableConstraintPair {
    const char* choicePrefix = nullptr;
    IdentifierList identifiers = nullptr;
};

// The preference users.
inline constexpr char kPreferencesCurrentUser[] = "kCFPreferencesCurrentUser";
inline constexpr char kPreferencesAnyUser[] = "kCFPreferencesAnyUser";

// Value type codes of setExternalValueToData.
inline constexpr int kValueTypeText = 0;
inline constexpr int kValueTypeInteger = 2;

inline constexpr char kAlertOKButtonKey[] = "Alert OK Btn";
inline constexpr char kLocalizableIndexAttr[] = "ZLKLocalizableFileIndex";

}  // namespace zlk::framework
