#include "ui/viewers/textpane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <string>

namespace {

constexpr int MARGIN = 4;

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool IsWordByte(char c)
{
    auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || b == '_' || (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') ||
           (b >= 'A' && b <= 'Z');
}

QString Shown(const char* p, std::size_t n)
{
    QString text = QString::fromUtf8(p, static_cast<qsizetype>(n));
    text.replace(QChar(0), QLatin1Char(' '));
    return text;
}

} // namespace

// The column of line numbers beside the text; it follows the pane's top line.
class CLineGutter : public QWidget {
public:
    explicit CLineGutter(CTextPane* pane) : QWidget(pane), m_pane(*pane)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    int Width() const
    {
        const int nDigits = static_cast<int>(std::to_string(m_pane.GetLineCount()).size());
        return m_pane.fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(nDigits, 3) +
               3 * MARGIN;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QPalette& pal = m_pane.palette();
        painter.fillRect(rect(), pal.color(QPalette::AlternateBase));
        painter.setPen(pal.color(QPalette::PlaceholderText));
        painter.setFont(m_pane.font());
        const QFontMetrics metrics = m_pane.fontMetrics();
        const int nHeight = metrics.lineSpacing();
        for (std::size_t nLine = m_pane.GetTopLine(); nLine < m_pane.GetLineCount(); ++nLine) {
            const int y = static_cast<int>(nLine - m_pane.GetTopLine()) * nHeight;
            if (y > height())
                break;
            painter.drawText(QRect(0, y, width() - 2 * MARGIN, nHeight),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(nLine + 1));
        }
    }

private:
    CTextPane& m_pane;
};

CTextPane::CTextPane(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateScrollBars();
}

void CTextPane::SetLineNumbers(bool bShow)
{
    if (bShow == HasLineNumbers())
        return;
    if (bShow) {
        m_pGutter = new CLineGutter(this);
        m_pGutter->show();
    } else {
        delete m_pGutter;
        m_pGutter = nullptr;
    }
    UpdateGutter();
}

void CTextPane::UpdateGutter()
{
    const int nWidth = m_pGutter ? m_pGutter->Width() : 0;
    if (viewportMargins().left() != nWidth)
        setViewportMargins(nWidth, 0, 0, 0);
    if (m_pGutter) {
        const QRect area = viewport()->geometry();
        m_pGutter->setGeometry(area.left() - nWidth, area.top(), nWidth, area.height());
        m_pGutter->update();
    }
}

void CTextPane::SetLineColors(std::function<QColor(std::size_t nLine)> fnColor)
{
    m_fnLineColor = std::move(fnColor);
    viewport()->update();
}

void CTextPane::GoToLine(std::size_t nLine)
{
    nLine = std::min(nLine, m_lineStarts.size() - 1);
    const auto nHalf = static_cast<std::size_t>(LinesPerPage() / 2);
    SetTopLine(nLine > nHalf ? nLine - nHalf : 0);
    MoveCursor(m_lineStarts[nLine], false);
}

void CTextPane::Clear()
{
    m_bytes.clear();
    m_lineStarts.assign(1, 0);
    m_nLongestLine = 0;
    m_nAnchor = m_nCursor = 0;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
    if (m_pGutter)
        UpdateGutter();
    emit SelectionChanged();
}

void CTextPane::Append(std::string_view bytes)
{
    std::size_t nBase = m_bytes.size();
    m_bytes.append(bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            m_nLongestLine = std::max(m_nLongestLine, nBase + i - m_lineStarts.back());
            m_lineStarts.push_back(nBase + i + 1);
        }
    }
    m_nLongestLine = std::max(m_nLongestLine, m_bytes.size() - m_lineStarts.back());
    UpdateScrollBars();
    viewport()->update();
    if (m_pGutter)
        UpdateGutter();
}

QString CTextPane::GetText() const
{
    QString text = QString::fromUtf8(m_bytes.data(), static_cast<qsizetype>(m_bytes.size()));
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::size_t CTextPane::LineOfOffset(std::size_t nOffset) const
{
    return static_cast<std::size_t>(
               std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), nOffset) -
               m_lineStarts.begin()) -
           1;
}

std::size_t CTextPane::LineEnd(std::size_t nLine) const
{
    std::size_t nStart = m_lineStarts[nLine];
    std::size_t nEnd =
        nLine + 1 < m_lineStarts.size() ? m_lineStarts[nLine + 1] - 1 : m_bytes.size();
    if (nEnd > nStart && m_bytes[nEnd - 1] == '\r' && nEnd < m_bytes.size())
        --nEnd;
    return nEnd;
}

QString CTextPane::LineText(std::size_t nLine) const
{
    if (nLine >= m_lineStarts.size())
        return {};
    std::size_t nStart = m_lineStarts[nLine];
    return Shown(m_bytes.data() + nStart, LineEnd(nLine) - nStart);
}

void CTextPane::SetSelection(std::size_t nAnchor, std::size_t nCursor)
{
    m_nAnchor = std::min(nAnchor, m_bytes.size());
    m_nCursor = std::min(nCursor, m_bytes.size());
    viewport()->update();
    emit SelectionChanged();
}

std::string CTextPane::GetSelectedBytes() const
{
    return m_bytes.substr(GetSelectionStart(), GetSelectionEnd() - GetSelectionStart());
}

std::size_t CTextPane::GetTopLine() const
{
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

void CTextPane::SetTopLine(std::size_t nLine)
{
    verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(nLine, INT_MAX)));
}

void CTextPane::ScrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

int CTextPane::LinesPerPage() const
{
    return std::max(1, viewport()->height() / fontMetrics().lineSpacing());
}

void CTextPane::UpdateScrollBars()
{
    const int nPage = LinesPerPage();
    const auto nLines = static_cast<qint64>(m_lineStarts.size());
    verticalScrollBar()->setRange(0,
                                  static_cast<int>(std::clamp<qint64>(nLines - nPage, 0, INT_MAX)));
    verticalScrollBar()->setPageStep(nPage);
    verticalScrollBar()->setSingleStep(1);
    const qint64 nWidth =
        static_cast<qint64>(m_nLongestLine) * fontMetrics().averageCharWidth() + 2 * MARGIN;
    horizontalScrollBar()->setRange(
        0, static_cast<int>(std::clamp<qint64>(nWidth - viewport()->width(), 0, INT_MAX)));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 4);
}

int CTextPane::XOfOffset(std::size_t nLine, std::size_t nOffset) const
{
    std::size_t nStart = m_lineStarts[nLine];
    nOffset = std::clamp(nOffset, nStart, LineEnd(nLine));
    return fontMetrics().horizontalAdvance(Shown(m_bytes.data() + nStart, nOffset - nStart));
}

std::size_t CTextPane::OffsetAt(const QPoint& pos) const
{
    const qint64 nRow = pos.y() < 0 ? -1 : pos.y() / fontMetrics().lineSpacing();
    const qint64 nLine = std::clamp<qint64>(static_cast<qint64>(GetTopLine()) + nRow, 0,
                                            static_cast<qint64>(m_lineStarts.size()) - 1);
    const auto nIndex = static_cast<std::size_t>(nLine);
    const QString text = LineText(nIndex);
    const int x = pos.x() + horizontalScrollBar()->value() - MARGIN;
    // The first character boundary right of x, by halving.
    qsizetype lo = 0;
    qsizetype hi = text.size();
    const QFontMetrics metrics = fontMetrics();
    while (lo < hi) {
        qsizetype mid = (lo + hi) / 2;
        int left = metrics.horizontalAdvance(text.left(mid));
        int right = metrics.horizontalAdvance(text.left(mid + 1));
        if (2 * x < left + right)
            hi = mid;
        else
            lo = mid + 1;
    }
    std::size_t nOffset =
        m_lineStarts[nIndex] + static_cast<std::size_t>(text.left(lo).toUtf8().size());
    return std::min(nOffset, LineEnd(nIndex));
}

void CTextPane::EnsureCursorVisible()
{
    const std::size_t nLine = LineOfOffset(m_nCursor);
    const std::size_t nTop = GetTopLine();
    const auto nPage = static_cast<std::size_t>(LinesPerPage());
    if (nLine < nTop)
        SetTopLine(nLine);
    else if (nLine >= nTop + nPage)
        SetTopLine(nLine - nPage + 1);
    const int x = XOfOffset(nLine, m_nCursor) + MARGIN;
    QScrollBar* pBar = horizontalScrollBar();
    if (x < pBar->value())
        pBar->setValue(std::max(0, x - MARGIN));
    else if (x > pBar->value() + viewport()->width() - MARGIN)
        pBar->setValue(x - viewport()->width() + 4 * MARGIN);
}

void CTextPane::MoveCursor(std::size_t nOffset, bool bExtend)
{
    m_nCursor = std::min(nOffset, m_bytes.size());
    if (!bExtend)
        m_nAnchor = m_nCursor;
    EnsureCursorVisible();
    viewport()->update();
    emit SelectionChanged();
}

void CTextPane::keyPressEvent(QKeyEvent* event)
{
    const bool bExtend = event->modifiers() & Qt::ShiftModifier;
    const bool bControl = event->modifiers() & Qt::ControlModifier;
    const std::size_t nLine = LineOfOffset(m_nCursor);
    const std::size_t nColumn = m_nCursor - m_lineStarts[nLine];
    const auto nPage = static_cast<std::size_t>(LinesPerPage());
    const std::size_t nLast = m_lineStarts.size() - 1;
    auto toLine = [&](std::size_t nTarget) {
        return std::min(m_lineStarts[nTarget] + nColumn, LineEnd(nTarget));
    };
    std::size_t n = m_nCursor;
    switch (event->key()) {
    case Qt::Key_Left:
        if (n > 0) {
            --n;
            while (n > 0 && IsContinuation(m_bytes[n]))
                --n;
            if (m_bytes[n] == '\n' && n > 0 && m_bytes[n - 1] == '\r')
                --n;
        }
        break;
    case Qt::Key_Right:
        if (n < m_bytes.size()) {
            n += m_bytes[n] == '\r' && n + 1 < m_bytes.size() && m_bytes[n + 1] == '\n' ? 2u : 1u;
            while (n < m_bytes.size() && IsContinuation(m_bytes[n]))
                ++n;
        }
        break;
    case Qt::Key_Up:
        n = nLine > 0 ? toLine(nLine - 1) : n;
        break;
    case Qt::Key_Down:
        n = nLine < nLast ? toLine(nLine + 1) : n;
        break;
    case Qt::Key_PageUp:
        n = toLine(nLine > nPage ? nLine - nPage : 0);
        SetTopLine(GetTopLine() > nPage ? GetTopLine() - nPage : 0);
        break;
    case Qt::Key_PageDown:
        n = toLine(std::min(nLine + nPage, nLast));
        SetTopLine(GetTopLine() + nPage);
        break;
    case Qt::Key_Home:
        n = bControl ? 0 : m_lineStarts[nLine];
        break;
    case Qt::Key_End:
        n = bControl ? m_bytes.size() : LineEnd(nLine);
        break;
    default:
        event->ignore();
        return;
    }
    MoveCursor(n, bExtend);
}

void CTextPane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    MoveCursor(OffsetAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void CTextPane::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        MoveCursor(OffsetAt(event->position().toPoint()), true);
}

void CTextPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    std::size_t nStart = OffsetAt(event->position().toPoint());
    std::size_t nEnd = nStart;
    while (nStart > 0 && IsWordByte(m_bytes[nStart - 1]))
        --nStart;
    while (nEnd < m_bytes.size() && IsWordByte(m_bytes[nEnd]))
        ++nEnd;
    SetSelection(nStart, nEnd);
}

void CTextPane::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    // The vertical bar counts lines, not pixels.
    viewport()->update();
    if (m_pGutter)
        m_pGutter->update();
}

void CTextPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    UpdateGutter();
}

void CTextPane::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateScrollBars();
        UpdateGutter();
        viewport()->update();
    }
}

void CTextPane::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(viewport());
    const QFontMetrics metrics = fontMetrics();
    const int nHeight = metrics.lineSpacing();
    const int x0 = MARGIN - horizontalScrollBar()->value();
    const std::size_t nTop = GetTopLine();
    const std::size_t nSelStart = GetSelectionStart();
    const std::size_t nSelEnd = GetSelectionEnd();
    const QPalette& pal = palette();
    for (std::size_t nLine = nTop; nLine < m_lineStarts.size(); ++nLine) {
        const int y = static_cast<int>(nLine - nTop) * nHeight;
        if (y > viewport()->height())
            break;
        const QString text = LineText(nLine);
        const std::size_t nStart = m_lineStarts[nLine];
        const std::size_t nEnd = LineEnd(nLine);
        if (m_fnLineColor)
            if (const QColor color = m_fnLineColor(nLine); color.isValid())
                painter.fillRect(QRect(0, y, viewport()->width(), nHeight), color);
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(x0, y + metrics.ascent(), text);
        const std::size_t nNext =
            nLine + 1 < m_lineStarts.size() ? m_lineStarts[nLine + 1] : m_bytes.size() + 1;
        if (nSelStart < nSelEnd && nSelStart < nNext && nSelEnd > nStart) {
            const int xa = x0 + XOfOffset(nLine, std::max(nSelStart, nStart));
            int xb = x0 + XOfOffset(nLine, std::min(nSelEnd, nEnd));
            if (nSelEnd > nEnd)
                xb += metrics.averageCharWidth(); // the line end is selected too
            const QRect selected(xa, y, xb - xa, nHeight);
            painter.fillRect(selected, pal.color(QPalette::Highlight));
            painter.save();
            painter.setClipRect(selected);
            painter.setPen(pal.color(QPalette::HighlightedText));
            painter.drawText(x0, y + metrics.ascent(), text);
            painter.restore();
        }
        if (hasFocus() && LineOfOffset(m_nCursor) == nLine) {
            const int xc = x0 + XOfOffset(nLine, m_nCursor);
            painter.fillRect(QRect(xc, y, 1, nHeight), pal.color(QPalette::Text));
        }
    }
}
