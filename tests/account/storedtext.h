// What a storage blob written by a panel holds.
#pragma once

#include <string>

#include "dialog/framework/basecontrol.h"

namespace zlk::test {

// The text a storage blob holds, or "(not a storage blob)".
inline std::string Opened(const std::string& stored)
{
    std::string plain;
    int status = 0;
    return framework::DecryptFromStorageText(stored, plain, status) ? plain : "(not a storage blob)";
}

}  // namespace zlk::test
