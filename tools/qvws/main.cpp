// qvws: the workspace tool (see qvws.h).
#include <iostream>

#include "tools/qvws/qvws.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunQvWs(args, std::cin, std::cout, std::cerr);
}
