#include "filter/ticket.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/utf8.h"
#include "filter/encoding.h"
#include "filter/output.h"

namespace zlk::filter {

namespace {

constexpr char kIndent1[] = "\t\t";
constexpr char kIndent2[] = "                ";  // sixteen blanks, not tabs
constexpr char kIndent3[] = "\t\t\t";
constexpr char kIndent4[] = "\t\t\t\t";
constexpr char kIndent5[] = "\t\t\t\t\t\t";  // six tabs: the cover's location sits that deep

constexpr const char* kEntities[] = {"&quot;", "&amp;", "&apos;", "&lt;", "&gt;"};

struct ValueMap {
    const char* from;
    const char* to;
};

template <std::size_t N>
const char* Lookup(const ValueMap (&map)[N], const char* value)
{
    for (const ValueMap& row : map)
        if (std::strcmp(row.from, value) == 0)
            return row.to;
    return nullptr;
}

bool Is(const char* value, const char* text) { return std::strcmp(value, text) == 0; }

// An option counts as chosen when it has a value other than "None".
bool IsChosen(const char* value) { return value[0] != '\0' && !Is(value, "None"); }

std::size_t EntityLength(std::string_view text)
{
    for (std::string_view entity : kEntities)
        if (text.starts_with(entity))
            return entity.size();
    return 0;
}

// Bytes of the piece of element text at text[at]: an entity, a character or
// a single byte. keep is false for a piece that XML 1.0 text cannot carry;
// line ends are left out too, since the printer reads one element a line.
std::size_t TextPiece(std::string_view text, std::size_t at, bool& keep)
{
    if (text[at] == '&') {
        std::size_t n = EntityLength(text.substr(at));
        keep = n > 0;
        return n > 0 ? n : 1;
    }
    if (text[at] == '<' || text[at] == '>') {
        keep = false;
        return 1;
    }
    char32_t cp = 0;
    std::size_t n = common::Utf8CharLength(text, at, &cp);
    if (n == 0) {
        keep = false;
        return 1;
    }
    keep = (cp >= 0x20 || cp == '\t') && cp != 0xFFFE && cp != 0xFFFF;
    return n;
}

bool WriteElement(const char* indent, const char* name, const char* value)
{
    const std::size_t indentLength = std::strlen(indent);
    const std::size_t nameLength = std::strlen(name);
    const std::size_t fixedLength = indentLength + 2 * nameLength + 6;  // <> </> LF
    if (fixedLength > kJobTicketLineMax)
        return false;

    char line[kJobTicketLineMax + 1];
    std::size_t length = 0;
    auto put = [&](const char* text, std::size_t n) {
        std::memcpy(line + length, text, n);
        length += n;
    };
    put(indent, indentLength);
    put("<", 1);
    put(name, nameLength);
    put(">", 1);
    // Shortening the value keeps the closing tag: a cut line would leave
    // the element open and the whole ticket unreadable.
    const std::size_t valueEnd = length + (kJobTicketLineMax - fixedLength);
    const std::string_view text = value ? value : "";
    for (std::size_t at = 0; at < text.size();) {
        bool keep = false;
        std::size_t n = TextPiece(text, at, keep);
        if (keep) {
            if (length + n > valueEnd)
                break;
            put(text.data() + at, n);
        }
        at += n;
    }
    put("</", 2);
    put(name, nameLength);
    put(">\n", 2);
    line[length] = '\0';
    Utlfputs(line, stdout);
    return true;
}

// Escapes text and writes it as one element with the given writer.
void WriteEscaped(bool (*writer)(const char*, const char*), const char* name, const char* text)
{
    char escaped[kJobTicketEscapeSize];
    DecodeCupsReservedChar(text, escaped, sizeof escaped);
    writer(name, escaped);
}

void Put(const char* line) { Utlfputs(line, stdout); }

// Argument i of a null-terminated argument vector, "" when it has fewer.
const char* Argument(const char* const* argv, int i)
{
    if (!argv)
        return "";
    for (int k = 0; k < i; ++k)
        if (!argv[k])
            return "";
    return argv[i] ? argv[i] : "";
}

// The leading decimal integer of text (as atoi reads it), held within int.
long LeadingInteger(const char* text)
{
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return value;
}

// Points to hundredths of a millimetre. The millimetres are held and rounded
// in single precision: that decides the last digit (595 points give 20990).
void HundredthsOfMillimetre(const char* points, char* out, std::size_t size)
{
    float millimetres = static_cast<float>(std::strtod(points, nullptr) / 72.0 * 25.4);
    float hundredths = std::roundf(millimetres * 100.0f);
    if (!std::isfinite(hundredths))
        hundredths = 0.0f;
    // Adding zero turns -0 into 0.
    std::snprintf(out, size, "%.0f", static_cast<double>(hundredths) + 0.0);
}

void WriteCover(const char* value, const char* open, const char* close)
{
    static const ValueMap kCoverTrays[] = {
        {"1stTray", "Tray1"}, {"2ndTray", "Tray2"},  {"3rdTray", "Tray3"},
        {"4thTray", "Tray4"}, {"MSI", "ManualTray"}, {"Auto", "AutoSelect"},
    };
    if (!IsChosen(value))
        return;
    Put(open);
    Put("\t\t\t<CoverCol>\n");
    MakeJobTicketCommand4("CoverType", "PrintNone");
    Put("\t\t\t\t<MediaCol>\n");
    Put("\t\t\t\t<MediaLocations>\n");
    if (const char* tray = Lookup(kCoverTrays, value))
        MakeJobTicketCommand5("MediaLocation", tray);
    Put("\t\t\t\t</MediaLocations>\n");
    Put("\t\t\t\t</MediaCol>\n");
    Put("\t\t\t</CoverCol>\n");
    Put(close);
}

}  // namespace

bool MakeJobTicketCommand(const char* name, const char* value) { return WriteElement(kIndent1, name, value); }

bool MakeJobTicketCommandForDocumentName(const char* name, const char* value)
{
    return WriteElement(kIndent1, name, value);
}

bool MakeJobTicketCommand2(const char* name, const char* value) { return WriteElement(kIndent2, name, value); }
bool MakeJobTicketCommand3(const char* name, const char* value) { return WriteElement(kIndent3, name, value); }
bool MakeJobTicketCommand4(const char* name, const char* value) { return WriteElement(kIndent4, name, value); }
bool MakeJobTicketCommand5(const char* name, const char* value) { return WriteElement(kIndent5, name, value); }

std::size_t DecodeCupsReservedChar(const char* source, char* dest, std::size_t destSize)
{
    if (destSize == 0)
        return 0;
    std::size_t length = 0;
    const std::string_view text = source ? source : "";
    // Six bytes hold the longest entity and any UTF-8 character whole.
    for (std::size_t at = 0; at < text.size() && destSize - 1 - length >= 6;) {
        const char* entity = nullptr;
        switch (text[at]) {
        case '"': entity = "&quot;"; break;
        case '&': entity = "&amp;"; break;
        case '\'': entity = "&apos;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        default: break;
        }
        std::size_t n;
        if (entity) {
            n = std::strlen(entity);
            std::memcpy(dest + length, entity, n);
            ++at;
        } else {
            n = common::Utf8CharLength(text, at);
            if (n == 0)
                n = 1;  // a stray byte is copied alone; the line writers drop it
            std::memcpy(dest + length, text.data() + at, n);
            at += n;
        }
        length += n;
    }
    dest[length] = '\0';
    return length;
}

void JTOutPutJobDescription(const printoptions& options, const char* requestingUser, const DocumentNames& names)
{
    const stPrintTypeOption& printType = options.printType;
    if (printType.printType == PrintType::Normal)
        return;
    if (printType.documentNameType == DocumentNameType::Entered)
        WriteEscaped(MakeJobTicketCommandForDocumentName, "JobName", printType.documentName);
    else if (printType.documentNameType == DocumentNameType::Automatic)
        WriteEscaped(MakeJobTicketCommandForDocumentName, "JobName", names.PTStdDocumentNameForUTF8);

    if (printType.printType == PrintType::Delayed) {
        WriteEscaped(MakeJobTicketCommand, "RequestingUserName", requestingUser);
        return;
    }
    WriteEscaped(MakeJobTicketCommand, "RequestingUserName", printType.userName);
    // Escaped like the names: the passcode is user text and must not add elements.
    if (printType.printType == PrintType::Secure && printType.password[0] != '\0')
        WriteEscaped(MakeJobTicketCommand, "JobPassword", printType.password);
}

void JTOutPutJobProcessing(const printoptions& options)
{
    static const ValueMap kOffsets[] = {{"EndOfSet", "OffsetSet"}, {"DeviceDeactivation", "OffsetJob"}};
    if (const char* offset = Lookup(kOffsets, options.features.jog))
        MakeJobTicketCommand2("JobOffset", offset);

    const stPrintTypeOption& printType = options.printType;
    if (printType.printType == PrintType::Delayed && printType.delayPrintTime[0] != '\0') {
        // A start time stored as "hh:" or "hh:mm:" is completed to hh:mm:ss.
        int parts = 0;
        for (const char* p = printType.delayPrintTime; *p;) {
            std::size_t n = std::strcspn(p, ":");
            if (n > 0)
                ++parts;
            p += n;
            if (*p == ':')
                ++p;
        }
        char time[sizeof printType.delayPrintTime + 5];
        std::snprintf(time, sizeof time, "%s%s", printType.delayPrintTime,
                      parts == 1   ? "00:00"
                      : parts == 2 ? "00"
                                   : "");
        WriteEscaped(MakeJobTicketCommand2, "JobHoldUntilTime", time);
    } else if (printType.printType == PrintType::Sample) {
        Put("\t\t<ProofPrint>\n");
        MakeJobTicketCommand3("ProofPrintCopies", "1");
        Put("\t\t</ProofPrint>\n");
    }
}

void JTOutPutColorMode(const printoptions& options)
{
    MakeJobTicketCommand("ColorEffectsType", Is(options.features.colorMode, "Black") ? "MonochromeGrayscale" : "Color");
}

void JTOutPutOutputMode(const printoptions& options)
{
    static const ValueMap kQualities[] = {{"Standard", "Normal"}, {"HighSpeed", "Draft"}, {"HighQuality", "High"}};
    const char* quality = Lookup(kQualities, options.features.outputMode);
    MakeJobTicketCommand("PrintQuality", quality ? quality : "Normal");
}

void JTOutPutCopies(const char* copies)
{
    // The spooler's text, escaped so that the ticket stays XML whatever arrives.
    WriteEscaped(MakeJobTicketCommand, "Copies", copies);
}

void JTOutPutCollate(const printoptions& options)
{
    const PrintType t = options.printType.printType;
    const stFeaturesOption& f = options.features;
    bool collated = t == PrintType::Secure || t == PrintType::Sample || IsChosen(f.staple) || IsChosen(f.signature) ||
                    IsCollateOn(f.collate);
    MakeJobTicketCommand("SheetCollate", collated ? "Collated" : "Uncollated");
}

void JTOutPutSides(const printoptions& options)
{
    const stFeaturesOption& f = options.features;
    if (IsChosen(f.signature)) {
        MakeJobTicketCommand("Sides", "TwoSidedShortEdge");
        MakeJobTicketCommand("NumberUp", "2");
        MakeJobTicketCommand("ImpositionTemplate", "BookletSignature");
        if (Is(f.bookletMarginSwitch, "1")) {
            // Half the shift on each side, in whole millimetres, written in hundredths.
            char gutter[32] = "0";
            if (f.bookletMarginShift[0] != '\0')
                std::snprintf(gutter, sizeof gutter, "%lld",
                              static_cast<long long>(LeadingInteger(f.bookletMarginShift) / 2) * 100);
            MakeJobTicketCommand("ImpositionGutterCreepX", gutter);
        }
        // "5Sheets" carries its count before the word.
        char sheets[sizeof f.sigVol] = "0";
        if (IsChosen(f.sigVol)) {
            const char* piece = f.sigVol + std::strspn(f.sigVol, "Sheet");
            std::size_t n = std::strcspn(piece, "Sheet");
            if (n > 0) {
                std::memcpy(sheets, piece, n);
                sheets[n] = '\0';
            }
        }
        WriteEscaped(MakeJobTicketCommand, "SheetsPerSubset", sheets);
        return;
    }
    MakeJobTicketCommand("Sides", f.duplexing == kTwoSidedShortEdge  ? "TwoSidedShortEdge"
                                  : f.duplexing == kTwoSidedLongEdge ? "TwoSidedLongEdge"
                                                                     : "OneSided");
    // Every job but a booklet prints at 100 percent.
    Put("\t\t<ScalingFactor>\n");
    Put("\t\t\t<ScalingFactorX>100</ScalingFactorX>\n");
    Put("\t\t\t<ScalingFactorY>100</ScalingFactorY>\n");
    Put("\t\t</ScalingFactor>\n");
}

void JTOutPutCoverFrontAndCoverBack(const printoptions& options)
{
    WriteCover(options.features.intCoverSheet, "\t\t<CoverFront>\n", "\t\t</CoverFront>\n");
    WriteCover(options.features.intBackCoverSheet, "\t\t<CoverBack>\n", "\t\t</CoverBack>\n");
}

void JTMedia(const printoptions& options)
{
    const char* media = options.features.media;
    if (!Is(options.ppd.emitPageSizeCommandDefault, "True") || media[0] == '\0')
        return;

    constexpr char kCustom[] = "Custom.";
    constexpr std::size_t kCustomLength = sizeof kCustom - 1;
    if (std::strncmp(media, kCustom, kCustomLength) != 0) {
        static const ValueMap kBefore[] = {{"A3", "a3"}, {"A4", "a4"}, {"A5", "a5"},
                                           {"B4", "b4"}, {"B5", "b5"}, {"Tabloid", "ledger"}};
        static const ValueMap kAfter[] = {{"Letter", "letter"}, {"Legal", "legal"}};
        const char* name = Lookup(kBefore, media);
        if (!name && std::strstr(media, "Postcard"))
            name = "hagaki";
        if (!name)
            name = Lookup(kAfter, media);
        if (name)
            MakeJobTicketCommand3("MediaSizeName", name);
        return;
    }

    Put("\t\t\t<MediaSize>\n");
    char size[sizeof options.features.media];
    std::snprintf(size, sizeof size, "%s", media + kCustomLength);
    char* rest = nullptr;
    const char* width = strtok_r(size, "x", &rest);
    const char* height = width ? strtok_r(nullptr, "x", &rest) : nullptr;
    if (width && height) {
        char dimension[64];
        HundredthsOfMillimetre(width, dimension, sizeof dimension);
        MakeJobTicketCommand4("XDimension", dimension);
        HundredthsOfMillimetre(height, dimension, sizeof dimension);
        MakeJobTicketCommand4("YDimension", dimension);
    }
    Put("\t\t\t</MediaSize>\n");
}

void JTOutPutMediaLocation(const printoptions& options)
{
    static const ValueMap kTrays[] = {
        {"", "AutoSelect"},   {"1stTray", "Tray1"},         {"2ndTray", "Tray2"},   {"3rdTray", "Tray3"},
        {"4thTray", "Tray4"}, {"BypassTray", "ManualTray"}, {"Auto", "AutoSelect"},
    };
    if (const char* tray = Lookup(kTrays, options.features.inputSlot))
        MakeJobTicketCommand4("MediaLocation", tray);
}

void JTOutPutMediaType(const printoptions& options)
{
    static const ValueMap kMediaKeys[] = {
        {"StationaryBack", "Used"}, {"RecyclePaper", "Recycled"}, {"ThickPaper", "Thick1"}};
    const char* type = options.features.mediaType;
    if (Is(type, "Stationary"))
        MakeJobTicketCommand3("MediaType", "stationery");
    else if (const char* key = Lookup(kMediaKeys, type))
        MakeJobTicketCommand3("MediaKey", key);
}

void JTOutPutFinishing(const printoptions& options)
{
    static const ValueMap kStaples[] = {
        {"UpperLeftSinglePort", "StapleTopLeft"},       {"UpperRightSinglePort", "StapleTopRight"},
        {"BottomRightSinglePort", "StapleBottomRight"}, {"BottomLeftSinglePort", "StapleBottomLeft"},
        {"LeftDoublePort", "StapleDualLeft"},           {"TopDoublePort", "StapleDualTop"},
        {"RightDoublePort", "StapleDualRight"},         {"BottomDoublePort", "StapleDualBottom"},
    };
    struct Booklet {
        const char* signature;
        const char* fold;  // nullptr: binding only
        const char* binding;
    };
    static const Booklet kBooklets[] = {
        {"LeftSig", nullptr, "BindLeftPortrait"},
        {"RightSig", nullptr, "BindRightPortrait"},
        {"LeftSigCenterStaple", "BookletMaker", "BindLeftPortrait"},
        {"RightSigCenterStaple", "BookletMaker", "BindRightPortrait"},
        {"LeftSigFold", "BookletFold", "BindLeftPortrait"},
        {"RightSigFold", "BookletFold", "BindRightPortrait"},
    };
    const stFeaturesOption& f = options.features;
    const bool any = IsChosen(f.staple) || IsChosen(f.punch) || IsChosen(f.signature);
    if (any)
        Put("\t\t<Finishings>\n");

    if (const char* staple = Lookup(kStaples, f.staple))
        MakeJobTicketCommand3("Finishing", staple);

    if (Is(f.punch, "Left") || Is(f.punch, "Top") || Is(f.punch, "Right") || Is(f.punch, "Bottom")) {
        // Two holes unless the printer was asked for three or four.
        const char holes = Is(f.numPunchHoles, "3Holes") ? '3' : Is(f.numPunchHoles, "4Holes") ? '4' : '2';
        char punch[sizeof f.punch + 16];
        std::snprintf(punch, sizeof punch, "Punch%cHole%s", holes, f.punch);
        MakeJobTicketCommand3("Finishing", punch);
    }

    for (const Booklet& booklet : kBooklets) {
        if (!Is(f.signature, booklet.signature))
            continue;
        if (booklet.fold)
            MakeJobTicketCommand3("Finishing", booklet.fold);
        MakeJobTicketCommand3("Finishing", booklet.binding);
        break;
    }

    if (any)
        Put("\t\t</Finishings>\n");
}

int OutputPrintTicketCommand(const char* const* argv, const printoptions& options, const DocumentNames& names)
{
    // Every ticket opens alike; the contents bridge mode is a constant of
    // the printer family.
    Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    Put("<PwgPrintJobTicket>\n");
    Put("\t<JobDescription>\n");
    Put("\t\t<ContentsBridgeMode>5</ContentsBridgeMode>\n");
    JTOutPutJobDescription(options, Argument(argv, 2), names);
    Put("\t</JobDescription>\n");

    Put("\t<JobProcessing>\n");
    JTOutPutJobProcessing(options);
    Put("\t</JobProcessing>\n");

    Put("\t<DocumentProcessing>\n");
    JTOutPutColorMode(options);
    JTOutPutOutputMode(options);
    JTOutPutCopies(Argument(argv, 4));
    JTOutPutCollate(options);
    JTOutPutSides(options);
    JTOutPutCoverFrontAndCoverBack(options);
    Put("\t\t<MediaCol>\n");
    JTMedia(options);
    Put("\t\t\t<MediaLocations>\n");
    JTOutPutMediaLocation(options);
    Put("\t\t\t</MediaLocations>\n");
    JTOutPutMediaType(options);
    Put("\t\t</MediaCol>\n");
    JTOutPutFinishing(options);
    Put("\t</DocumentProcessing>\n");
    Put("</PwgPrintJobTicket>\n");
    return 1;
}

}  // namespace zlk::filter
