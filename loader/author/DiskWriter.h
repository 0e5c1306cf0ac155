// Writes a finished driver disk: the Windows program, layout.ini and the
// files it names, under their 8.3 names, into a new folder or, for an output
// name ending in ".img", into a new FAT12 floppy image made with mtools
// (mformat, mcopy). Lists every file with its size, the total and the space
// left on the floppy, and writes nothing when the files do not fit it. The
// output appears whole or not at all.
#pragma once

#include "loader/author/DiskFiles.h"
#include "loader/author/FloppyFormat.h"

#include <ostream>
#include <string>
#include <vector>

namespace loader::author {

class DiskWriter {
public:
    enum class Result { Written, DoesNotFit, Failed };

    // files are written in their order. The listing goes to out; a reason
    // for not writing goes to error.
    static Result write(const std::vector<DiskFiles::File>& files, const std::string& output,
                        const FloppyFormat& format, std::ostream& out, std::string& error);

    // Why output cannot take a new disk: a folder that is not empty, an
    // image name that is a folder; false when it can.
    static bool refuseOutput(const std::string& output, std::string& error);
    // An output name ending in ".img", in any case: a floppy image.
    static bool isImage(const std::string& output);
    // Numbers as the listing shows them: 1,457,664.
    static std::string grouped(unsigned long long number);
};

} // namespace loader::author
