#include "alertserver.h"

#include "platform/base/fileio.h"
#include "testing.h"

CAlertServer::CAlertServer(const std::string& mode, std::vector<std::string> extra)
{
    static int n = 0;
    m_strDir = TestRoot() + "/server" + std::to_string(++n);
    EnsureDirectory(m_strDir);
    int in[2], out[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[1]);
        ::close(out[0]);
        std::vector<std::string> args = {"/usr/bin/python3",
                                         std::string(std::getenv("QUORVIL_SOURCE_DIR")) +
                                             "/tests/support/alert_servers.py",
                                         mode, m_strDir};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_fdIn = in[1];
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    m_nPort = std::atoi(line.c_str());
    EXPECT_GT(m_nPort, 0) << "the " << mode << " server did not start";
}

CAlertServer::~CAlertServer()
{
    ::close(m_fdIn);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
}

std::vector<std::string> CAlertServer::Messages(std::size_t n) const
{
    std::vector<std::string> messages;
    for (int i = 0; i < 3000; ++i) {
        messages = Read();
        if (messages.size() >= n)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return messages;
}

std::vector<std::string> CAlertServer::Read() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_strDir))
        if (entry.path().filename().string().starts_with("msg"))
            names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> messages;
    for (const std::string& name : names)
        messages.push_back(ReadFileBytes(name).value_or(""));
    return messages;
}
