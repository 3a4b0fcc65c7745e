#pragma once
// The temporary folder that isolated_env.cpp made for this test process.
#include <cstdlib>
#include <string>

inline std::string TestRoot()
{
    const char* root = std::getenv("QUORVIL_TEST_ROOT");
    return root ? root : "/tmp";
}
