#include "ui/common/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/base/win32error.h"

namespace {

QString MimeTypeOf(UINT uFormat)
{
    return QString::fromStdString(ClipboardFormatMimeType(uFormat));
}

} // namespace

void PutBlock(QMimeData& data, UINT uFormat, const CGlobalMemory& hMem)
{
    std::string_view bytes = hMem.GetBytes();
    if (uFormat == CF_TEXT) {
        bytes = bytes.substr(0, bytes.find('\0'));
        data.setText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
        return;
    }
    const QString type = MimeTypeOf(uFormat);
    if (!type.isEmpty())
        data.setData(type, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool HasBlock(const QMimeData& data, UINT uFormat)
{
    if (uFormat == CF_TEXT)
        return data.hasText();
    const QString type = MimeTypeOf(uFormat);
    return !type.isEmpty() && data.hasFormat(type);
}

CGlobalMemory GetBlock(const QMimeData& data, UINT uFormat)
{
    if (!HasBlock(data, uFormat))
        return {};
    if (uFormat == CF_TEXT)
        return CGlobalMemory::FromBytes(data.text().toUtf8().toStdString() + '\0');
    const QByteArray bytes = data.data(MimeTypeOf(uFormat));
    return CGlobalMemory::FromBytes(
        std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

BOOL CQtClipboard::Open()
{
    ++m_nOpen;
    return TRUE;
}

BOOL CQtClipboard::Close()
{
    if (m_nOpen == 0) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    --m_nOpen;
    return TRUE;
}

BOOL CQtClipboard::Empty()
{
    if (m_nOpen == 0) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    m_pending.clear();
    QGuiApplication::clipboard()->clear();
    return TRUE;
}

BOOL CQtClipboard::SetData(UINT uFormat, CGlobalMemory&& hMem)
{
    if (m_nOpen == 0) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    if (uFormat != CF_TEXT && ClipboardFormatMimeType(uFormat).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    m_pending[uFormat] = std::string(hMem.GetBytes());
    auto* pData = new QMimeData;
    for (const auto& [format, bytes] : m_pending)
        PutBlock(*pData, format, CGlobalMemory::FromBytes(bytes));
    QGuiApplication::clipboard()->setMimeData(pData); // takes ownership
    hMem.Free();
    return TRUE;
}

CGlobalMemory CQtClipboard::GetData(UINT uFormat)
{
    if (m_nOpen == 0) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return {};
    }
    const QMimeData* pData = QGuiApplication::clipboard()->mimeData();
    return pData ? GetBlock(*pData, uFormat) : CGlobalMemory();
}

BOOL CQtClipboard::IsFormatAvailable(UINT uFormat)
{
    const QMimeData* pData = QGuiApplication::clipboard()->mimeData();
    return pData && HasBlock(*pData, uFormat);
}
