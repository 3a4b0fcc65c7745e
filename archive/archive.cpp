#include "archive/archive.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// The stream is little-endian whatever the host is.
template <class T> T FromLittleEndian(T v)
{
    if constexpr (std::endian::native == std::endian::big) {
        if constexpr (sizeof(T) == 2)
            return __builtin_bswap16(v);
        else if constexpr (sizeof(T) == 4)
            return __builtin_bswap32(v);
        else
            return __builtin_bswap64(v);
    }
    return v;
}

std::string ClassName(const CRuntimeClass* pClass)
{
    return pClass->m_lpszClassName;
}

} // namespace

CArchiveException::CArchiveException(int cause, const std::string& message, QWORD nOffset,
                                     const std::string& fileName)
    : CException((fileName.empty() ? "Archive" : fileName) + " is damaged at byte " +
                 std::to_string(nOffset) + ": " + message),
      m_cause(cause), m_nOffset(nOffset), m_strFileName(fileName)
{
}

CArchive::CArchive(CFile* pFile, UINT nMode, UINT nBufSize)
    : m_pFile(pFile), m_nMode(nMode == load ? load : store), m_buffer(std::max<UINT>(nBufSize, 64)),
      m_strFileName(pFile->GetFilePath())
{
    if (IsLoading()) {
        QWORD nLength = pFile->GetLength();
        QWORD nPos = pFile->GetPosition();
        m_nFileLeft = nLength > nPos ? nLength - nPos : 0;
        m_loadArray.push_back({nullptr, nullptr, 0, false});
    }
}

CArchive::~CArchive()
{
    if (m_pFile && IsStoring()) {
        try {
            Flush();
        } catch (const CException&) {
            // Close() reports write errors; a destructor cannot.
        }
    }
}

void CArchive::Fail(int cause, const std::string& message) const
{
    throw CArchiveException(cause, message, m_nOffset, m_strFileName);
}

void CArchive::RequireMode(Mode mode) const
{
    if (!m_pFile)
        Fail(CArchiveException::generic, "the archive is closed");
    if (mode != m_nMode)
        Fail(mode == store ? CArchiveException::readOnly : CArchiveException::writeOnly,
             mode == store ? "writing to a loading archive" : "reading from a storing archive");
}

void CArchive::Flush()
{
    if (m_pFile && IsStoring() && m_nBufPos > 0) {
        std::size_t n = m_nBufPos;
        m_nBufPos = 0;
        m_pFile->Write(m_buffer.data(), static_cast<UINT>(n));
    }
}

void CArchive::Close()
{
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort()
{
    m_nBufPos = 0;
    m_pFile = nullptr;
}

// ---------------------------------------------------------------- raw bytes

CArchive& CArchive::WriteRaw(const void* p, std::size_t n)
{
    RequireMode(store);
    const char* src = static_cast<const char*>(p);
    m_nOffset += n;
    if (m_nBufPos + n > m_buffer.size()) {
        Flush();
        if (n >= m_buffer.size()) {
            while (n > 0) {
                UINT chunk = static_cast<UINT>(std::min<std::size_t>(n, 1u << 30));
                m_pFile->Write(src, chunk);
                src += chunk;
                n -= chunk;
            }
            return *this;
        }
    }
    std::memcpy(m_buffer.data() + m_nBufPos, src, n);
    m_nBufPos += n;
    return *this;
}

void CArchive::Write(const void* lpBuf, UINT nMax)
{
    WriteRaw(lpBuf, nMax);
}

void CArchive::FillBuffer()
{
    std::size_t nWant = static_cast<std::size_t>(std::min<QWORD>(m_buffer.size(), m_nFileLeft));
    UINT nGot = nWant ? m_pFile->Read(m_buffer.data(), static_cast<UINT>(nWant)) : 0;
    m_nBufPos = 0;
    m_nBufEnd = nGot;
    // A file that turns out shorter than its length said ends here.
    m_nFileLeft = nGot < nWant ? 0 : m_nFileLeft - nGot;
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    RequireMode(load);
    char* dst = static_cast<char*>(lpBuf);
    std::size_t nDone = 0;
    while (nDone < nMax) {
        if (m_nBufPos == m_nBufEnd) {
            if (m_nFileLeft == 0)
                break;
            FillBuffer();
            if (m_nBufEnd == 0)
                break;
        }
        std::size_t n = std::min<std::size_t>(nMax - nDone, m_nBufEnd - m_nBufPos);
        std::memcpy(dst + nDone, m_buffer.data() + m_nBufPos, n);
        m_nBufPos += n;
        nDone += n;
    }
    m_nOffset += nDone;
    return static_cast<UINT>(nDone);
}

void CArchive::ReadExact(void* lpBuf, std::size_t nCount)
{
    if (nCount > GetRemaining() || Read(lpBuf, static_cast<UINT>(nCount)) != nCount)
        Fail(CArchiveException::endOfFile, "unexpected end of the stream (" +
                                               std::to_string(nCount) + " bytes wanted, " +
                                               std::to_string(GetRemaining()) + " left)");
}

CArchive& CArchive::ReadRaw(void* p, std::size_t n)
{
    RequireMode(load);
    ReadExact(p, n);
    return *this;
}

QWORD CArchive::GetRemaining() const
{
    return IsLoading() ? (m_nBufEnd - m_nBufPos) + m_nFileLeft : 0;
}

// ------------------------------------------------------------------ numbers

CArchive& CArchive::operator<<(WORD w)
{
    w = FromLittleEndian(w);
    return WriteRaw(&w, sizeof w);
}

CArchive& CArchive::operator<<(DWORD dw)
{
    dw = FromLittleEndian(dw);
    return WriteRaw(&dw, sizeof dw);
}

CArchive& CArchive::operator<<(float f)
{
    return *this << std::bit_cast<DWORD>(f);
}

CArchive& CArchive::operator<<(double d)
{
    QWORD q = FromLittleEndian(std::bit_cast<QWORD>(d));
    return WriteRaw(&q, sizeof q);
}

CArchive& CArchive::operator>>(WORD& w)
{
    ReadRaw(&w, sizeof w);
    w = FromLittleEndian(w);
    return *this;
}

CArchive& CArchive::operator>>(short& n)
{
    WORD w;
    *this >> w;
    n = static_cast<short>(w);
    return *this;
}

CArchive& CArchive::operator>>(DWORD& dw)
{
    ReadRaw(&dw, sizeof dw);
    dw = FromLittleEndian(dw);
    return *this;
}

CArchive& CArchive::operator>>(LONG& l)
{
    DWORD dw;
    *this >> dw;
    l = static_cast<LONG>(dw);
    return *this;
}

CArchive& CArchive::operator>>(float& f)
{
    DWORD dw;
    *this >> dw;
    f = std::bit_cast<float>(dw);
    return *this;
}

CArchive& CArchive::operator>>(double& d)
{
    QWORD q;
    ReadRaw(&q, sizeof q);
    d = std::bit_cast<double>(FromLittleEndian(q));
    return *this;
}

CArchive& CArchive::operator>>(CTime& t)
{
    LONG l;
    *this >> l;
    t = CTime(l);
    return *this;
}

// ------------------------------------------------------------------ strings

CArchive& CArchive::operator<<(std::string_view str)
{
    std::size_t n = str.size();
    if (n > 0xFFFFFFFFu)
        Fail(CArchiveException::generic, "string longer than 4 GB");
    if (n < 255) {
        *this << static_cast<BYTE>(n);
    } else if (n < 0xFFFE) {
        *this << BYTE{0xFF} << static_cast<WORD>(n);
    } else {
        *this << BYTE{0xFF} << WORD{0xFFFF} << static_cast<DWORD>(n);
    }
    return WriteRaw(str.data(), n);
}

CArchive& CArchive::operator>>(std::string& str)
{
    BYTE bLen;
    *this >> bLen;
    DWORD nLen = bLen;
    if (bLen == 0xFF) {
        WORD wLen;
        *this >> wLen;
        nLen = wLen;
        if (wLen == 0xFFFE)
            Fail(CArchiveException::generic, "a wide-character string (only 8-bit text is read)");
        if (wLen == 0xFFFF)
            *this >> nLen;
    }
    if (nLen > GetRemaining())
        Fail(CArchiveException::endOfFile,
             "string of " + std::to_string(nLen) + " bytes runs past the end of the stream");
    str.resize(nLen);
    ReadExact(str.data(), nLen);
    return *this;
}

// ------------------------------------------------------------------- counts

void CArchive::WriteCount(DWORD dwCount)
{
    if (dwCount < 0xFFFF) {
        *this << static_cast<WORD>(dwCount);
    } else {
        *this << WORD{0xFFFF} << dwCount;
    }
}

DWORD CArchive::ReadCount(UINT nMinItemBytes)
{
    WORD wCount;
    *this >> wCount;
    DWORD dwCount = wCount;
    if (wCount == 0xFFFF)
        *this >> dwCount;
    CheckCount(dwCount, nMinItemBytes);
    return dwCount;
}

void CArchive::CheckCount(QWORD nCount, QWORD nMinItemBytes) const
{
    if (nMinItemBytes && nCount > GetRemaining() / nMinItemBytes)
        Fail(CArchiveException::endOfFile,
             "count of " + std::to_string(nCount) + " items runs past the end of the stream");
}

void SerializeStrings(CArchive& ar, std::vector<std::string>& arr)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(arr.size()));
        for (const std::string& s : arr)
            ar << s;
    } else {
        DWORD n = ar.ReadCount(1);
        arr.assign(n, std::string());
        for (std::string& s : arr)
            ar >> s;
    }
}

void SerializeNumbers(CArchive& ar, std::vector<DWORD>& arr)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(arr.size()));
        for (DWORD v : arr)
            ar << v;
    } else {
        DWORD n = ar.ReadCount(4);
        arr.assign(n, 0);
        for (DWORD& v : arr)
            ar >> v;
    }
}

// ------------------------------------------------------- classes and objects

DWORD CArchive::NextMapIndex()
{
    if (m_nMapCount >= nMaxMapCount)
        Fail(CArchiveException::badIndex, "too many objects in one archive");
    return m_nMapCount++;
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef)
{
    RequireMode(store);
    if (!pClassRef->IsSerializable())
        Fail(CArchiveException::badClass, "class " + ClassName(pClassRef) + " is not serializable");
    auto it = m_storeMap.find(pClassRef);
    if (it != m_storeMap.end()) {
        DWORD nClassIndex = it->second;
        if (nClassIndex < wBigObjectTag) {
            *this << static_cast<WORD>(wClassTag | nClassIndex);
        } else {
            *this << wBigObjectTag << (dwBigClassTag | nClassIndex);
        }
        return;
    }
    std::string_view name = pClassRef->m_lpszClassName;
    *this << wNewClassTag << static_cast<WORD>(pClassRef->m_wSchema)
          << static_cast<WORD>(name.size());
    WriteRaw(name.data(), name.size());
    m_storeMap.emplace(pClassRef, NextMapIndex());
}

void CArchive::WriteObject(const CObject* pOb)
{
    RequireMode(store);
    if (!pOb) {
        *this << wNullTag;
        return;
    }
    auto it = m_storeMap.find(pOb);
    if (it != m_storeMap.end()) {
        DWORD nObIndex = it->second;
        if (nObIndex < wBigObjectTag) {
            *this << static_cast<WORD>(nObIndex);
        } else {
            *this << wBigObjectTag << nObIndex;
        }
        return;
    }
    WriteClass(pOb->GetRuntimeClass());
    m_storeMap.emplace(pOb, NextMapIndex());
    // Serialize is one operation for both directions; storing leaves the
    // object unchanged.
    const_cast<CObject*>(pOb)->Serialize(*this);
}

const CRuntimeClass* CArchive::LoadNewClass(UINT* pSchema)
{
    WORD wSchema;
    WORD nLen;
    *this >> wSchema >> nLen;
    if (nLen == 0 || nLen > nMaxClassName)
        Fail(CArchiveException::badClass, "class name of " + std::to_string(nLen) + " bytes");
    char name[nMaxClassName];
    ReadExact(name, nLen);
    std::string_view className(name, nLen);
    const CRuntimeClass* pClass = CRuntimeClass::FromName(className);
    if (!pClass)
        Fail(CArchiveException::badClass, "unknown class \"" + std::string(className) + "\"");
    if (!pClass->IsSerializable())
        Fail(CArchiveException::badClass, "class " + ClassName(pClass) + " is not serializable");
    if (wSchema != pClass->GetSchemaNumber() && !(pClass->m_wSchema & VERSIONABLE_SCHEMA))
        Fail(CArchiveException::badSchema, "class " + ClassName(pClass) + " stored with schema " +
                                               std::to_string(wSchema) + ", expected " +
                                               std::to_string(pClass->GetSchemaNumber()));
    *pSchema = wSchema;
    return pClass;
}

const CRuntimeClass* CArchive::ReadClassTag(const CRuntimeClass* pClassRefRequested, UINT* pSchema,
                                            DWORD* pObTag)
{
    RequireMode(load);
    WORD wTag;
    *this >> wTag;
    DWORD obTag;
    if (wTag == wBigObjectTag) {
        *this >> obTag;
    } else {
        obTag = (DWORD{static_cast<WORD>(wTag & wClassTag)} << 16) |
                static_cast<WORD>(wTag & ~wClassTag);
    }
    if (!(obTag & dwBigClassTag)) {
        if (!pObTag)
            Fail(CArchiveException::badIndex, "an object where a class reference was expected");
        *pObTag = obTag;
        return nullptr;
    }

    const CRuntimeClass* pClass;
    UINT nSchema;
    if (wTag == wNewClassTag) {
        pClass = LoadNewClass(&nSchema);
        m_loadArray.push_back({pClass, nullptr, nSchema, true});
        NextMapIndex();
    } else {
        DWORD nClassIndex = obTag & ~dwBigClassTag;
        if (nClassIndex == 0 || nClassIndex >= m_loadArray.size() ||
            !m_loadArray[nClassIndex].bIsClass)
            Fail(CArchiveException::badIndex,
                 "class index " + std::to_string(nClassIndex) + " names no class read before");
        pClass = m_loadArray[nClassIndex].pClass;
        nSchema = m_loadArray[nClassIndex].nSchema;
    }
    if (pClassRefRequested && !pClass->IsDerivedFrom(pClassRefRequested))
        Fail(CArchiveException::badClass, "class " + ClassName(pClass) + " where " +
                                              ClassName(pClassRefRequested) + " was expected");
    if (pSchema) {
        *pSchema = nSchema;
    } else {
        m_nObjectSchema = nSchema;
    }
    return pClass;
}

const CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema)
{
    return ReadClassTag(pClassRefRequested, pSchema, nullptr);
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef)
{
    if (IsStoring()) {
        WriteClass(pClassRef);
    } else {
        ReadClass(pClassRef);
    }
}

UINT CArchive::GetObjectSchema()
{
    UINT nResult = m_nObjectSchema;
    m_nObjectSchema = static_cast<UINT>(-1);
    return nResult;
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested)
{
    return ReadObjectImpl(pClassRefRequested, false);
}

CObject* CArchive::ReadObjectImpl(const CRuntimeClass* pClassRefRequested, bool bOwned)
{
    UINT nSchema = 0;
    DWORD obTag = 0;
    const CRuntimeClass* pClass = ReadClassTag(pClassRefRequested, &nSchema, &obTag);
    if (!pClass) {
        if (obTag == 0)
            return nullptr;
        if (obTag >= m_loadArray.size() || m_loadArray[obTag].bIsClass)
            Fail(CArchiveException::badIndex,
                 "object index " + std::to_string(obTag) + " names no object read before");
        if (bOwned || !m_bReferencesAllowed)
            Fail(CArchiveException::badIndex,
                 "second reference to object " + std::to_string(obTag));
        CObject* pOb = m_loadArray[obTag].pObject;
        if (!pOb)
            Fail(CArchiveException::badIndex,
                 "reference to object " + std::to_string(obTag) + " that is still being read");
        if (pClassRefRequested && !pOb->IsKindOf(pClassRefRequested))
            Fail(CArchiveException::badClass, "object of class " +
                                                  ClassName(pOb->GetRuntimeClass()) + " where " +
                                                  ClassName(pClassRefRequested) + " was expected");
        return pOb;
    }

    if (m_nDepth >= nMaxDepth)
        Fail(CArchiveException::generic, "objects nested too deeply");
    std::unique_ptr<CObject> pOb(pClass->CreateObject());
    DWORD nIndex = NextMapIndex();
    m_loadArray.push_back({pClass, nullptr, 0, false});

    // The object's Serialize sees its own schema; the caller's is restored
    // afterwards, also when the read fails.
    struct CRestore {
        CArchive& ar;
        UINT nSchemaSave;
        ~CRestore()
        {
            ar.m_nObjectSchema = nSchemaSave;
            --ar.m_nDepth;
        }
    } restore{*this, m_nObjectSchema};
    m_nObjectSchema = nSchema;
    ++m_nDepth;
    pOb->Serialize(*this);
    // Only a finished object can be referenced again.
    m_loadArray[nIndex].pObject = pOb.get();
    return pOb.release();
}

// ------------------------------------------------------- one-object archives

std::string StoreObjectToBytes(const CObject* pOb)
{
    CMemFile file(4096);
    CArchive ar(&file, CArchive::store);
    ar.WriteObject(pOb);
    ar.Close();
    std::size_t n = file.GetLength();
    std::string bytes = file.Detach();
    bytes.resize(n);
    return bytes;
}

std::unique_ptr<CObject> LoadObjectFromBytes(std::string_view bytes,
                                             const CRuntimeClass* pClassRequired)
{
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    std::unique_ptr<CObject> pOb(ar.ReadObject(pClassRequired));
    ar.Close();
    return pOb;
}
