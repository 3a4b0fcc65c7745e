// Linked into every test executable: before main runs, points the per-user
// locations and the network root at a fresh temporary folder, so tests never
// touch the user's own settings, logs or network.
#include "testing.h"

namespace {

struct CIsolatedEnvironment {
    CIsolatedEnvironment()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvil-test-XXXXXX";
        char* dir = ::mkdtemp(pattern.data());
        if (!dir)
            std::abort();
        std::string root = dir;
        ::setenv("QUORVIL_TEST_ROOT", root.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        ::setenv("QUORVIL_NETWORK", (root + "/network").c_str(), 1);
        ::setenv("QUORVIL_COMPUTERNAME", "TESTHOST", 1);
    }
};

const CIsolatedEnvironment g_isolated;

} // namespace
