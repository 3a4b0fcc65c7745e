#pragma once
// The temporary folder that isolated_env.cpp made for this test process.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

inline std::string TestRoot()
{
    const char* root = std::getenv("QUORVIL_TEST_ROOT");
    return root ? root : "/tmp";
}

// A folder of the running test's own below it (not created).
inline std::string TestDir()
{
    return TestRoot() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}
