#pragma once
// CEventList: an ordered list of owned event records, the unit in which
// records are read from a log. Records are appended at the end and deleted
// together when the list is emptied or destroyed; pointers handed out stay
// valid until then. One thread at a time.
#include <cstddef>
#include <memory>
#include <vector>

#include "eventrecords/eventstruct.h"

class CEventList {
public:
    CEventList() = default;
    CEventList(const CEventList&) = delete;
    CEventList& operator=(const CEventList&) = delete;

    // Appends the record and takes ownership of it.
    void Add(std::unique_ptr<CEventStruct> pEvent) { m_arrEvents.push_back(std::move(pEvent)); }
    void Add(CEventStruct* pEvent) { Add(std::unique_ptr<CEventStruct>(pEvent)); }
    void DeleteAll() { m_arrEvents.clear(); }
    // Empties the list but keeps the records' memory for NewRecord, so a
    // reader that refills the list over and over allocates once.
    void Recycle()
    {
        for (auto& pEvent : m_arrEvents)
            m_arrSpare.push_back(std::move(pEvent));
        m_arrEvents.clear();
    }
    // A record to fill and Add: a recycled one (holding old values, which
    // SetFromRecord replaces) or a new empty one.
    std::unique_ptr<CEventStruct> NewRecord()
    {
        if (m_arrSpare.empty())
            return std::make_unique<CEventStruct>();
        std::unique_ptr<CEventStruct> pEvent = std::move(m_arrSpare.back());
        m_arrSpare.pop_back();
        return pEvent;
    }
    void Reserve(std::size_t nCount) { m_arrEvents.reserve(nCount); }

    // The record at the zero-based position, advancing the position; null
    // past the end.
    CEventStruct* GetNext(std::size_t& nPos) const
    {
        return nPos < m_arrEvents.size() ? m_arrEvents[nPos++].get() : nullptr;
    }
    // Null when the list is empty.
    CEventStruct* GetFirst() const
    {
        return m_arrEvents.empty() ? nullptr : m_arrEvents.front().get();
    }
    CEventStruct* GetLast() const
    {
        return m_arrEvents.empty() ? nullptr : m_arrEvents.back().get();
    }
    // The record number of the last record; 0 when the list is empty.
    DWORD GetLastRecordNumber() const
    {
        return m_arrEvents.empty() ? 0 : m_arrEvents.back()->m_nRecordNumber;
    }
    // The first record with that number, searched from the front; null when
    // there is none.
    CEventStruct* Find(DWORD nRecordNumber) const;

    std::size_t GetCount() const { return m_arrEvents.size(); }
    bool IsEmpty() const { return m_arrEvents.empty(); }

private:
    std::vector<std::unique_ptr<CEventStruct>> m_arrEvents;
    std::vector<std::unique_ptr<CEventStruct>> m_arrSpare; // recycled, not in the list
};
