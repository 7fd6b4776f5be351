#include "printerapp/driver.h"

#include <cups/ppd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

#include "common/ppdfile.h"
#include "printerapp/papplmends.h"
#include "printerapp/webui.h"

namespace zlk::printerapp {

namespace {

// Attributes the filter reads under their IPP names, passed on as the job
// carries them.
constexpr const char* kPassedThrough[] = {"job-password", "job-password-encryption", "job-account-id",
                                          "job-accounting-user-id"};

// The printer's own IEEE 1284 identification, or one made from its name.
std::string DeviceIdOf(const Model& model)
{
    if (const common::PPDHandle ppd = common::OpenPPD(model.ppdPath.c_str()))
        if (const ppd_attr_t* attr = ppdFindAttr(ppd.get(), "1284DeviceID", nullptr); attr && attr->value)
            return attr->value;
    const std::string& name = model.makeAndModel;
    const std::size_t blank = name.find(' ');
    const std::string make = blank == std::string::npos ? name : name.substr(0, blank);
    const std::string product = blank == std::string::npos ? name : name.substr(blank + 1);
    return "MFG:" + make + ";MDL:" + product + ";CMD:PJL,PDF;";
}

std::string AttributeText(pappl_job_t* job, const char* name)
{
    ipp_attribute_t* attr = papplJobGetAttribute(job, name);
    if (!attr)
        return {};
    // job-password is an octetString; the others are names or text.
    if (ippGetValueTag(attr) == IPP_TAG_STRING) {
        int length = 0;
        const void* data = ippGetOctetString(attr, 0, &length);
        return data && length > 0 ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(length))
                                  : std::string();
    }
    if (const char* text = ippGetString(attr, 0, nullptr))
        return text;
    if (ippGetValueTag(attr) == IPP_TAG_INTEGER || ippGetValueTag(attr) == IPP_TAG_ENUM)
        return std::to_string(ippGetInteger(attr, 0));
    return {};
}

// Whether the job itself chose a tray or paper type: otherwise the printer
// picks, as with a classic queue.
bool JobNamesMedia(pappl_job_t* job, const char* member)
{
    ipp_attribute_t* col = papplJobGetAttribute(job, "media-col");
    return col && ippFindAttribute(ippGetCollection(col, 0), member, IPP_TAG_ZERO);
}

// The model's vendor options as the job or else the printer's defaults set
// them, then the job's finishings over them: PPD option and choice pairs.
std::vector<std::pair<std::string, std::string>> FinishingChoices(const Model& model, pappl_job_t* job,
                                                                  const pappl_pr_options_t& options)
{
    std::vector<std::pair<std::string, std::string>> choices;
    auto set = [&choices](const std::string& option, const std::string& choice) {
        const auto found = std::ranges::find(choices, option, &std::pair<std::string, std::string>::first);
        if (found != choices.end())
            found->second = choice;
        else
            choices.emplace_back(option, choice);
    };

    ipp_t* printerAttrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
    for (const VendorOption& vendor : model.vendor) {
        std::string value;
        if (const char* chosen = cupsGetOption(vendor.attribute.c_str(), options.num_vendor, options.vendor))
            value = chosen;
        else if (ipp_attribute_t* byDefault =
                     ippFindAttribute(printerAttrs, (vendor.attribute + "-default").c_str(), IPP_TAG_ZERO)) {
            char text[256];
            ippAttributeString(byDefault, text, sizeof text);
            value = text;
        }
        // Only a change from the PPD's default is passed on, as a classic
        // queue passes only what the user chose.
        if (value.empty() || value == vendor.defaultKeyword)
            continue;
        if (const auto choice = vendor.choiceOf.find(value); choice != vendor.choiceOf.end())
            set(vendor.ppdOption, choice->second);
        else
            papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Ignoring %s=%s: not a value of this model.",
                        vendor.attribute.c_str(), value.c_str());
    }
    ippDelete(printerAttrs);

    // finishings, or finishings-col as CUPS sends them, by their templates'
    // names ("staple").
    std::vector<int> values;
    if (ipp_attribute_t* finishings = papplJobGetAttribute(job, "finishings"))
        for (int i = 0; i < ippGetCount(finishings); ++i)
            values.push_back(ippGetInteger(finishings, i));
    if (ipp_attribute_t* cols = papplJobGetAttribute(job, "finishings-col"))
        for (int i = 0; i < ippGetCount(cols); ++i)
            if (const char* name = ippGetString(
                    ippFindAttribute(ippGetCollection(cols, i), "finishing-template", IPP_TAG_ZERO), 0, nullptr))
                values.push_back(ippEnumValue("finishings", name));
    for (const int value : values) {
        const auto found = std::ranges::find(model.finishings, value, &Finishing::value);
        if (found != model.finishings.end()) {
            for (const auto& [option, choice] : found->choices)
                set(option, choice);
        } else if (value != IPP_FINISHINGS_NONE) {
            papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Ignoring finishings %d: this model cannot do it.", value);
        }
    }
    return choices;
}

const char* SidesKeyword(pappl_sides_t sides)
{
    switch (sides) {
    case PAPPL_SIDES_TWO_SIDED_LONG_EDGE: return "two-sided-long-edge";
    case PAPPL_SIDES_TWO_SIDED_SHORT_EDGE: return "two-sided-short-edge";
    default: return "one-sided";
    }
}

bool PrintFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device)
{
    NoteDeviceOfJob(device, papplJobGetPrinter(job));
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
    const auto* context = static_cast<const DriverContext*>(data.extension);
    const char* document = papplJobGetFilename(job);
    if (!context || !document) {
        papplJobSetMessage(job, "The printer has no driver for this job.");
        return false;
    }
    // Typed as PDF by the client, but the filter would fail on it later
    // with a less helpful message.
    if (!LooksLikePdf(document)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The document is not a PDF file.");
        papplJobSetMessage(job, "The document is not a PDF file: only PDF documents are printed.");
        return false;
    }

    FilterJob settings = SettingsForJob(*context->model, job, *options);
    // The job holds a token for its passcode; the filter gets the digits.
    for (auto& [name, value] : settings.options) {
        if (name != "job-password" || !IsPasscodeToken(value))
            continue;
        std::optional<std::string> passcode = context->catalog->passcodes().Redeem(value, settings.user);
        if (!passcode) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job's passcode is no longer known.");
            papplJobSetMessage(job,
                               "The job's passcode is no longer known (was the server restarted?): send the "
                               "job again.");
            return false;
        }
        value = std::move(*passcode);
    }
    // The log is no place for a passcode, even at debug level.
    FilterJob logged = settings;
    for (auto& [name, value] : logged.options)
        if (name == "job-password")
            value = "(hidden)";
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Filter options: %s", FilterOptionString(logged).c_str());

    FilterCommand command;
    command.program = context->catalog->filterProgram();
    command.ppd = context->model->ppdPath;
    command.document = document;
    command.tmpdir = papplGetTempDir();

    FilterHooks hooks;
    hooks.write = [device](const char* bytes, std::size_t size) {
        return papplDeviceWrite(device, bytes, size) == static_cast<ssize_t>(size);
    };
    // The filter's last error says best why a job was not printed.
    std::string lastError;
    hooks.log = [job, &lastError](const std::string& line) {
        constexpr std::string_view kError = "ERROR: ";
        if (line.starts_with(kError))
            lastError = line.substr(kError.size());
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s", line.c_str());
    };
    hooks.cancelled = [job] { return papplJobIsCanceled(job); };

    const std::string failure = RunFilter(command, settings, hooks);
    if (!failure.empty()) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not printed: %s.", failure.c_str());
        if (!lastError.empty())
            papplJobSetMessage(job, "%s", lastError.c_str());
        else
            papplJobSetMessage(job, "Not printed: %s.", failure.c_str());
        return false;
    }
    papplDeviceFlush(device);
    return true;
}

// Raster documents (image/pwg-raster, image/urf) that PAPPL always offers
// are not made into the printer's PDF job stream yet.
bool RefuseRaster(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*)
{
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Raster documents are not supported: send a PDF document.");
    papplJobSetMessage(job, "Raster documents are not supported: send a PDF document.");
    return false;
}

bool RefuseRasterPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned)
{
    return RefuseRaster(job, options, device);
}

bool RefuseRasterLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned,
                      const unsigned char*)
{
    return RefuseRaster(job, options, device);
}

void FillMedia(const Model& model, pappl_pr_driver_data_t& data)
{
    data.num_media = static_cast<int>(model.media.size());
    for (std::size_t i = 0; i < model.media.size(); ++i)
        data.media[i] = model.media[i].c_str();
    data.left_right = model.marginLeftRight;
    data.bottom_top = model.marginBottomTop;

    data.num_source = static_cast<int>(model.sources.size());
    for (std::size_t i = 0; i < model.sources.size(); ++i)
        data.source[i] = model.sources[i].c_str();

    pappl_media_col_t media{};
    media.left_margin = media.right_margin = model.marginLeftRight;
    media.bottom_margin = media.top_margin = model.marginBottomTop;
    media.size_width = model.mediaWidth;
    media.size_length = model.mediaLength;
    std::strncpy(media.size_name, model.defaultMedia.c_str(), sizeof media.size_name - 1);
    const std::string type = model.mediaTypes.empty()
                                 ? std::string("stationery")
                                 : model.mediaTypes[static_cast<std::size_t>(model.defaultMediaType)];
    std::strncpy(media.type, type.c_str(), sizeof media.type - 1);
    for (int i = 0; i < data.num_source; ++i) {
        data.media_ready[i] = media;
        std::strncpy(data.media_ready[i].source, data.source[i], sizeof media.source - 1);
    }
    data.media_default = data.media_ready[model.defaultSource];
    if (model.mediaTypes.empty()) {
        data.num_type = 1;
        data.type[0] = "stationery";
        return;
    }
    data.num_type = static_cast<int>(std::min<std::size_t>(model.mediaTypes.size(), PAPPL_MAX_TYPE));
    for (int i = 0; i < data.num_type; ++i)
        data.type[i] = model.mediaTypes[static_cast<std::size_t>(i)].c_str();
}

// PAPPL announces staple, punch and trim; the PPD's table says which of
// them, and every finishing value it maps is printed as mapped.
pappl_finishings_t FinishingsOf(const Model& model)
{
    pappl_finishings_t bits = PAPPL_FINISHINGS_NONE;
    for (const Finishing& finishing : model.finishings) {
        if (finishing.value == IPP_FINISHINGS_STAPLE)
            bits |= PAPPL_FINISHINGS_STAPLE;
        else if (finishing.value == IPP_FINISHINGS_PUNCH)
            bits |= PAPPL_FINISHINGS_PUNCH;
        else if (finishing.value == IPP_FINISHINGS_TRIM)
            bits |= PAPPL_FINISHINGS_TRIM;
    }
    return bits;
}

// What PAPPL does not announce by itself: the model's passcode and
// accounting, number-up, and the vendor attributes.
ipp_t* ExtraAttributes(const Model& model)
{
    ipp_t* attrs = ippNew();
    static const int kNumberUp[] = {1, 2, 4, 6, 8, 9, 16};
    ippAddIntegers(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "number-up-supported", std::size(kNumberUp), kNumberUp);
    ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "number-up-default", 1);
    if (model.passcodeDigits > 0) {
        ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "job-password-supported", model.passcodeDigits);
        // Sealed for the printer by the filter; a hash would lose the digits.
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "job-password-encryption-supported",
                     nullptr, "none");
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "job-password-repertoire-supported",
                     nullptr, "iana_us-ascii_digits");
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "job-password-repertoire-configured",
                     nullptr, "iana_us-ascii_digits");
    }
    ippAddBoolean(attrs, IPP_TAG_PRINTER, "job-account-id-supported", model.accountId);
    ippAddBoolean(attrs, IPP_TAG_PRINTER, "job-accounting-user-id-supported", model.accountingUserId);
    if (model.accountId)
        ippAddOutOfBand(attrs, IPP_TAG_PRINTER, IPP_TAG_NOVALUE, "job-account-id-default");
    if (model.accountingUserId)
        ippAddOutOfBand(attrs, IPP_TAG_PRINTER, IPP_TAG_NOVALUE, "job-accounting-user-id-default");
    // What IPP Everywhere clients ask about and PAPPL 1.3 leaves out: the
    // printer keeps to the job's colours as given.
    ippAddBoolean(attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", false);
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-supported", nullptr,
                 "auto");
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-default", nullptr,
                 "auto");

    for (const VendorOption& vendor : model.vendor) {
        const std::string supported = vendor.attribute + "-supported";
        const std::string byDefault = vendor.attribute + "-default";
        if (vendor.boolean) {
            ippAddBoolean(attrs, IPP_TAG_PRINTER, supported.c_str(), true);
            ippAddBoolean(attrs, IPP_TAG_PRINTER, byDefault.c_str(), vendor.defaultKeyword == "true");
            continue;
        }
        std::vector<const char*> keywords;
        for (const std::string& keyword : vendor.keywords)
            keywords.push_back(keyword.c_str());
        ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(), static_cast<int>(keywords.size()),
                      nullptr, keywords.data());
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, byDefault.c_str(), nullptr,
                     vendor.defaultKeyword.c_str());
    }
    return attrs;
}

}  // namespace

Catalog::Catalog(const std::string& ppdFolder, std::string filterProgram)
    : filterProgram_(std::move(filterProgram)),
      models_(ReadModels(ppdFolder, problems_))
{
    deviceIds_.reserve(models_.size());
    for (const Model& model : models_) {
        deviceIds_.push_back(DeviceIdOf(model));
        drivers_.push_back({model.driverName.c_str(), model.description.c_str(), deviceIds_.back().c_str(), nullptr});
        contexts_.push_back({this, &model});
    }
}

const DriverContext* Catalog::Find(const char* driverName) const
{
    const std::string_view name = driverName ? driverName : "";
    const auto found =
        std::ranges::find_if(contexts_, [&](const DriverContext& c) { return c.model->driverName == name; });
    return found == contexts_.end() ? nullptr : &*found;
}

FilterJob SettingsForJob(const Model& model, pappl_job_t* job, const pappl_pr_options_t& options)
{
    FilterJob settings;
    settings.jobId = papplJobGetID(job);
    settings.user = papplJobGetUsername(job) ? papplJobGetUsername(job) : "";
    settings.title = papplJobGetName(job) ? papplJobGetName(job) : "";
    settings.copies = std::max(1, options.copies);
    auto& out = settings.options;

    // A size the job or the printer's settings chose; the model's own default
    // is left to the filter, as with a classic queue.
    const bool sizeChosen = papplJobGetAttribute(job, "media") || JobNamesMedia(job, "media-size-name") ||
                            JobNamesMedia(job, "media-size") || model.defaultMedia != options.media.size_name;
    if (const auto size = model.pageSizeOf.find(options.media.size_name);
        sizeChosen && size != model.pageSizeOf.end()) {
        out.emplace_back("media", size->second);
        out.emplace_back("PageSize", size->second);
    }
    if (JobNamesMedia(job, "media-source"))
        if (const auto slot = model.inputSlotOf.find(options.media.source); slot != model.inputSlotOf.end())
            out.emplace_back("InputSlot", slot->second);
    if (JobNamesMedia(job, "media-type"))
        if (const auto type = model.mediaTypeOf.find(options.media.type); type != model.mediaTypeOf.end())
            out.emplace_back("MediaType", type->second);
    out.emplace_back("sides", model.duplex ? SidesKeyword(options.sides) : "one-sided");

    const bool mono = options.print_color_mode == PAPPL_COLOR_MODE_MONOCHROME ||
                      options.print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL;
    const bool color = options.print_color_mode == PAPPL_COLOR_MODE_COLOR;
    if (mono && !model.monoChoice.empty())
        out.emplace_back("ZLKColorMode", model.monoChoice);
    else if (color && !model.colorChoice.empty())
        out.emplace_back("ZLKColorMode", model.colorChoice);

    if (const auto bin = model.outputBinOf.find(options.output_bin); bin != model.outputBinOf.end())
        out.emplace_back("OutputBin", bin->second);
    if (papplJobGetAttribute(job, "orientation-requested"))
        out.emplace_back("orientation-requested", std::to_string(static_cast<int>(options.orientation_requested)));
    if (model.collate)
        if (const std::string handling = AttributeText(job, "multiple-document-handling"); !handling.empty())
            out.emplace_back("Collate", handling == "separate-documents-uncollated-copies" ? "False" : "True");
    if (const std::string up = AttributeText(job, "number-up"); !up.empty())
        out.emplace_back("number-up", up);

    for (auto& [option, choice] : FinishingChoices(model, job, options))
        out.emplace_back(std::move(option), std::move(choice));

    for (const char* name : kPassedThrough)
        if (std::string value = AttributeText(job, name); !value.empty())
            out.emplace_back(name, std::move(value));
    return settings;
}

void PrinterCreated(pappl_printer_t* printer, void*)
{
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const auto* context = static_cast<const DriverContext*>(data.extension);
    if (!context)
        return;
    // The printers do not report their toner through the job stream; the
    // cartridges are listed with their levels unknown.
    struct Toner {
        pappl_supply_color_t color;
        const char* description;
    };
    static constexpr Toner kToners[] = {{PAPPL_SUPPLY_COLOR_BLACK, "Black Toner"},
                                        {PAPPL_SUPPLY_COLOR_CYAN, "Cyan Toner"},
                                        {PAPPL_SUPPLY_COLOR_MAGENTA, "Magenta Toner"},
                                        {PAPPL_SUPPLY_COLOR_YELLOW, "Yellow Toner"}};
    const int count = context->model->colorChoice.empty() ? 1 : 4;
    pappl_supply_t supplies[4] = {};
    for (int i = 0; i < count; ++i) {
        supplies[i].color = kToners[i].color;
        std::strncpy(supplies[i].description, kToners[i].description, sizeof supplies[i].description - 1);
        supplies[i].is_consumed = true;
        supplies[i].level = -1;
        supplies[i].type = PAPPL_SUPPLY_TYPE_TONER;
    }
    papplPrinterSetSupplies(printer, count, supplies);
}

bool DriverCallback(pappl_system_t*, const char* driverName, const char*, const char*,
                    pappl_pr_driver_data_t* driverData, ipp_t** driverAttrs, void* data)
{
    const auto* catalog = static_cast<const Catalog*>(data);
    const DriverContext* context = catalog ? catalog->Find(driverName) : nullptr;
    if (!context)
        return false;
    const Model* model = context->model;

    pappl_pr_driver_data_t& d = *driverData;
    // PAPPL only hands the pointer back; the catalog outlives every printer.
    d.extension = const_cast<DriverContext*>(context);
    d.printfile_cb = PrintFile;
    d.testpage_cb = TestPage;
    d.rstartjob_cb = RefuseRaster;
    d.rstartpage_cb = RefuseRasterPage;
    d.rwriteline_cb = RefuseRasterLine;
    d.rendpage_cb = RefuseRasterPage;
    d.rendjob_cb = RefuseRaster;
    d.format = "application/pdf";
    std::strncpy(d.make_and_model, model->makeAndModel.c_str(), sizeof d.make_and_model - 1);
    d.kind = PAPPL_KIND_DOCUMENT;
    d.ppm = model->pagesPerMinute;
    d.ppm_color = model->colorChoice.empty() ? 0 : model->pagesPerMinute;

    d.color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
    if (!model->colorChoice.empty())
        d.color_supported |= PAPPL_COLOR_MODE_COLOR;
    d.color_default = model->colorByDefault ? PAPPL_COLOR_MODE_COLOR : PAPPL_COLOR_MODE_MONOCHROME;
    d.raster_types = PAPPL_PWG_RASTER_TYPE_BLACK_8 | PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    if (!model->colorChoice.empty())
        d.raster_types |= PAPPL_PWG_RASTER_TYPE_SRGB_8;
    d.content_default = PAPPL_CONTENT_AUTO;
    d.quality_default = IPP_QUALITY_NORMAL;
    d.scaling_default = PAPPL_SCALING_AUTO;
    d.orient_default = IPP_ORIENT_NONE;

    d.duplex = model->duplex ? PAPPL_DUPLEX_NORMAL : PAPPL_DUPLEX_NONE;
    d.sides_supported = PAPPL_SIDES_ONE_SIDED;
    if (model->duplex)
        d.sides_supported |= PAPPL_SIDES_TWO_SIDED_LONG_EDGE | PAPPL_SIDES_TWO_SIDED_SHORT_EDGE;
    d.sides_default = PAPPL_SIDES_ONE_SIDED;

    d.num_resolution = static_cast<int>(model->resolutions.size());
    for (int i = 0; i < d.num_resolution; ++i)
        d.x_resolution[i] = d.y_resolution[i] = model->resolutions[static_cast<std::size_t>(i)];
    d.x_default = d.y_default = model->defaultResolution;

    FillMedia(*model, d);

    d.finishings = FinishingsOf(*model);
    d.num_vendor = static_cast<int>(model->vendor.size());
    for (std::size_t i = 0; i < model->vendor.size(); ++i)
        d.vendor[i] = model->vendor[i].attribute.c_str();
    if (driverAttrs)
        *driverAttrs = ExtraAttributes(*model);

    d.num_bin = static_cast<int>(model->bins.size());
    for (std::size_t i = 0; i < model->bins.size(); ++i)
        d.bin[i] = model->bins[i].c_str();
    d.bin_default = model->defaultBin;
    return true;
}

}  // namespace zlk::printerapp
