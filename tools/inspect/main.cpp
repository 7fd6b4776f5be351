// zlk-inspect: checks a printer job stream and describes it.
#include <iostream>
#include <string>
#include <vector>

#include "tools/inspect/inspect.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return zlk::inspect::RunCommand(args, std::cin, std::cout, std::cerr);
}
