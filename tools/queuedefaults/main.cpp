// zlk-queue-defaults: sets a queue's driver defaults from its printer
// description (see queuedefaults.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/queuedefaults/queuedefaults.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return zlk::queuedefaults::RunCommand(args, std::cout, std::cerr, zlk::queuedefaults::RunProgram,
                                          zlk::queuedefaults::ReadStoredDefaults);
}
