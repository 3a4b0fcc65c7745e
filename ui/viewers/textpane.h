#pragma once
// CTextPane: the read-only text area of the text log viewer. It keeps the
// file's bytes as they are, with the offset of each line, and draws only the
// lines in view, so a file of hundreds of megabytes costs little more memory
// than its size and shows its first lines while the rest still arrives
// (Append). Lines end at "\n"; a "\r" before it is not shown. Each line is
// shown as UTF-8.
//
// Positions are byte offsets into the text. The user selects with the mouse
// or with Shift and the arrow, Home, End, Page Up and Page Down keys (Control
// with Home and End: the start and end of the text); other keys are left to
// the owner.
//
// Threads: user interface thread only.
#include <QAbstractScrollArea>
#include <QColor>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CLineGutter;

class CTextPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CTextPane(QWidget* parent = nullptr);

    void Clear();
    // Adds bytes at the end; the view stays where it is.
    void Append(std::string_view bytes);
    const std::string& GetBytes() const { return m_bytes; }
    // The whole text as shown ("\r\n" as "\n").
    QString GetText() const;

    std::size_t GetLineCount() const { return m_lineStarts.size(); }
    // The offset of the line's first byte.
    std::size_t LineStart(std::size_t nLine) const { return m_lineStarts[nLine]; }
    std::size_t LineOfOffset(std::size_t nOffset) const;
    // The line as shown, without its end.
    QString LineText(std::size_t nLine) const;

    // The selection runs from the anchor to the cursor.
    void SetSelection(std::size_t nAnchor, std::size_t nCursor);
    std::size_t GetSelectionStart() const { return std::min(m_nAnchor, m_nCursor); }
    std::size_t GetSelectionEnd() const { return std::max(m_nAnchor, m_nCursor); }
    bool HasSelection() const { return m_nAnchor != m_nCursor; }
    std::string GetSelectedBytes() const;

    // The first line in view; scrolling keeps it within the text.
    std::size_t GetTopLine() const;
    void SetTopLine(std::size_t nLine);
    void ScrollToEnd();
    // Scrolls just enough for the cursor's line to be in view.
    void EnsureCursorVisible();
    // The lines that fit in the view.
    int LinesPerPage() const;
    // Line numbers in a column left of the text (off at first).
    void SetLineNumbers(bool bShow);
    bool HasLineNumbers() const { return m_pGutter != nullptr; }
    // The background of a line (an invalid colour: none), asked for the
    // lines in view as they are painted.
    void SetLineColors(std::function<QColor(std::size_t nLine)> fnColor);
    // Puts the caret at the start of the line (0-based) and shows the line
    // in the middle of the view.
    void GoToLine(std::size_t nLine);

signals:
    void SelectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class CLineGutter;
    void UpdateGutter();
    std::size_t LineEnd(std::size_t nLine) const; // offset of the line's end, before "\r\n"
    std::size_t OffsetAt(const QPoint& pos) const;
    int XOfOffset(std::size_t nLine, std::size_t nOffset) const;
    void MoveCursor(std::size_t nOffset, bool bExtend);
    void UpdateScrollBars();

    std::string m_bytes;
    std::vector<std::size_t> m_lineStarts{0};
    std::size_t m_nLongestLine = 0; // bytes, for the horizontal range
    std::size_t m_nAnchor = 0;
    std::size_t m_nCursor = 0;
    CLineGutter* m_pGutter = nullptr; // while line numbers show
    std::function<QColor(std::size_t)> m_fnLineColor;
};
