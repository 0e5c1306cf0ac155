// Proves a merge before its work file replaces a Windows INF file. The
// profile functions that write the merged sections may see and keep only the
// first part of a large file, and nothing they return says so; a work file
// they cut would replace the target with its tail missing. So the target is
// read as it is before the merge and the work file after the last section
// write, both with plain file reads, and the work file passes only when it is
// the target with exactly the merge's lines added:
// - outside the sections the merge wrote, every line of the target is there,
//   in order, byte for byte;
// - in a section the merge wrote, every data line of the target (every line a
//   read returns, keyless ones included) is there once, in order, byte for
//   byte or as a section read returns it (key and value without the blanks
//   around them). Its comment and blank lines may have moved within it or
//   gone, since a profile writer may delete a section's keys and insert the
//   new ones without matching old to new; a comment it keeps is one of its
//   own, once;
// - every line the merge appended is there once, in order, in the section it
//   was written to: the first section of that name in the text that profile
//   reads see, or a new section of that name (its header as written) put in
//   before a header, an end-of-file mark or the end of the file;
// - nothing else: every data line that ended with a line end still does, and
//   no data line is cut, added, doubled or moved.
#pragma once

#include "platform/framework/CString.h"
#include "platform/win32.h"

#include <vector>

class CMergeCheck {
public:
    CMergeCheck();
    ~CMergeCheck();
    CMergeCheck(const CMergeCheck&) = delete;
    CMergeCheck& operator=(const CMergeCheck&) = delete;

    // Reads the target before the merge. A missing target reads as empty;
    // FALSE when it exists but cannot be read whole.
    BOOL ReadTarget(LPCSTR targetPath);
    // Whether the platform's profile functions see all of the target that
    // ReadTarget read: every section header and, when the last section's
    // name is its own, every line of it. A platform that reads only the
    // first part of a large file shows fewer of them; such a file must not
    // be merged at all.
    BOOL ProfileSeesWhole(LPCSTR targetPath) const;
    // Records that section was written with appended (lines NUL-ended, the
    // list length bytes long) after the lines it had. A section written
    // twice gathers its lines in order.
    void AddSection(LPCSTR section, LPCSTR appended, DWORD length);
    // Whether the file at workPath is the target with exactly the recorded
    // lines added (see above).
    BOOL Verify(LPCSTR workPath) const;
    // Whether the file at path still holds the target's text byte for byte.
    BOOL IsUnchanged(LPCSTR path) const;

    // The whole of a file through the Win32 file functions, not the profile
    // functions; a missing file is empty. FALSE when it cannot be read.
    static BOOL ReadWholeFile(LPCSTR path, std::vector<char>& text);

private:
    struct Written {
        CString name;
        std::vector<CString> lines;
    };

    std::vector<char> m_target;
    std::vector<Written> m_written;
};
