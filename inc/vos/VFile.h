/// @file
/// Files: CVFile, a file object over the C library's buffered streams, and the
/// static path operations (time stamps, rename, remove, directory creation,
/// existence tests and directory listing).
///
/// Paths are UTF-16 and reach the system as UTF-8; a path whose UTF-8 form
/// does not fit the operation's buffer (255 bytes, 511 for the directory of
/// GetDir, 31 for its name filter) is refused. A CVFile takes no lock: one
/// object is used by one thread at a time. The static operations use only
/// local buffers and may run on any number of threads at once. Failures are
/// handed to the last-error store under the module tag "zu/vos/vsi/VFile";
/// callers rely on the results.
#ifndef VOS_VFILE_H
#define VOS_VFILE_H

#include <stdio.h>

#include "vos/VDefine.h"
#include "vos/VString.h"
#include "vos/VTempl.h"
#include "vos/VTime.h"

VOS_NAMESPACE_BEGIN

class CVString;
struct tagVTime;
template <class TYPE, class ARG_TYPE>
class CVArray;

/// Open flags. The access value (flags & 7) must be exactly one of READ, WRITE
/// or READWRITE. Write access never appends by itself: without CREATE the file
/// must exist and keeps its content; with CREATE it is created or cut to
/// length 0. CREATE has no effect on READ.
enum VFileOpenFlag {
    VFILE_OPEN_READ = 0x0001,
    VFILE_OPEN_WRITE = 0x0002,
    VFILE_OPEN_READWRITE = 0x0004,
    VFILE_OPEN_CREATE = 0x1000
};

/// The origin of CVFile::Seek, handed to fseek unchanged.
enum VFileSeekPosition {
    VFILE_SEEK_BEGIN = 0,
    VFILE_SEEK_CURRENT = 1,
    VFILE_SEEK_END = 2
};

/// Positions and lengths are 32-bit: files of 2 GB and more are not supported.
class VOS_API CVFile {
public:
    CVFile();
    /// Closes the stream if one is held.
    virtual ~CVFile();

    /// 1 while a stream is held.
    int IsOpened();
    /// Closes whatever the object holds, then opens path ("\\" counts as "/").
    /// 1 on success; 0 for an invalid access value or a file that cannot be
    /// opened, and the object is then closed.
    int Open(const CVString& path, unsigned long flags);
    /// 0 when already closed; else the fclose result (0 on success).
    int Close();

    /// Up to count bytes; fewer at the end of the file. 0 when closed, for a
    /// count of 0 or a null buffer.
    unsigned long Read(void* buffer, unsigned long count);
    /// The number of bytes written; 0 when closed, for a count of 0 or null
    /// data.
    unsigned long Write(const void* data, unsigned long count);
    /// 0 when closed; else the fflush result.
    int Flush();

    /// 0 when closed; else the fseek result (0 on success).
    int SeekToBegin();
    /// Moves to the end and gives the new position, the length; 0 when closed.
    long SeekToEnd();
    /// The position after the move (unchanged when the move is refused);
    /// -1 when closed.
    long Seek(long offset, VFileSeekPosition origin);
    /// 0 when closed.
    long GetPosition();
    /// The length; the position is left where it was. 0 when closed.
    unsigned long GetLength() const;
    /// Lengthens the file to newLength with zero bytes, in pieces of at most
    /// 10240 bytes. 0 when closed, when newLength is not greater than the
    /// length, when the file was opened with exactly VFILE_OPEN_READ, when a
    /// piece buffer cannot be had or a piece cannot be written whole (the
    /// pieces already written stay).
    int SetLength(unsigned long newLength);

    /** @name File layer */
    ///@{
    /// The file layer has no state of its own: these exist so that the
    /// library's global start and stop have a file step. Both give 1.
    static int InitFileSystem();
    static int UnInitFileSystem();
    ///@}

    /// stat of path; each non-null pointer receives one time of the entry as
    /// local calendar time: first the status change, second the last
    /// modification, third the last access. 0 when stat fails.
    static int GetTimeStamp(const CVString& path, tagVTime* first, tagVTime* second,
                            tagVTime* third);
    /// 1 when from now has the name to (as rename does; an existing to may be replaced).
    static int Rename(const unsigned short* from, const unsigned short* to);
    /// Removes a file or an empty directory.
    static int Remove(const unsigned short* path);
    /// Creates path and every missing directory above it; 1 also when all of
    /// them exist already.
    static int CreateDirectory(const unsigned short* path);
    /// 1 when path names an existing file or directory.
    static int IsFileExist(const unsigned short* path);
    /// 1 when path names an existing directory.
    static int IsDirectoryExist(const unsigned short* path);
    /** @name Listing */
    ///@{
    /// Appends the names in dir that end with filter ("txt" and ".txt" both
    /// select names ending in ".txt"; an empty filter selects all) to out,
    /// which must be empty, in the order the system gives them, "." and ".."
    /// left out. Gives the number of names in out; 0 for bad parameters or a
    /// directory that cannot be opened. Without a filter, every name.
    static int GetDir(const CVString& dir, const CVString& filter,
                      CVArray<CVString, CVString&>& out);
    static int GetDir(const CVString& dir, CVArray<CVString, CVString&>& out);
    ///@}

    FILE* m_hHandle;     ///< the open stream; null while closed
    uint32_t m_dwFlags;  ///< the flags of the last successful Open; 0 while closed

private:
    CVFile(const CVFile&);
    CVFile& operator=(const CVFile&);
};

VOS_NAMESPACE_END

#endif  // VOS_VFILE_H
