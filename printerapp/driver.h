// The PAPPL side of the models: one PAPPL driver per model PPD, and the job
// callbacks that hand PDF documents to the filter.
#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "printerapp/filterjob.h"
#include "printerapp/model.h"
#include "printerapp/passcodes.h"

namespace zlk::printerapp {

class Catalog;

// What PAPPL's driver data points at for the printers of one model.
struct DriverContext {
    const Catalog* catalog;
    const Model* model;
};

class Catalog {
public:
    // Reads the models of ppdFolder; the filter at filterProgram prints for them.
    Catalog(const std::string& ppdFolder, std::string filterProgram);
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    const std::vector<std::string>& problems() const { return problems_; }
    const std::vector<Model>& models() const { return models_; }
    const std::string& filterProgram() const { return filterProgram_; }

    // The table papplMainloop and papplSystemSetPrinterDrivers take; it
    // points into this catalog.
    int driverCount() const { return static_cast<int>(drivers_.size()); }
    pappl_pr_driver_t* drivers() { return drivers_.data(); }

    const DriverContext* Find(const char* driverName) const;

    // The passcodes of jobs not yet printed.
    PasscodeStore& passcodes() const { return passcodes_; }

private:
    std::string filterProgram_;
    std::vector<std::string> problems_;
    std::vector<Model> models_;
    std::vector<std::string> deviceIds_;
    std::vector<pappl_pr_driver_t> drivers_;
    std::vector<DriverContext> contexts_;
    mutable PasscodeStore passcodes_;
};

// pappl_pr_driver_cb_t; data is the Catalog.
bool DriverCallback(pappl_system_t* system, const char* driverName, const char* deviceUri, const char* deviceId,
                    pappl_pr_driver_data_t* driverData, ipp_t** driverAttrs, void* data);

// pappl_pr_create_cb_t: what a printer of a model has beyond its driver's
// attributes (its supplies).
void PrinterCreated(pappl_printer_t* printer, void* data);

// The filter's settings for a job, from the options PAPPL resolved (job
// attributes over printer defaults) and the job's own attributes.
FilterJob SettingsForJob(const Model& model, pappl_job_t* job, const pappl_pr_options_t& options);

}  // namespace zlk::printerapp
