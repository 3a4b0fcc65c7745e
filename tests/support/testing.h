#pragma once
// What every test file starts from: gtest, the parts of the standard library
// and POSIX that tests use throughout, and the temporary folder that
// isolated_env.cpp made for this test process.
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
