// qvevent: the event log tool (see qvevent.h).
#include <iostream>

#include "tools/qvevent/qvevent.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunQvEvent(args, std::cout, std::cerr);
}
