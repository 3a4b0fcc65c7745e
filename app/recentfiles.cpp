#include "app/recentfiles.h"

#include <algorithm>

#include "settings/appsettings.h"

namespace {

std::string EntryName(int index)
{
    return "File" + std::to_string(index + 1);
}

} // namespace

void CRecentFileList::ReadList()
{
    m_arrNames.clear();
    for (int i = 0; i < SIZE; ++i) {
        std::string name = AppSettings::GetProfileString(SECTION, EntryName(i).c_str(), "");
        if (!name.empty())
            m_arrNames.push_back(std::move(name));
    }
}

void CRecentFileList::WriteList() const
{
    AppSettings::WriteProfileString(SECTION, nullptr, nullptr);
    for (int i = 0; i < GetCount(); ++i)
        AppSettings::WriteProfileString(SECTION, EntryName(i).c_str(),
                                        m_arrNames[static_cast<std::size_t>(i)].c_str());
}

void CRecentFileList::Add(const std::string& strPath)
{
    if (strPath.empty())
        return;
    std::vector<std::string> names{strPath};
    for (std::string& name : m_arrNames)
        if (name != strPath && names.size() < static_cast<std::size_t>(SIZE))
            names.push_back(std::move(name));
    m_arrNames = std::move(names);
}

std::string CRecentFileList::operator[](int index) const
{
    return index >= 0 && index < GetCount() ? m_arrNames[static_cast<std::size_t>(index)]
                                            : std::string();
}
