#pragma once
// Marks in the viewers for the entries that a log's watch groups would
// catch: each group has a colour (by its position), an entry takes the
// colour of the first group with a key that matches it, and a legend names
// the groups with their colours.
//
// Threads: user interface thread; the keys are read under g_csMonitor.
#include <QColor>
#include <QString>
#include <QWidget>
#include <string_view>

class CEventStruct;
class CMonitoredObject;
class QHBoxLayout;

// The colour of the group at this position: a tint that keeps the text
// readable on the palette's base, light or dark.
QColor WatchGroupColor(int nGroup, const QPalette& palette);

// The first group with a key that matches; -1 when none does. An event's
// description is rendered only when some key looks at the text (fnDescription).
int MatchingTextGroup(const CMonitoredObject& log, std::string_view line);
template <typename DescriptionFn>
int MatchingEventGroup(const CMonitoredObject& log, const CEventStruct& event,
                       DescriptionFn fnDescription);

// A row of coloured names of the log's watch groups; hidden when the log
// has none.
class CHighlightLegend : public QWidget {
    Q_OBJECT
public:
    explicit CHighlightLegend(QWidget* parent = nullptr);
    void ShowGroups(const CMonitoredObject* pLog);

private:
    QHBoxLayout* m_pLayout;
};

int MatchingEventGroupText(const CMonitoredObject& log, const CEventStruct& event,
                           const std::string* pDescription, bool& bNeedsText);

template <typename DescriptionFn>
int MatchingEventGroup(const CMonitoredObject& log, const CEventStruct& event,
                       DescriptionFn fnDescription)
{
    bool bNeedsText = false;
    int nGroup = MatchingEventGroupText(log, event, nullptr, bNeedsText);
    if (nGroup >= 0 || !bNeedsText)
        return nGroup;
    const std::string description = fnDescription();
    return MatchingEventGroupText(log, event, &description, bNeedsText);
}
