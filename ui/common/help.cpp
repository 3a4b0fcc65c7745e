#include "ui/common/help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <fstream>
#include <sstream>
#include <string>

#include "app/version.h"
#include "ui/common/qtstrings.h"

namespace {

// The manual beside the program: share/doc/quorvil/manual in an installed
// tree, <build>/docs/manual in a build tree (the program is in
// <build>/program); empty when neither holds index.html.
QString ManualFolder()
{
    const QString program = QFileInfo(ToQt(GetProgramFilePath())).absolutePath();
    for (const char* relative : {"/../share/doc/quorvil/manual/", "/../docs/manual/"}) {
        const QString folder = program + QString::fromLatin1(relative);
        if (QFileInfo::exists(folder + QStringLiteral("index.html")))
            return QFileInfo(folder).canonicalFilePath() + QStringLiteral("/");
    }
    return {};
}

} // namespace

QUrl HelpTopicUrl(int nTopic)
{
    const std::string folder = FromQt(ManualFolder());
    if (folder.empty())
        return {};
    std::string page = "index.html";
    std::string anchor;
    std::ifstream topics(folder + "topics.txt");
    for (std::string line; nTopic != 0 && std::getline(topics, line);) {
        std::istringstream fields(line);
        int number = 0;
        std::string place;
        if (!(fields >> number >> place) || number != nTopic)
            continue;
        const std::size_t hash = place.find('#');
        page = place.substr(0, hash);
        anchor = hash == std::string::npos ? "" : place.substr(hash + 1);
        break;
    }
    QUrl url = QUrl::fromLocalFile(ToQt(folder + page));
    if (!anchor.empty())
        url.setFragment(ToQt(anchor));
    return url;
}

bool ShowHelpTopic(int nTopic)
{
    const QUrl url = HelpTopicUrl(nTopic);
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}
