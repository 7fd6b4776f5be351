#include "printerapp/webui.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>

namespace zlk::printerapp {
namespace {

using Texts = std::map<std::string, std::string>;  // key -> text

void Escape(std::string& out, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", byte);
            out += octal;
        } else {
            out += c;  // UTF-8 goes as it is
        }
    }
}

std::string StringsData(const Texts& texts)
{
    std::string data;
    for (const auto& [key, text] : texts) {
        data += '"';
        Escape(data, key);
        data += "\" = \"";
        Escape(data, text);
        data += "\";\n";
    }
    return data;
}

// PAPPL 1.3.1's own web interface languages besides English and Japanese: a
// browser asking for one of them gets the English titles, not keywords.
constexpr const char* kOtherWebLanguages[] = {"de", "es", "fr", "it", "nb-NO", "pl", "tr"};

std::string TemplatePath()
{
    const char* path = std::getenv("ZLK_PRINTER_APP_TESTPAGE");
    return path && *path ? path : ZLK_PRINTER_APP_TESTPAGE;
}

// A PDF string in Helvetica's WinAnsi encoding: Latin-1 letters are kept,
// what the standard font cannot show becomes '?'.
std::string PdfString(std::string_view utf8)
{
    std::string out = "(";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = lead;
        std::size_t length = 1;
        if (lead >= 0xf0)
            length = 4;
        else if (lead >= 0xe0)
            length = 3;
        else if (lead >= 0xc0)
            length = 2;
        if (length == 2 && i + 1 < utf8.size())
            code = ((lead & 0x1fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3fu);
        else if (length > 1)
            code = 0xfffd;
        i += length;
        if (code == '(' || code == ')' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code >= 0x20 && code < 0x7f) {
            out += static_cast<char>(code);
        } else if (code >= 0xa0 && code <= 0xff) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", code);
            out += octal;
        } else {
            out += '?';
        }
    }
    return out + ")";
}

}  // namespace

std::map<std::string, std::string> VendorStrings(const std::vector<Model>& models)
{
    std::vector<const Model*> ordered;
    for (const Model& model : models)
        ordered.push_back(&model);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Model* a, const Model* b) { return a->driverName < b->driverName; });

    // A title that differs between models of one language is the first
    // model's in driver-name order: the web interface has one text per key.
    std::map<std::string, Texts> own;  // language -> its PPDs' texts
    own["en"];
    own["ja"];
    for (const Model* model : ordered) {
        Texts& texts = own[model->language.empty() ? "en" : model->language];
        for (const VendorOption& option : model->vendor) {
            if (!option.title.empty())
                texts.try_emplace(option.attribute, option.title);
            for (const auto& [keyword, title] : option.titleOf)
                if (!title.empty())
                    texts.try_emplace(option.attribute + "." + keyword, title);
        }
    }

    // A key without a text in one language takes English's, else any other
    // language's: a title in the wrong language reads better than a keyword.
    std::map<std::string, std::string> data;
    for (const auto& [language, texts] : own) {
        Texts merged = texts;
        merged.insert(own["en"].begin(), own["en"].end());
        for (const auto& [other, otherTexts] : own)
            merged.insert(otherTexts.begin(), otherTexts.end());
        data[language] = StringsData(merged);
    }
    return data;
}

void AddVendorStrings(pappl_system_t* system, const std::vector<Model>& models)
{
    static const std::map<std::string, std::string> strings = VendorStrings(models);
    // Localizations are the system's, whatever their path; but each needs a
    // path of its own (PAPPL keeps one resource per path and serves it), and
    // "/" would hide the home page.
    for (const auto& [language, data] : strings) {
        const std::string path = "/zlk-printer-app/" + language + ".strings";
        papplSystemAddStringsData(system, path.c_str(), language.c_str(), data.c_str());
    }
    const auto english = strings.find("en");
    for (const char* language : kOtherWebLanguages) {
        if (strings.contains(language) || !papplSystemFindLoc(system, language))
            continue;
        const std::string path = std::string("/zlk-printer-app/") + language + ".strings";
        papplSystemAddStringsData(system, path.c_str(), language, english->second.c_str());
    }
}

std::string StampTestPage(const std::string& templatePath, const std::vector<std::string>& lines, std::string& why)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(templatePath.c_str());
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (pages.empty()) {
            why = templatePath + " has no page";
            return "";
        }
        QPDFPageObjectHelper& page = pages.front();
        QPDFObjectHandle resources = page.getAttribute("/Resources", true);
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
            page.getObjectHandle().replaceKey("/Resources", resources);
        }
        if (!resources.getKey("/Font").isDictionary())
            resources.replaceKey("/Font", QPDFObjectHandle::newDictionary());
        resources.getKey("/Font").replaceKey(
            "/ZlkStamp", pdf.makeIndirectObject(QPDFObjectHandle::parse(
                             "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")));

        // The template leaves room for these lines under its title.
        std::string stamp = "Q q 0 g BT /ZlkStamp 14 Tf 72 690 Td 20 TL";
        for (const std::string& line : lines)
            stamp += " " + PdfString(line) + " Tj T*";
        stamp += " ET Q\n";
        page.addPageContents(QPDFObjectHandle::newStream(&pdf, "q\n"), true);
        page.addPageContents(QPDFObjectHandle::newStream(&pdf, stamp), false);

        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.write();
        std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
        return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    } catch (const std::exception& error) {
        why = error.what();
        return "";
    }
}

const char* TestPage(pappl_printer_t* printer, char* buffer, std::size_t size)
{
    const std::string templatePath = TemplatePath();
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const char* driver = papplPrinterGetDriverName(printer);
    std::string why;
    const std::string pdf =
        StampTestPage(templatePath,
                      {std::string("Printer: ") + papplPrinterGetName(printer),
                       std::string("Model: ") + data.make_and_model, std::string("Driver: ") + (driver ? driver : "")},
                      why);
    if (!pdf.empty()) {
        // In the temporary folder, so that PAPPL removes it with the job.
        const int fd = papplCreateTempFile(buffer, size, "testpage", "pdf");
        if (fd >= 0) {
            const bool written = write(fd, pdf.data(), pdf.size()) == static_cast<ssize_t>(pdf.size());
            close(fd);
            if (written)
                return buffer;
            unlink(buffer);
            why = "cannot write the test page";
        } else {
            why = "cannot make a temporary file";
        }
    }
    // The template as it is still tests the printer; PAPPL says so if even
    // that is missing.
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Test page without the printer's name: %s.", why.c_str());
    if (templatePath.size() >= size)
        return nullptr;
    std::memcpy(buffer, templatePath.c_str(), templatePath.size() + 1);
    return buffer;
}

}  // namespace zlk::printerapp
