// The viewers in a light and a dark palette, also at twice the scale (CTest).
#include <cmath>

#include "core/keysandactions.h"
#include "ui/main/colorscheme.h"
#include "ui/viewers/eventlogmodel.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/logcacheview.h"
#include "ui/viewers/textpane.h"
#include "viewertest.h"

namespace {

// The contrast ratio of the accessibility guidelines (4.5 for body text).
double Contrast(QRgb a, QRgb b)
{
    auto luminance = [](QRgb rgb) {
        auto channel = [](int v) {
            const double c = v / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
               0.0722 * channel(qBlue(rgb));
    };
    const auto [lo, hi] = std::minmax({luminance(a), luminance(b)});
    return (hi + 0.05) / (lo + 0.05);
}

// The text's ink contrast: the strongest against the band's rightmost pixel.
double InkContrast(const QImage& image, QRect band)
{
    const double dpr = image.devicePixelRatio();
    band =
        QRect(QPoint(static_cast<int>(band.left() * dpr), static_cast<int>(band.top() * dpr)),
              QPoint(static_cast<int>(band.right() * dpr), static_cast<int>(band.bottom() * dpr)));
    band &= image.rect();
    const QRgb background = image.pixel(band.right(), band.center().y());
    double best = 1;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            best = std::max(best, Contrast(image.pixel(x, y), background));
    return best;
}

class ViewerLooks : public ViewerTest {
protected:
    void TearDown() override
    {
        QApplication::setPalette(QApplication::style()->standardPalette());
        ViewerTest::TearDown();
    }
};

TEST_F(ViewerLooks, HighlightsStayLegibleAndColumnsWholeInLightAndDarkPalettes)
{
    const struct {
        const char* name;
        QPalette palette;
    } palettes[] = {{"light", QApplication::style()->standardPalette()},
                    {"dark", CDesktopColorScheme::DarkPalette()}};
    // Seven sources, seven groups; the eighth colour is the first in another hue.
    WriteEventLog("Looks", 1, 40, [](DWORD n) {
        CEvtEvent e = MakeEvent(n);
        e.m_dwEventID = 1073741824u + n; // ten digits
        return e;
    });
    CEventMonitor* pEvents = m_frame.AddEventLog("Looks");
    CFileMonitor* pText = m_frame.AddTextLog(m_strDir, "looks.log");
    std::string lines;
    for (int g = 0; g < 8; ++g) {
        const std::string n = std::to_string(g);
        lines += "line of group " + n + "\n";
        pText->AddWatchGroup(TextGroup("", {"group " + n}));
        if (g < 7)
            pEvents->AddWatchGroup(SourceGroup("Source " + n, "Src" + n));
    }
    ASSERT_TRUE(AtomicWriteFile(m_strDir + "looks.log", lines));

    for (const auto& c : palettes) {
        SCOPED_TRACE(c.name);
        QApplication::setPalette(c.palette);

        CEventLogView events(m_frame);
        events.resize(1200, 500);
        events.show();
        events.ShowItem(pEvents->GetID());
        QTableView* list = events.GetList();
        list->selectionModel()->clear(); // the selection's colours are the style's own
        list->scrollToTop();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&events));
        const QImage rows = list->viewport()->grab().toImage();
        for (DWORD nRecord = 1; nRecord <= 7; ++nRecord) {
            SCOPED_TRACE(nRecord);
            const int nRow = events.RowOfRecord(nRecord);
            const QRect cell =
                list->visualRect(list->model()->index(nRow, CEventLogModel::COL_SOURCE));
            EXPECT_GE(InkContrast(rows, cell.adjusted(0, 1, 0, -1)), 4.5);
        }
        // Every value fits its column: the widest of the rows shown.
        const QFontMetrics metrics = list->fontMetrics();
        for (int col = 0; col < CEventLogModel::COL_COUNT - 1; ++col) {
            int nWidest = 0;
            for (int row = 0; row < 40; ++row)
                nWidest = std::max(nWidest, metrics.horizontalAdvance(
                                                list->model()->index(row, col).data().toString()));
            if (col == CEventLogModel::COL_DATE)
                nWidest += list->iconSize().isValid() ? list->iconSize().width() : 16;
            EXPECT_GE(list->columnWidth(col), nWidest) << "column " << col;
            EXPECT_GE(list->columnWidth(col), list->horizontalHeader()->sectionSizeHint(col))
                << "the heading of column " << col << " shows whole";
        }
        EXPECT_TRUE(list->horizontalHeader()->stretchLastSection());
        // The type icons are drawn for the screen's pixels, not scaled up.
        const qreal dpr = list->devicePixelRatioF();
        const QPixmap icon = EventTypeIcon(EVENTLOG_ERROR_TYPE).pixmap(QSize(16, 16), dpr);
        EXPECT_EQ(icon.width(), static_cast<int>(16 * dpr));

        CLogCacheView text(m_frame);
        text.resize(500, 300);
        text.show();
        text.ShowItem(pText->GetID());
        QTRY_VERIFY_WITH_TIMEOUT(!text.IsLoading(), 60000);
        CTextPane* pane = text.GetPane();
        pane->SetSelection(0, 0);
        const QImage page = pane->viewport()->grab().toImage();
        const int nHeight = pane->fontMetrics().lineSpacing();
        for (int g = 0; g < 8; ++g) {
            SCOPED_TRACE(g);
            const QRect line(0, g * nHeight + 1, pane->viewport()->width() - 2, nHeight - 2);
            EXPECT_GE(InkContrast(page, line), 4.5);
        }
    }
}

} // namespace
