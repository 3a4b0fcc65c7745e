#pragma once
// The byte streams an archive reads and writes: CFile, a file on disk, and
// CMemFile, a block of memory that grows in fixed steps or a borrowed
// read-only view of bytes. Errors while reading or writing throw
// CFileException; both exception types of the archive derive from
// CException, so one catch handles every failure of a save or a load.
//
// A file object is used by one thread at a time.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/base/win32types.h"

// The base of the archive's exceptions; what() is a complete English message.
class CException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CFileException : public CException {
public:
    enum {
        none,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    CFileException(int cause, DWORD lOsError, const std::string& fileName);

    // The cause that stands for an errno value.
    static int CauseFromErrno(int err);

    int m_cause;
    DWORD m_lOsError; // Win32 error code
    std::string m_strFileName;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,     // create, or truncate an existing file
        modeNoTruncate = 0x2000, // with modeCreate: keep an existing file's contents
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens a file; FALSE (with the cause in *pError when given, and the
    // Win32 last error) when it cannot be opened.
    BOOL Open(const std::string& path, UINT nOpenFlags, CFileException* pError = nullptr);
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetFilePath() const { return m_strFileName; }
    // The name errors give the file (a file in memory has none of its own).
    void SetFilePath(const std::string& path) { m_strFileName = path; }

    // Reads up to nCount bytes; returns the number read (fewer only at the end).
    virtual UINT Read(void* lpBuf, UINT nCount);
    // Writes all bytes or throws.
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual QWORD Seek(std::int64_t lOff, UINT nFrom);
    virtual QWORD GetPosition() const;
    virtual QWORD GetLength() const;
    virtual void Flush();
    virtual void Close();

    QWORD SeekToBegin() { return Seek(0, begin); }

protected:
    [[noreturn]] void ThrowErrno(int err) const;

    int m_fd = -1;
    std::string m_strFileName;
};

// A file in memory. Writable files own their block, which grows in steps
// of nGrowBytes and is zero beyond the data; Detach hands the block over.
// A file made on a borrowed view reads those bytes in place (they must
// outlive the file) and refuses writes.
class CMemFile : public CFile {
public:
    explicit CMemFile(UINT nGrowBytes = 1024);
    CMemFile(const void* lpBuffer, std::size_t nSize);
    explicit CMemFile(std::string_view bytes) : CMemFile(bytes.data(), bytes.size()) {}

    // Takes an owned block as the file's contents (its length is the
    // block's size), growable in steps of nGrowBytes (0: not growable).
    void Attach(std::string block, UINT nGrowBytes = 0);
    // Hands over the whole block (size a multiple of the growth step, zeros
    // beyond GetLength()) and leaves the file empty. A borrowed view is
    // copied out.
    std::string Detach();

    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    QWORD Seek(std::int64_t lOff, UINT nFrom) override;
    QWORD GetPosition() const override { return m_nPosition; }
    QWORD GetLength() const override { return m_nFileSize; }
    void Flush() override {}
    void Close() override;

private:
    const char* Data() const { return m_pView ? m_pView : m_block.data(); }

    std::string m_block;           // owned storage, m_block.size() = buffer size
    const char* m_pView = nullptr; // borrowed bytes, read-only
    std::size_t m_nFileSize = 0;
    std::size_t m_nPosition = 0;
    UINT m_nGrowBytes;
};
