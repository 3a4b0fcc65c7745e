#include "ui/viewers/detailview.h"

#include "ui/viewers/eventlogview.h"

CDetailView2::CDetailView2(IMainFrame& frame, QWidget* parent)
    : QPlainTextEdit(parent), m_frame(frame)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

CDetailView2::~CDetailView2()
{
    Attach(nullptr);
}

void CDetailView2::Attach(CEventLogView* pViewer)
{
    if (m_pViewer)
        m_pViewer->SetDetailView(nullptr);
    m_pViewer = pViewer;
    clear();
    if (m_pViewer) {
        m_pViewer->SetDetailView(this);
        m_pViewer->UpdateDetail();
    }
}
