#include "ui/viewers/highlights.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"
#include "ui/common/qtstrings.h"

QColor WatchGroupColor(int nGroup, const QPalette& palette)
{
    // Hues far apart, repeated after eight groups.
    static const int HUES[] = {210, 30, 120, 300, 180, 60, 0, 270};
    const int nHue = HUES[nGroup % 8];
    const bool bDark = palette.color(QPalette::Base).lightness() < 128;
    return bDark ? QColor::fromHsl(nHue, 120, 70) : QColor::fromHsl(nHue, 200, 215);
}

int MatchingTextGroup(const CMonitoredObject& log, std::string_view line)
{
    CSingleLock lock(g_csMonitor);
    const CPreparedLine prepared(line);
    for (int g = 0; g < log.GetWatchGroupCount(); ++g) {
        const CKeysAndActions* pGroup = log.GetWatchGroup(g);
        for (const CSearchKey* pKey : pGroup->m_arrKeys)
            if (const auto* pText = dynamic_cast<const CSearchKeyText*>(pKey);
                pText && pText->Match(prepared))
                return g;
    }
    return -1;
}

int MatchingEventGroupText(const CMonitoredObject& log, const CEventStruct& event,
                           const std::string* pDescription, bool& bNeedsText)
{
    CSingleLock lock(g_csMonitor);
    const CPreparedLine prepared(pDescription ? std::string_view(*pDescription)
                                              : std::string_view());
    for (int g = 0; g < log.GetWatchGroupCount(); ++g) {
        const CKeysAndActions* pGroup = log.GetWatchGroup(g);
        for (const CSearchKey* pKey : pGroup->m_arrKeys) {
            const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(pKey);
            if (!pEvent)
                continue;
            // Without the description a key that tests the text waits for it.
            if (!pDescription && pEvent->GetTextOperator() != OP_NONE) {
                bNeedsText = true;
                continue;
            }
            if (pEvent->Match(event, prepared))
                return g;
        }
    }
    return -1;
}

CHighlightLegend::CHighlightLegend(QWidget* parent)
    : QWidget(parent), m_pLayout(new QHBoxLayout(this))
{
    setObjectName("legend");
    m_pLayout->setContentsMargins(4, 1, 4, 1);
    hide();
}

void CHighlightLegend::ShowGroups(const CMonitoredObject* pLog)
{
    while (QLayoutItem* item = m_pLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int nGroups = pLog ? pLog->GetWatchGroupCount() : 0;
    if (nGroups == 0) {
        hide();
        return;
    }
    m_pLayout->addWidget(new QLabel(QStringLiteral("Watch groups:"), this));
    CSingleLock lock(g_csMonitor);
    for (int g = 0; g < nGroups; ++g) {
        auto* label = new QLabel(ToQt(pLog->GetWatchGroup(g)->m_strDescription), this);
        label->setObjectName(QStringLiteral("legend%1").arg(g));
        label->setAutoFillBackground(true);
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, WatchGroupColor(g, palette()));
        label->setPalette(pal);
        label->setMargin(2);
        m_pLayout->addWidget(label);
    }
    m_pLayout->addStretch();
    show();
}
