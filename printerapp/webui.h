// What the models add to PAPPL's web interface: the texts of their vendor
// attributes in the browser's language, and the test page.
#pragma once

#include <pappl/pappl.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "printerapp/model.h"

namespace zlk::printerapp {

// Strings data ("key" = "text";) per language, "en" and "ja" at least: the
// PPDs' titles of the vendor attributes ("zlk-staple") and their values
// ("zlk-staple.upper-left-single-port").
std::map<std::string, std::string> VendorStrings(const std::vector<Model>& models);

// Adds VendorStrings to the system's localizations, once per process; PAPPL
// keeps pointing at the data, so it lives to the end of the process.
void AddVendorStrings(pappl_system_t* system, const std::vector<Model>& models);

// A PDF of the test page template with the given lines stamped on it; "" with
// why when it cannot be made.
std::string StampTestPage(const std::string& templatePath, const std::vector<std::string>& lines, std::string& why);

// pappl_pr_testpage_cb_t: the test page naming the printer and its model,
// written to a temporary file that PAPPL removes with the job.
const char* TestPage(pappl_printer_t* printer, char* buffer, std::size_t size);

}  // namespace zlk::printerapp
