// The plug-in's one exported symbol: the host finds it with dlsym and owns
// the object it returns.
#include <memory>

#include "dialog/account/printtypepanel.h"

extern "C" __attribute__((visibility("default"))) zlk::platform::PDEPlugIn* ZLKCreatePDEPlugIn()
{
    return std::make_unique<zlk::account::PrintAccountPDEPlugIn>().release();
}
