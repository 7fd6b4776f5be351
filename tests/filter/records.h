// Option records for the filter's tests: the record a job without options
// leaves, a setter for its text fields and whole ticket keys.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "filter/options.h"

namespace zlk::filter::test {

// A ticket key the dialogs write: the prefix and the key's name.
inline std::string TicketKey(std::string_view name) { return std::string(kTicketKeyPrefix) + std::string(name); }

// Sets a text field, cut to its width as the readers cut.
template <std::size_t N>
void Set(char (&field)[N], const std::string& value)
{
    std::snprintf(field, N, "%s", value.c_str());
}

// The record GetPrintOptions leaves for a job without options on the CP932
// test printer: integers -1, texts empty, numberUp "1", the PPD group read.
inline printoptions NoOptions()
{
    printoptions record{};
    DocumentNames names{};
    const char* argv[] = {"ZLKPrintFilter", "1", "alice", "", "1", "", nullptr};
    GetPrintOptions(argv, ZLK_TEST_FIXTURES "/ppd/cp932.ppd", record, names);
    return record;
}

// The same record with a print type.
inline printoptions NoOptions(PrintType printType)
{
    printoptions record = NoOptions();
    record.printType.printType = printType;
    return record;
}

}  // namespace zlk::filter::test
