#include "ui/tree/pastesource.h"

#include <QMimeData>
#include <cctype>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "ui/common/qtclipboard.h"

namespace {

constexpr BnClipFormat OWN_FORMATS[] = {
    BnClipFormat::SEARCHKEYEVENT, BnClipFormat::WATCHEVENT,    BnClipFormat::WATCHTEXT,
    BnClipFormat::TASK,           BnClipFormat::SEARCHKEYTEXT, BnClipFormat::MONTEXTLOG,
    BnClipFormat::MONEVENTLOG,
};

unsigned OfferOf(BnClipFormat format)
{
    switch (format) {
    case BnClipFormat::SEARCHKEYEVENT:
        return OFFER_EVENT_KEY;
    case BnClipFormat::WATCHEVENT:
        return OFFER_EVENT_WATCH;
    case BnClipFormat::WATCHTEXT:
        return OFFER_TEXT_WATCH;
    case BnClipFormat::TASK:
        return OFFER_TASK;
    case BnClipFormat::SEARCHKEYTEXT:
        return OFFER_TEXT_KEY;
    case BnClipFormat::MONTEXTLOG:
        return OFFER_TEXT_LOG;
    case BnClipFormat::MONEVENTLOG:
        return OFFER_EVENT_LOG;
    case BnClipFormat::ACTION:
        break;
    }
    return 0;
}

// Reads one object, treating damaged data as absent.
template <typename Read> auto ReadOrNull(Read read) -> decltype(read())
{
    try {
        return read();
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace

CPasteSource CPasteSource::FromClipboard(IClipboard& clipboard)
{
    CPasteSource source;
    for (BnClipFormat format : OWN_FORMATS) {
        UINT uFormat = GetBnClipFormat(format);
        if (clipboard.IsFormatAvailable(uFormat))
            source.m_blocks[format] = std::string(clipboard.GetData(uFormat).GetBytes());
    }
    if (clipboard.IsFormatAvailable(CF_TEXT)) {
        const CGlobalMemory hText = clipboard.GetData(CF_TEXT);
        std::string_view text = hText.GetBytes();
        source.m_strText = std::string(text.substr(0, text.find('\0')));
        source.m_bText = true;
    }
    return source;
}

CPasteSource CPasteSource::FromMimeData(const QMimeData& data)
{
    CPasteSource source;
    for (BnClipFormat format : OWN_FORMATS) {
        UINT uFormat = GetBnClipFormat(format);
        if (HasBlock(data, uFormat))
            source.m_blocks[format] = std::string(GetBlock(data, uFormat).GetBytes());
    }
    if (data.hasText()) {
        source.m_strText = data.text().toUtf8().toStdString();
        source.m_bText = true;
    }
    return source;
}

unsigned CPasteSource::GetOffers() const
{
    unsigned offers = m_bText ? OFFER_PLAIN_TEXT : 0u;
    for (const auto& entry : m_blocks)
        offers |= OfferOf(entry.first);
    return offers;
}

CGlobalMemory CPasteSource::Block(BnClipFormat format) const
{
    auto it = m_blocks.find(format);
    return it == m_blocks.end() ? CGlobalMemory() : CGlobalMemory::FromBytes(it->second);
}

std::unique_ptr<CSearchKey> CPasteSource::ReadKey(BnClipFormat format) const
{
    return ReadOrNull([&] { return CSearchKey::FromGlobalMemory(Block(format)); });
}

std::unique_ptr<CKeysAndActions> CPasteSource::ReadWatchGroup(BnClipFormat format) const
{
    return ReadOrNull([&] { return CKeysAndActions::FromGlobalMemory(Block(format)); });
}

std::unique_ptr<CTask> CPasteSource::ReadTask() const
{
    return ReadOrNull(
        [&] { return CKeysAndActions::TaskFromGlobalMemory(Block(BnClipFormat::TASK)); });
}

std::unique_ptr<CMonitoredObject> CPasteSource::ReadLog(BnClipFormat format) const
{
    return ReadOrNull([&] { return CMonitoredObject::FromGlobalMemory(Block(format)); });
}

std::string TextKeyFromPlainText(const std::string& text)
{
    std::string key = text.substr(0, 99);
    auto allowed = [](unsigned char c) {
        return std::isalnum(c) || std::ispunct(c) || std::isblank(c) || c >= 0x80;
    };
    std::size_t end = 0;
    while (end < key.size() && allowed(static_cast<unsigned char>(key[end])))
        ++end;
    key.resize(end);
    std::size_t first = key.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return key.substr(first, key.find_last_not_of(" \t") - first + 1);
}
