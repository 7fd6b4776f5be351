// The printer descriptions these tests read, opened as the host would.
// Test suites are named ppd_services_* so that the group can be run alone.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/ppdfile.h"

namespace zlk::test {

inline std::string PpdFixturePath(const std::string& name)
{
    return std::string(ZLK_TEST_FIXTURES) + "/ppd-services/" + name;
}

inline common::PPDHandle OpenPpdFixture(const std::string& path)
{
    common::PPDHandle ppd(ppdOpenFile(path.c_str()));
    EXPECT_NE(ppd, nullptr) << path;
    if (ppd) {
        ppdMarkDefaults(ppd.get());
    }
    return ppd;
}

}  // namespace zlk::test
