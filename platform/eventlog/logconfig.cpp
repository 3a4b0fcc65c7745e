#include "platform/eventlog/logconfig.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/base/win32error.h"
#include "platform/registry/reghive.h"

namespace {

const char* const g_defaultLogs[] = {"Application", "System", "Security"};

// One hive object per computer registry file, shared by every handle.
CRegHive& HiveOf(const std::string& folder)
{
    static std::mutex s_mutex;
    static std::map<std::string, std::unique_ptr<CRegHive>> s_hives; // guarded by s_mutex
    std::lock_guard<std::mutex> lock(s_mutex);
    auto& hive = s_hives[folder];
    if (!hive)
        hive = std::make_unique<CRegHive>(folder + "/HKLM.reg", "HKEY_LOCAL_MACHINE");
    return *hive;
}

bool HasLogs(const CRegKey& root)
{
    const CRegKey* key = root.OpenKey(EVENTLOG_REG_KEY);
    return key && key->GetSubKeyCount() > 0;
}

void AddDefaultLogs(CRegKey& root)
{
    CRegKey* eventLog = root.CreateKey(EVENTLOG_REG_KEY);
    for (const char* name : g_defaultLogs) {
        CRegKey* log = eventLog->CreateKey(name);
        log->SetDword("MaxSize", 0x80000);
        log->SetDword("Retention", 0);
    }
}

CEventLogConfig ConfigOf(const CRegKey& key)
{
    CEventLogConfig config;
    config.m_strName = key.GetName();
    if (const CRegValue* value = key.FindValue("MaxSize"); value && value->GetDword())
        config.m_dwMaxSize = *value->GetDword();
    if (const CRegValue* value = key.FindValue("Retention"); value && value->GetDword())
        config.m_dwRetention = *value->GetDword();
    for (std::size_t i = 0; i < key.GetSubKeyCount(); ++i)
        config.m_sources.push_back(key.GetSubKey(i).GetName());
    return config;
}

bool ValidName(const std::string& name)
{
    return !name.empty() && name.find_first_of("\\/\r\n") == std::string::npos && name != "." &&
           name != "..";
}

} // namespace

bool ReadEventLogConfigs(const std::string& folder, std::vector<CEventLogConfig>& logs)
{
    logs.clear();
    CRegHive& hive = HiveOf(folder);
    std::shared_ptr<const CRegKey> tree = hive.Read();
    if (!tree)
        return false;
    if (!HasLogs(*tree)) {
        // A new computer: register the standard logs. When its registry
        // cannot be written, they still exist for this reader.
        hive.Update([](CRegKey& root) {
            if (!HasLogs(root))
                AddDefaultLogs(root);
            return true;
        });
        std::shared_ptr<const CRegKey> updated = hive.Read();
        if (updated && HasLogs(*updated)) {
            tree = updated;
        } else {
            auto defaults = std::make_shared<CRegKey>();
            AddDefaultLogs(*defaults);
            tree = defaults;
        }
    }
    const CRegKey* eventLog = tree->OpenKey(EVENTLOG_REG_KEY);
    // A log's name becomes a file name in the computer's folder: a key
    // named ".." or holding "/" (a hand-edited registry) is no log.
    for (std::size_t i = 0; i < eventLog->GetSubKeyCount(); ++i) {
        if (ValidName(eventLog->GetSubKey(i).GetName()))
            logs.push_back(ConfigOf(eventLog->GetSubKey(i)));
    }
    return true;
}

bool WriteEventLogConfig(const std::string& folder, const std::string& log,
                         std::optional<DWORD> maxSize, std::optional<DWORD> retention)
{
    if (!ValidName(log)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::vector<CEventLogConfig> existing;
    if (!ReadEventLogConfigs(folder, existing)) // makes sure the standard logs are there
        return false;
    return HiveOf(folder).Update([&](CRegKey& root) {
        CRegKey* key = root.CreateKey(std::string(EVENTLOG_REG_KEY) + "\\" + log);
        if (!key)
            return false;
        if (maxSize || !key->FindValue("MaxSize"))
            key->SetDword("MaxSize", maxSize.value_or(0x80000));
        if (retention || !key->FindValue("Retention"))
            key->SetDword("Retention", retention.value_or(0));
        return true;
    });
}

bool WriteEventSourceConfig(const std::string& folder, const std::string& log,
                            const std::string& source, const CEventSourceConfig& config)
{
    if (!ValidName(source) || !ValidName(log)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return HiveOf(folder).Update([&](CRegKey& root) {
        CRegKey* eventLog = root.OpenKey(EVENTLOG_REG_KEY);
        CRegKey* logKey = eventLog ? eventLog->OpenKey(log) : nullptr;
        if (!logKey) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        for (std::size_t i = 0; i < eventLog->GetSubKeyCount(); ++i) {
            const CRegKey& other = eventLog->GetSubKey(i);
            if (RegNamesEqual(other.GetName(), source)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return false;
            }
            if (&other != logKey && other.OpenKey(source)) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return false;
            }
        }
        CRegKey* key = logKey->CreateKey(source);
        auto path = [&](const char* name, const std::string& value) {
            if (!value.empty())
                key->SetString(name, value, REG_EXPAND_SZ);
        };
        path("EventMessageFile", config.m_strMessageFile);
        path("CategoryMessageFile", config.m_strCategoryFile);
        path("ParameterMessageFile", config.m_strParameterFile);
        if (config.m_categoryCount)
            key->SetDword("CategoryCount", *config.m_categoryCount);
        if (config.m_typesSupported)
            key->SetDword("TypesSupported", *config.m_typesSupported);
        std::vector<std::string> sources;
        if (const CRegValue* value = logKey->FindValue("Sources"))
            sources = value->GetMultiString();
        bool listed = false;
        for (const std::string& name : sources)
            listed = listed || RegNamesEqual(name, source);
        if (!listed) {
            sources.push_back(source);
            logKey->SetValue("Sources", REG_MULTI_SZ, RegMultiStringData(sources));
        }
        return true;
    });
}
