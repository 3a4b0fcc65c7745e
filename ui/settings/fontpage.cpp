#include <QFontDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cstring>

#include "ui/common/qtstrings.h"
#include "ui/settings/settingspages.h"
#include "workspace/quorvildoc.h"

namespace {

// a * b / c to the nearest whole number, as the system's multiply-divide.
int MulDiv(int a, int b, int c)
{
    long long product = static_cast<long long>(a) * b;
    long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

int ScreenDpi()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(screen->logicalDotsPerInchY() + 0.5) : 96;
}

int PointSize(const LOGFONT& font)
{
    return MulDiv(-font.lfHeight, 72, ScreenDpi());
}

QFont ToQFont(const LOGFONT& lf)
{
    QFont font(QString::fromLatin1(lf.lfFaceName));
    int points = PointSize(lf);
    if (points > 0)
        font.setPointSize(points);
    font.setWeight(static_cast<QFont::Weight>(lf.lfWeight > 0 ? lf.lfWeight : 400));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

} // namespace

CPageSelectedFonts::CPageSelectedFonts(CQuorvilDoc* pDoc, QWidget* parent)
    : CSettingsPage(parent), m_pDoc(pDoc)
{
    m_pSample = new QLabel(QStringLiteral("ABCDEabcde12345ABCDEabcde12345ABCDEabcde12345"));
    m_pSample->setObjectName(QStringLiteral("sample"));
    m_pSample->setFrameShape(QFrame::Box);
    m_pSample->setMinimumHeight(60);
    m_pDescription = new QLabel;
    m_pDescription->setObjectName(QStringLiteral("description"));
    auto* select = new QPushButton(QStringLiteral("Select ..."));
    select->setObjectName(QStringLiteral("selectFont"));
    connect(select, &QPushButton::clicked, this, [this] {
        bool ok = false;
        QFont font = QFontDialog::getFont(&ok, ToQFont(m_font), this);
        if (ok)
            ChooseFont(font);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pSample);
    layout->addWidget(m_pDescription);
    layout->addWidget(select, 0, Qt::AlignLeft);
    layout->addStretch();
}

void CPageSelectedFonts::Load()
{
    AppSettings::GetViewFont(m_font);
    ShowFont();
}

void CPageSelectedFonts::ChooseFont(const QFont& font)
{
    int points = font.pointSize() > 0 ? font.pointSize() : 8;
    m_font.lfHeight = -MulDiv(points, ScreenDpi(), 72);
    m_font.lfWidth = 0;
    m_font.lfWeight = font.weight();
    m_font.lfItalic = font.italic() ? 1 : 0;
    m_font.lfUnderline = font.underline() ? 1 : 0;
    m_font.lfStrikeOut = font.strikeOut() ? 1 : 0;
    std::string face = FromQt(font.family()).substr(0, LF_FACESIZE - 1);
    std::memset(m_font.lfFaceName, 0, sizeof(m_font.lfFaceName));
    std::memcpy(m_font.lfFaceName, face.data(), face.size());
    ShowFont();
    SetModified();
}

QString CPageSelectedFonts::GetDescription() const
{
    const char* style = m_font.lfWeight == 700 ? (m_font.lfItalic ? "Bold Italic" : "Bold")
                                               : (m_font.lfItalic ? "Italic" : "Regular");
    return QStringLiteral("%1, %2, %3")
        .arg(QString::fromLatin1(m_font.lfFaceName))
        .arg(PointSize(m_font))
        .arg(style);
}

void CPageSelectedFonts::ShowFont()
{
    m_pSample->setFont(ToQFont(m_font));
    m_pDescription->setText(GetDescription());
}

bool CPageSelectedFonts::Store()
{
    AppSettings::SetViewFont(m_font);
    // The text log viewer takes the new font from the settings hint.
    if (m_pDoc)
        m_pDoc->UpdateAllViews(ViewHint::SettingsChanged);
    return true;
}
