// A program for the tests of "run program" actions: writes what it was given
// into the file named by its first argument, each item followed by a NUL:
// "D:" and its working folder, "A:" and each further argument, "E:" and each
// environment entry that starts with QUORVIL_.
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

extern char** environ; // NOLINT: the process environment

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string out;
    char cwd[4096];
    out += std::string("D:") + (::getcwd(cwd, sizeof cwd) ? cwd : "?") + '\0';
    for (int i = 2; i < argc; ++i)
        out += std::string("A:") + argv[i] + '\0';
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "QUORVIL_", 8) == 0)
            out += std::string("E:") + *entry + '\0';
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file)
        return 3;
    std::fwrite(out.data(), 1, out.size(), file);
    return std::fclose(file) == 0 ? 0 : 3;
}
