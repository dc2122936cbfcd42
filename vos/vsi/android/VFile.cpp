// CVFile over the C library's buffered streams, with UTF-8 paths.
//
// Paths are converted into zero-filled stack buffers; nothing here touches
// the heap except SetLength's piece buffers. "\\" is turned into "/" after
// the conversion to UTF-8, which gives the same bytes as doing it on the
// UTF-16 text: the byte 0x5C never occurs inside a multi-byte UTF-8 sequence.
// 32-bit Linux hosts: readdir and stat fail with EOVERFLOW on file systems
// whose inode numbers or directory offsets need 64 bits unless the 64-bit
// interfaces are selected. Android's own structures are 64-bit already.
#if !defined(__ANDROID__) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64
#endif

#include "vos/VFile.h"

#include <dirent.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "vos/VCMMap.h"
#include "vos/VException.h"
#include "vos/VMem.h"
#include "vos/VString.h"
#include "vos/VTempl.h"
#include "vos/VTime.h"

VOS_NAMESPACE_BEGIN

namespace {

const char kModule[] = "zu/vos/vsi/VFile";
const char kSource[] = "vos/vsi/android/VFile";

// Path buffers, in bytes with the terminating zero.
const int kPathBytes = 256;
const int kDirBytes = 512;
const int kFilterBytes = 32;
// Longest path, in UTF-16 units, that CreateDirectory and IsDirectoryExist
// look at; GetDir's own bounds.
const int kMaxPathUnits = 256;
const int kMaxDirUnits = 255;
const int kMaxFilterUnits = 31;

const unsigned long kSetLengthPiece = 10240;

void VFileError(const char* message, unsigned int line) {
    CVException::SetLastError(CVString(message), kModule, kSource, line);
}

int VUnitCount(const unsigned short* s) {
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}

const unsigned short* VUnits(const CVString& s) { return s; }

// True when the units name exactly one UTF-8 path: no zero unit inside (the
// system would see the path end there) and no surrogate half without its
// partner (UTF-8 has no form for it; it would be replaced, naming another
// file).
bool VUnitsNameOnePath(const unsigned short* units, int count) {
    for (int i = 0; i < count; ++i) {
        const unsigned int u = units[i];
        if (u == 0) return false;
        if ((u & 0xF800) != 0xD800) continue;
        if (u >= 0xDC00 || i + 1 == count || (units[i + 1] & 0xFC00) != 0xDC00) return false;
        ++i;
    }
    return true;
}

// Converts count units into buf (size bytes), zero-filled and zero-terminated.
// False when there is no text, when it does not name one path, or when its
// UTF-8 form and the terminator do not fit; buf then stays empty.
bool VToUtf8(const unsigned short* units, int count, char* buf, int size) {
    memset(buf, 0, static_cast<size_t>(size));
    if (units == nullptr || count <= 0 || !VUnitsNameOnePath(units, count)) return false;
    const int n = CVCMMap::UnicodeToUtf8(const_cast<unsigned short*>(units),
                                         static_cast<unsigned int>(count), buf, size);
    buf[size - 1] = '\0';
    return n > 0 && buf[0] != '\0';
}

void VForwardSlashes(char* s) {
    for (; *s != '\0'; ++s) {
        if (*s == '\\') *s = '/';
    }
}

// Appends "/" unless text ends in one. False when the buffer has no room for
// it and the terminator: a path that fills its buffer exactly is refused
// rather than written past the end.
bool VAppendSlash(char* text, size_t size) {
    const size_t len = strlen(text);
    if (len > 0 && text[len - 1] == '/') return true;
    if (len + 2 > size) return false;
    text[len] = '/';
    text[len + 1] = '\0';
    return true;
}

// Decodes a directory entry's UTF-8 name into unicode: 1 when done, -1 when
// memory ran out, 0 for a name that is not well-formed UTF-8. Such a name
// (made by another program in another encoding) is left out of a listing:
// decoded with replacement characters it would no longer lead back to the
// file, and could lead to a different one.
int VDecodeName(const char* name, size_t nameLen, CVString& unicode) {
    unicode = CVCMMap::Utf8ToUnicode(name, static_cast<unsigned int>(nameLen));
    if (unicode.IsEmpty()) {
        // The string form gives an empty string both for a name that decodes
        // to nothing and when memory runs out; the count tells them apart.
        const int units = CVCMMap::MultiByteToWideChar(65001, name, static_cast<int>(nameLen), nullptr, 0);
        return units > 0 ? -1 : 0;
    }
    // Well-formed exactly when the units give back the same bytes.
    char again[kPathBytes];
    const int n = CVCMMap::UnicodeToUtf8(const_cast<unsigned short*>(VUnits(unicode)),
                                         static_cast<unsigned int>(unicode.GetLength()), again, sizeof(again));
    return n > 0 && static_cast<size_t>(n - 1) == nameLen && memcmp(again, name, nameLen) == 0 ? 1 : 0;
}

}  // namespace

CVFile::CVFile() : m_hHandle(nullptr), m_dwFlags(0) {}

CVFile::~CVFile() {
    if (m_hHandle != nullptr) fclose(m_hHandle);
    m_hHandle = nullptr;
    m_dwFlags = 0;
}

int CVFile::IsOpened() { return m_hHandle != nullptr ? 1 : 0; }

int CVFile::Open(const CVString& path, unsigned long flags) {
    Close();

    const char* mode = nullptr;
    switch (flags & 7) {
    case VFILE_OPEN_READ:
        mode = "rb";
        break;
    case VFILE_OPEN_WRITE:
    case VFILE_OPEN_READWRITE:
        mode = (flags & VFILE_OPEN_CREATE) != 0 ? "w+b" : "r+b";
        break;
    default:
        // Opening anyway ("w+b") would cut a file the caller may only have
        // meant to read.
        VFileError("invalid share mode", __LINE__);
        return 0;
    }

    char utf8[kPathBytes];
    FILE* stream = nullptr;
    if (VToUtf8(VUnits(path), path.GetLength(), utf8, sizeof(utf8))) {
        VForwardSlashes(utf8);
        stream = fopen(utf8, mode);
    }
    if (stream == nullptr) {
        VFileError("m_hHandle is invalid", __LINE__);
        CVString shown(path);
        shown.Replace(static_cast<unsigned short>('\\'), static_cast<unsigned short>('/'));
        CVException::SetLastError(shown, kModule, kSource, __LINE__);
        return 0;
    }

    fseek(stream, 0, SEEK_SET);
    m_hHandle = stream;
    m_dwFlags = static_cast<uint32_t>(flags);
    return 1;
}

int CVFile::Close() {
    if (m_hHandle == nullptr) return 0;
    const int result = fclose(m_hHandle);
    m_hHandle = nullptr;
    m_dwFlags = 0;
    return result;
}

unsigned long CVFile::Read(void* buffer, unsigned long count) {
    if (m_hHandle == nullptr || count == 0) return 0;
    if (buffer == nullptr) {
        VFileError("pBuffer is null", __LINE__);
        return 0;
    }
    const size_t done = fread(buffer, 1, count, m_hHandle);
    // A short count at the end of the file is no error.
    if (done < count && ferror(m_hHandle)) VFileError("Read fail", __LINE__);
    return static_cast<unsigned long>(done);
}

unsigned long CVFile::Write(const void* data, unsigned long count) {
    if (m_hHandle == nullptr || count == 0) return 0;
    if (data == nullptr) {
        VFileError("pBuffer is null", __LINE__);
        return 0;
    }
    const size_t done = fwrite(data, 1, count, m_hHandle);
    if (done < count) VFileError("Write fail", __LINE__);
    return static_cast<unsigned long>(done);
}

int CVFile::Flush() {
    if (m_hHandle == nullptr) return 0;
    return fflush(m_hHandle);
}

int CVFile::SeekToBegin() {
    if (m_hHandle == nullptr) return 0;
    return fseek(m_hHandle, 0, SEEK_SET);
}

long CVFile::SeekToEnd() {
    if (m_hHandle == nullptr) return 0;
    fseek(m_hHandle, 0, SEEK_END);
    return GetPosition();
}

long CVFile::Seek(long offset, VFileSeekPosition origin) {
    if (m_hHandle == nullptr) return -1;
    fseek(m_hHandle, offset, static_cast<int>(origin));
    return GetPosition();
}

long CVFile::GetPosition() {
    if (m_hHandle == nullptr) return 0;
    return ftell(m_hHandle);
}

unsigned long CVFile::GetLength() const {
    if (m_hHandle == nullptr) return 0;
    const long here = ftell(m_hHandle);
    // A stream without positions (a pipe) has no length; ftell's -1 must not
    // pass for one of 4 GB.
    if (here < 0 || fseek(m_hHandle, 0, SEEK_END) != 0) {
        VFileError("GetLength fail", __LINE__);
        return 0;
    }
    const long length = ftell(m_hHandle);
    fseek(m_hHandle, here, SEEK_SET);
    if (length < 0) {
        VFileError("GetLength fail", __LINE__);
        return 0;
    }
    return static_cast<unsigned long>(length);
}

int CVFile::SetLength(unsigned long newLength) {
    if (m_hHandle == nullptr) {
        VFileError("m_hHandle is null", __LINE__);
        return 0;
    }
    const unsigned long length = GetLength();
    if (newLength <= length) {
        VFileError("dwNewLen is less than GetLength()", __LINE__);
        return 0;
    }
    if (m_dwFlags == VFILE_OPEN_READ) {
        VFileError("file is only read", __LINE__);
        return 0;
    }

    unsigned long remaining = newLength - length;
    while (remaining > 0) {
        const unsigned long piece = remaining < kSetLengthPiece ? remaining : kSetLengthPiece;
        void* zeros = CVMem::Allocate(piece, kSource, __LINE__);
        if (zeros == nullptr) {
            VFileError("cannot allocate", __LINE__);
            return 0;
        }
        // Zero bytes: the added part must not carry old heap content to disk.
        memset(zeros, 0, piece);
        SeekToEnd();
        const unsigned long written = Write(zeros, piece);
        CVMem::Deallocate(zeros);
        // A stream that refuses the bytes (opened for reading only, a full
        // disk) must not report a length it did not reach.
        if (written != piece) return 0;
        remaining -= piece;
    }
    return 1;
}

int CVFile::InitFileSystem() { return 1; }

int CVFile::UnInitFileSystem() { return 1; }

int CVFile::GetTimeStamp(const CVString& path, tagVTime* first, tagVTime* second,
                         tagVTime* third) {
    char utf8[kPathBytes];
    if (!VToUtf8(VUnits(path), path.GetLength(), utf8, sizeof(utf8))) return 0;
    struct stat info;
    if (stat(utf8, &info) != 0) return 0;
    if (first != nullptr) *first = tagVTime(static_cast<long>(info.st_ctime));
    if (second != nullptr) *second = tagVTime(static_cast<long>(info.st_mtime));
    if (third != nullptr) *third = tagVTime(static_cast<long>(info.st_atime));
    return 1;
}

int CVFile::Rename(const unsigned short* from, const unsigned short* to) {
    if (from == nullptr || to == nullptr) return 0;
    char fromUtf8[kPathBytes];
    char toUtf8[kPathBytes];
    if (!VToUtf8(from, VUnitCount(from), fromUtf8, sizeof(fromUtf8))) return 0;
    if (!VToUtf8(to, VUnitCount(to), toUtf8, sizeof(toUtf8))) return 0;
    return rename(fromUtf8, toUtf8) == 0 ? 1 : 0;
}

int CVFile::Remove(const unsigned short* path) {
    if (path == nullptr) return 0;
    char utf8[kPathBytes];
    if (!VToUtf8(path, VUnitCount(path), utf8, sizeof(utf8))) return 0;
    return remove(utf8) == 0 ? 1 : 0;
}

int CVFile::CreateDirectory(const unsigned short* path) {
    if (path == nullptr) return 0;
    const int units = VUnitCount(path);
    if (units > kMaxPathUnits) return 0;

    char utf8[kPathBytes];
    if (!VToUtf8(path, units, utf8, sizeof(utf8)) && units > 0) return 0;
    VForwardSlashes(utf8);
    if (!VAppendSlash(utf8, sizeof(utf8))) return 0;

    // From the second byte on, so that the "/" of an absolute path is never
    // taken for the end of a component.
    for (size_t i = 1; utf8[i] != '\0'; ++i) {
        if (utf8[i] != '/') continue;
        utf8[i] = '\0';
        if (access(utf8, F_OK) != 0 && mkdir(utf8, 0755) != 0) return 0;
        utf8[i] = '/';
    }
    return 1;
}

int CVFile::IsFileExist(const unsigned short* path) {
    if (path == nullptr || path[0] == 0) return 0;
    char utf8[kPathBytes];
    if (!VToUtf8(path, VUnitCount(path), utf8, sizeof(utf8))) return 0;
    return access(utf8, F_OK) == 0 ? 1 : 0;
}

int CVFile::IsDirectoryExist(const unsigned short* path) {
    if (path == nullptr) return 0;
    const int units = VUnitCount(path);
    if (units > kMaxPathUnits) return 0;
    char utf8[kPathBytes];
    if (!VToUtf8(path, units, utf8, sizeof(utf8))) return 0;
    VForwardSlashes(utf8);
    // With the trailing "/" only a directory passes access().
    if (!VAppendSlash(utf8, sizeof(utf8))) return 0;
    return access(utf8, F_OK) == 0 ? 1 : 0;
}

int CVFile::GetDir(const CVString& dir, const CVString& filter, CVArray<CVString, CVString&>& out) {
    if (dir.GetLength() > kMaxDirUnits || filter.GetLength() > kMaxFilterUnits || out.GetSize() > 0) {
        VFileError("params illegal", __LINE__);
        return 0;
    }

    char dirUtf8[kDirBytes];
    if (!VToUtf8(VUnits(dir), dir.GetLength(), dirUtf8, sizeof(dirUtf8))) return 0;
    VForwardSlashes(dirUtf8);
    if (!VAppendSlash(dirUtf8, sizeof(dirUtf8))) return 0;

    char filterUtf8[kFilterBytes];
    size_t filterLen = 0;
    if (filter.GetLength() > 0) {
        if (!VToUtf8(VUnits(filter), filter.GetLength(), filterUtf8, sizeof(filterUtf8))) return 0;
        filterLen = strlen(filterUtf8);
        if (filterUtf8[0] != '.') {
            // "txt" selects the same names as ".txt"; a filter that fills
            // its buffer has no room for the dot.
            if (filterLen + 2 > sizeof(filterUtf8)) return 0;
            memmove(filterUtf8 + 1, filterUtf8, filterLen + 1);
            filterUtf8[0] = '.';
            ++filterLen;
        }
    }

    DIR* listing = opendir(dirUtf8);
    if (listing == nullptr) return 0;
    for (struct dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        const size_t nameLen = strlen(name);
        if (filterLen > 0 &&
            (nameLen < filterLen || memcmp(name + nameLen - filterLen, filterUtf8, filterLen) != 0)) {
            continue;
        }
        CVString unicode;
        const int decoded = VDecodeName(name, nameLen, unicode);
        if (decoded == 0) continue;
        const int index = decoded < 0 ? -1 : out.Add(unicode);
        if (index < 0 || out[index].IsEmpty()) {
            // Memory ran out: a listing with names missing or empty would
            // pass for the directory's content, so it is refused whole.
            closedir(listing);
            out.SetSize(0);
            VFileError("cannot allocate", __LINE__);
            return 0;
        }
    }
    closedir(listing);
    return out.GetSize();
}

int CVFile::GetDir(const CVString& dir, CVArray<CVString, CVString&>& out) {
    return GetDir(dir, CVString(), out);
}

VOS_NAMESPACE_END
