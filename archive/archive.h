#pragma once
// CArchive: the persistent object format of workspace files and clipboard
// data. An archive either stores (writes) or loads (reads) a byte stream on
// a CFile, never both. All numbers are little-endian.
//
//   32-bit number      4 bytes (LONG, DWORD, BOOL); 16-bit 2 bytes; byte 1
//   time               32-bit seconds since 1970 (CTime)
//   string             length L, then L bytes, no terminator. L < 255: one
//                      byte; L < 65534: byte 255, 16-bit L; otherwise byte
//                      255, 16-bit 65535, 32-bit L
//   count              16 bits when below 65535, else 16-bit 65535 and a
//                      32-bit count (WriteCount/ReadCount)
//   object record      16-bit tag:
//                        0            null object
//                        1..32766     reference to an object already in
//                                     the archive, by index
//                        32767        big reference: a 32-bit value follows,
//                                     top bit clear: object index, top bit
//                                     set: class index
//                        32768+i      class i (i < 32767) already seen; the
//                                     object's record follows
//                        65535        new class: 16-bit schema (low 16 bits),
//                                     16-bit name length, the name; the
//                                     object's record follows
//
// One index counter per archive, starting at 1, numbers classes and objects
// in order of first appearance: a new class takes the next index, then the
// new object takes the next one, before its record is written.
//
// Writing and reading objects:
//
//     CMemFile file(4096);
//     CArchive ar(&file, CArchive::store);
//     ar.WriteObject(pKey);                 // tag, class information, Serialize
//     ar.Close();
//
//     CMemFile in(bytes);
//     CArchive ar(&in, CArchive::load);
//     std::unique_ptr<CSearchKey> p = ar.ReadObjectAs<CSearchKey>();  // typed read
//
// A Serialize of a derived class (the rule for every persisted class):
//
//     void CSearchKeyText::Serialize(CArchive& ar)
//     {
//         if (ar.IsLoading())
//             ar.GetObjectSchema();                  // fetched, not used
//         ar.SerializeClass(RUNTIME_CLASS(CSearchKey)); // class reference of the base
//         CSearchKey::Serialize(ar);                 // the base's record
//         if (ar.IsStoring()) { ar << DWORD{1} << ...; } else { DWORD v; ar >> v >> ...; }
//     }
//
// Collections of owned objects are a 32-bit count and that many object
// records; check a count read with CheckCount(n, 2) before reserving for it.
// StoreObjectToBytes/LoadObjectFromBytes (below) make and read a whole
// one-object archive in memory; archive/globalarchive.h does the same
// in a block of global memory for the clipboard.
//
// Ownership while loading: every object that ReadObject creates belongs to
// the caller. Because this system only writes trees (each object once), a
// loading archive refuses references to objects already read (badIndex)
// unless SetObjectReferencesAllowed(true) was called; then the objects
// returned for such references are shared and the caller sorts out
// ownership. A Serialize that reads child objects must take ownership of
// each at once (into its list or a unique_ptr): when a read fails, the
// object being read is deleted and the exception goes on to the caller.
//
// Failures: a damaged or truncated stream, an unknown class name, a
// reference to an index never seen, a typed read that meets another class,
// a length or count running past the end all throw CArchiveException; I/O
// errors of the file throw CFileException. Both derive from CException and
// what() is a complete message. After an exception the archive must not be
// used again (except to be destroyed). Lengths are checked against the
// bytes left before anything is allocated.
//
// An archive and its file are used by one thread at a time.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/file.h"
#include "archive/object.h"
#include "platform/base/modeltime.h"
#include "platform/base/win32types.h"

class CArchiveException : public CException {
public:
    enum { none, generic, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

    CArchiveException(int cause, const std::string& message, QWORD nOffset,
                      const std::string& fileName);

    int m_cause;
    QWORD m_nOffset;           // byte offset in the stream where the fault was found
    std::string m_strFileName; // empty for memory files
};

class CArchive {
public:
    enum Mode : UINT { store = 0, load = 1 };

    static constexpr WORD wNullTag = 0;
    static constexpr WORD wNewClassTag = 0xFFFF;
    static constexpr WORD wClassTag = 0x8000;
    static constexpr DWORD dwBigClassTag = 0x80000000;
    static constexpr WORD wBigObjectTag = 0x7FFF;
    static constexpr DWORD nMaxMapCount = 0x3FFFFFFE;
    // Longest class name a reader accepts.
    static constexpr WORD nMaxClassName = 63;
    // Deepest nesting of object records a reader accepts.
    static constexpr UINT nMaxDepth = 256;

    // pFile must outlive the archive. nBufSize only sets how the file is
    // read and written, never the bytes.
    CArchive(CFile* pFile, UINT nMode, UINT nBufSize = 4096);
    // A storing archive not yet closed is flushed; errors are then lost, so
    // call Close to see them.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_nMode == load; }
    bool IsStoring() const { return m_nMode == store; }
    CFile* GetFile() const { return m_pFile; }

    // Storing: writes the buffered bytes to the file. Loading: no effect.
    void Flush();
    // Flushes and lets go of the file (the file stays open).
    void Close();
    // Lets go of the file without flushing.
    void Abort();

    // Raw bytes. Read returns fewer than nMax only at the end of the stream.
    UINT Read(void* lpBuf, UINT nMax);
    void Write(const void* lpBuf, UINT nMax);
    // Reads exactly nCount bytes or throws endOfFile.
    void ReadExact(void* lpBuf, std::size_t nCount);
    // Loading: bytes left in the stream. Storing: 0.
    QWORD GetRemaining() const;
    // Bytes read or written so far through this archive.
    QWORD GetOffset() const { return m_nOffset; }

    // Numbers, times and strings.
    CArchive& operator<<(BYTE by) { return WriteRaw(&by, 1); }
    CArchive& operator<<(char ch) { return WriteRaw(&ch, 1); }
    CArchive& operator<<(WORD w);
    CArchive& operator<<(short n) { return *this << static_cast<WORD>(n); }
    CArchive& operator<<(DWORD dw);
    CArchive& operator<<(LONG l) { return *this << static_cast<DWORD>(l); }
    CArchive& operator<<(float f);
    CArchive& operator<<(double d);
    CArchive& operator<<(CTime t) { return *this << t.GetTime(); }
    CArchive& operator<<(std::string_view str);
    CArchive& operator<<(const char* psz) { return *this << std::string_view(psz); }
    // No 8-byte or bool encodings exist: convert to LONG/DWORD/BOOL first.
    CArchive& operator<<(bool) = delete;
    CArchive& operator<<(long) = delete;
    CArchive& operator<<(unsigned long) = delete;
    CArchive& operator<<(long long) = delete;
    CArchive& operator<<(unsigned long long) = delete;

    CArchive& operator>>(BYTE& by) { return ReadRaw(&by, 1); }
    CArchive& operator>>(char& ch) { return ReadRaw(&ch, 1); }
    CArchive& operator>>(WORD& w);
    CArchive& operator>>(short& n);
    CArchive& operator>>(DWORD& dw);
    CArchive& operator>>(LONG& l);
    CArchive& operator>>(float& f);
    CArchive& operator>>(double& d);
    CArchive& operator>>(CTime& t);
    CArchive& operator>>(std::string& str);

    // Counts of string and number lists. ReadCount checks that the count of
    // items, each at least nMinItemBytes long, fits in the bytes left.
    void WriteCount(DWORD dwCount);
    DWORD ReadCount(UINT nMinItemBytes = 1);
    // Throws endOfFile when nCount items of at least nMinItemBytes each
    // cannot fit in the bytes left (use before reserving for a count).
    void CheckCount(QWORD nCount, QWORD nMinItemBytes) const;

    // Writes an object record: null tag, a reference if the object was
    // written before, else the class information and the object's Serialize.
    void WriteObject(const CObject* pOb);
    // Reads an object record; null for a null record. With a class given,
    // the class read must be it or derived from it (else badClass). The
    // result is a new object owned by the caller (see Ownership above).
    CObject* ReadObject(const CRuntimeClass* pClassRefRequested);
    // The typed read as an owning pointer; refuses object references.
    template <class T> std::unique_ptr<T> ReadObjectAs()
    {
        std::unique_ptr<CObject> pOb(ReadObjectImpl(T::GetThisClass(), true));
        if (pOb && !dynamic_cast<T*>(pOb.get()))
            Fail(CArchiveException::badClass, std::string("object of class ") +
                                                  pOb->GetRuntimeClass()->m_lpszClassName +
                                                  " where another class was expected");
        return std::unique_ptr<T>(static_cast<T*>(pOb.release()));
    }

    // The class information alone: new-class information the first time a
    // class is written to this archive, else the class tag.
    void WriteClass(const CRuntimeClass* pClassRef);
    // Reads class information; the class must be pClassRefRequested or
    // derived from it when given. The stored schema goes to *pSchema, or
    // when pSchema is null, to the object schema (GetObjectSchema).
    const CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = nullptr,
                                   UINT* pSchema = nullptr);
    // WriteClass when storing, ReadClass when loading.
    void SerializeClass(const CRuntimeClass* pClassRef);

    // Loading: the schema stored for the object being read (or for the
    // class last read by SerializeClass); each call returns it once, then
    // (UINT)-1.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

    void SetObjectReferencesAllowed(bool bAllowed) { m_bReferencesAllowed = bAllowed; }

    // Throws CArchiveException with the current offset and the file's name;
    // a Serialize may call it for damage it finds itself.
    [[noreturn]] void Fail(int cause, const std::string& message) const;

private:
    struct CLoadEntry {
        const CRuntimeClass* pClass; // the class, or the object's class
        CObject* pObject;            // null for a class entry or a failed object
        UINT nSchema;                // for a class entry: the schema stored with it
        bool bIsClass;
    };

    CArchive& WriteRaw(const void* p, std::size_t n);
    CArchive& ReadRaw(void* p, std::size_t n);
    void FillBuffer();
    CObject* ReadObjectImpl(const CRuntimeClass* pClassRefRequested, bool bOwned);
    // The class of a class tag, or null with *pObTag set for an object tag.
    const CRuntimeClass* ReadClassTag(const CRuntimeClass* pClassRefRequested, UINT* pSchema,
                                      DWORD* pObTag);
    const CRuntimeClass* LoadNewClass(UINT* pSchema);
    DWORD NextMapIndex();
    void RequireMode(Mode mode) const;

    CFile* m_pFile;
    Mode m_nMode;
    std::vector<char> m_buffer;
    std::size_t m_nBufPos = 0; // loading: next byte; storing: bytes buffered
    std::size_t m_nBufEnd = 0; // loading: end of the valid bytes
    QWORD m_nFileLeft = 0;     // loading: bytes of the file not yet buffered
    QWORD m_nOffset = 0;
    std::string m_strFileName;

    DWORD m_nMapCount = 1;
    std::unordered_map<const void*, DWORD> m_storeMap; // classes and objects written
    std::vector<CLoadEntry> m_loadArray;               // by index; [0] is the null object
    UINT m_nObjectSchema = static_cast<UINT>(-1);
    UINT m_nDepth = 0;
    bool m_bReferencesAllowed = false;
};

// String and number lists: a count, then each item (strings in the string
// encoding, numbers as 32 bits). Loading replaces the contents.
void SerializeStrings(CArchive& ar, std::vector<std::string>& arr);
void SerializeNumbers(CArchive& ar, std::vector<DWORD>& arr);

// One object as a complete archive in memory: the exact bytes written (no
// padding). LoadObjectFromBytes reads one object record that must be of
// pClassRequired (or derived) when given; throws CArchiveException.
std::string StoreObjectToBytes(const CObject* pOb);
std::unique_ptr<CObject> LoadObjectFromBytes(std::string_view bytes,
                                             const CRuntimeClass* pClassRequired);
