#include "archive/file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/win32error.h"

CFileException::CFileException(int cause, DWORD lOsError, const std::string& fileName)
    : CException((fileName.empty() ? std::string("Memory file") : "File \"" + fileName + "\"") +
                 ": " +
                 (GetSystemErrorText(lOsError).empty() ? "error " + std::to_string(lOsError)
                                                       : GetSystemErrorText(lOsError))),
      m_cause(cause), m_lOsError(lOsError), m_strFileName(fileName)
{
}

int CFileException::CauseFromErrno(int err)
{
    switch (err) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case EINVAL:
    case ESPIPE:
        return badSeek;
    case EIO:
        return hardIO;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    default:
        return generic;
    }
}

CFile::~CFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

BOOL CFile::Open(const std::string& path, UINT nOpenFlags, CFileException* pError)
{
    Close();
    int flags = O_CLOEXEC;
    switch (nOpenFlags & 3) {
    case modeWrite:
        flags |= O_WRONLY;
        break;
    case modeReadWrite:
        flags |= O_RDWR;
        break;
    default:
        flags |= O_RDONLY;
        break;
    }
    if (nOpenFlags & modeCreate)
        flags |= (nOpenFlags & modeNoTruncate) ? O_CREAT : O_CREAT | O_TRUNC;
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        int err = errno;
        DWORD code = Win32ErrorFromErrno(err);
        SetLastError(code);
        if (pError)
            *pError = CFileException(CFileException::CauseFromErrno(err), code, path);
        return FALSE;
    }
    m_fd = fd;
    m_strFileName = path;
    return TRUE;
}

void CFile::ThrowErrno(int err) const
{
    throw CFileException(CFileException::CauseFromErrno(err), Win32ErrorFromErrno(err),
                         m_strFileName);
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    UINT nDone = 0;
    while (nDone < nCount) {
        ssize_t n = ::read(m_fd, static_cast<char*>(lpBuf) + nDone, nCount - nDone);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno);
        }
        if (n == 0)
            break;
        nDone += static_cast<UINT>(n);
    }
    return nDone;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    const char* p = static_cast<const char*>(lpBuf);
    while (nCount > 0) {
        ssize_t n = ::write(m_fd, p, nCount);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno);
        }
        p += n;
        nCount -= static_cast<UINT>(n);
    }
}

QWORD CFile::Seek(std::int64_t lOff, UINT nFrom)
{
    static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    off_t pos = ::lseek(m_fd, lOff, whence[std::min(nFrom, 2u)]);
    if (pos < 0)
        ThrowErrno(errno);
    return static_cast<QWORD>(pos);
}

QWORD CFile::GetPosition() const
{
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        ThrowErrno(errno);
    return static_cast<QWORD>(pos);
}

QWORD CFile::GetLength() const
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        ThrowErrno(errno);
    return static_cast<QWORD>(st.st_size);
}

void CFile::Flush()
{
    if (m_fd >= 0 && ::fsync(m_fd) != 0 && errno != EINVAL)
        ThrowErrno(errno);
}

void CFile::Close()
{
    if (m_fd >= 0) {
        int rc = ::close(m_fd);
        m_fd = -1;
        if (rc != 0 && errno != EINTR)
            ThrowErrno(errno);
    }
}

CMemFile::CMemFile(UINT nGrowBytes) : m_nGrowBytes(nGrowBytes) {}

CMemFile::CMemFile(const void* lpBuffer, std::size_t nSize)
    : m_pView(static_cast<const char*>(lpBuffer)), m_nFileSize(nSize), m_nGrowBytes(0)
{
}

void CMemFile::Attach(std::string block, UINT nGrowBytes)
{
    m_block = std::move(block);
    m_pView = nullptr;
    m_nFileSize = m_block.size();
    m_nPosition = 0;
    m_nGrowBytes = nGrowBytes;
}

std::string CMemFile::Detach()
{
    std::string block = m_pView ? std::string(m_pView, m_nFileSize) : std::move(m_block);
    Close();
    return block;
}

UINT CMemFile::Read(void* lpBuf, UINT nCount)
{
    std::size_t n =
        m_nPosition < m_nFileSize ? std::min<std::size_t>(nCount, m_nFileSize - m_nPosition) : 0;
    if (n)
        std::memcpy(lpBuf, Data() + m_nPosition, n);
    m_nPosition += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* lpBuf, UINT nCount)
{
    if (m_pView || (m_nGrowBytes == 0 && m_nPosition + nCount > m_block.size()))
        throw CFileException(CFileException::accessDenied, ERROR_ACCESS_DENIED, m_strFileName);
    std::size_t nEnd = m_nPosition + nCount;
    if (nEnd > m_block.size()) {
        std::size_t nNew = (nEnd + m_nGrowBytes - 1) / m_nGrowBytes * m_nGrowBytes;
        m_block.resize(nNew, '\0');
    }
    if (nCount)
        std::memcpy(m_block.data() + m_nPosition, lpBuf, nCount);
    m_nPosition = nEnd;
    m_nFileSize = std::max(m_nFileSize, nEnd);
}

QWORD CMemFile::Seek(std::int64_t lOff, UINT nFrom)
{
    std::int64_t base = nFrom == begin     ? 0
                        : nFrom == current ? static_cast<std::int64_t>(m_nPosition)
                                           : static_cast<std::int64_t>(m_nFileSize);
    if (base + lOff < 0)
        throw CFileException(CFileException::badSeek, ERROR_NEGATIVE_SEEK, m_strFileName);
    m_nPosition = static_cast<std::size_t>(base + lOff);
    return m_nPosition;
}

void CMemFile::Close()
{
    m_block.clear();
    m_pView = nullptr;
    m_nFileSize = 0;
    m_nPosition = 0;
}
