#include "loader/author/DiskWriter.h"

#include "loader/author/StagingFolder.h"
#include "platform/emu/hostsupport/HostTool.h"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <set>
#include <sstream>

namespace loader::author {

namespace {
// Inside the staging folder beside the files; a dot starts no 8.3 name.
const char kImageName[] = ".floppy.img";

std::string quotedPath(const std::string& path) {
    return "\"" + path + "\"";
}

// Runs an mtools program with argv through the runner the image drives use,
// in the same environment; its stdout goes to output. An upper-case 8.3
// name is written as its short entry alone, as DiskFiles makes every name.
bool mtools(const std::vector<std::string>& argv, std::string& output, std::string& error) {
    emu::hostsupport::ToolResult result = emu::hostsupport::HostTool::run(argv);
    output = result.output;
    if (result.succeeded()) {
        return true;
    }
    std::string said = result.errors.empty() ? result.output : result.errors;
    while (!said.empty() && said.back() == '\n') {
        said.pop_back();
    }
    if (result.status < 0) {
        error =
            argv[0] + " did not run (mtools makes floppy images: apt-get install mtools): " + said;
    } else {
        error = argv[0] + " failed: " + said;
    }
    return false;
}

} // namespace

bool DiskWriter::refuseOutput(const std::string& output, std::string& error) {
    const bool image = isImage(output);
    std::error_code code;
    std::filesystem::file_status status = std::filesystem::status(output, code);
    if (!std::filesystem::exists(status)) {
        return false;
    }
    if (image && !std::filesystem::is_regular_file(status)) {
        error = output + " exists and is not a file";
        return true;
    }
    if (!image && (!std::filesystem::is_directory(status) ||
                   !std::filesystem::is_empty(output, code) || code)) {
        error = output + " exists and is not an empty folder";
        return true;
    }
    return false;
}

namespace {
// The image's own list of its files, which must be the files written.
bool imageHoldsExactly(const std::string& image, const std::vector<DiskFiles::File>& files,
                       std::string& error) {
    std::string listing;
    if (!mtools({"mdir", "-b", "-i", image, "::"}, listing, error)) {
        return false;
    }
    std::set<std::string> found;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("::/", 0) == 0) {
            found.insert(line.substr(3));
        }
    }
    std::set<std::string> expected;
    for (const DiskFiles::File& file : files) {
        expected.insert(file.name);
    }
    if (found != expected) {
        error = "the image made by mtools does not list exactly the files written:\n" + listing;
        return false;
    }
    return true;
}
} // namespace

bool DiskWriter::isImage(const std::string& output) {
    std::string tail = output.size() >= 4 ? output.substr(output.size() - 4) : "";
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".img";
}

std::string DiskWriter::grouped(unsigned long long number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), ",");
    }
    return digits;
}

DiskWriter::Result DiskWriter::write(const std::vector<DiskFiles::File>& files,
                                     const std::string& output, const FloppyFormat& format,
                                     std::ostream& out, std::string& error) {
    const bool image = isImage(output);
    unsigned long long total = 0;
    unsigned long long taken = 0;
    for (const DiskFiles::File& file : files) {
        out << std::left << std::setw(14) << file.name << std::right << std::setw(11)
            << grouped(file.bytes.size()) << " bytes\n";
        total += file.bytes.size();
        taken += format.spaceFor(file.bytes.size());
    }
    out << std::left << std::setw(14) << "total" << std::right << std::setw(11) << grouped(total)
        << " bytes in " << files.size() << " files\n";
    if (taken > format.capacity()) {
        error = "the files take " + grouped(taken) + " bytes of the disk (in whole clusters of " +
                grouped(format.clusterBytes()) + ") but a " + format.label() + " floppy holds " +
                grouped(format.capacity()) + ": " + grouped(taken - format.capacity()) +
                " bytes too many; nothing was written";
        return Result::DoesNotFit;
    }
    if (files.size() > format.rootEntries()) {
        error = std::to_string(files.size()) + " files but the root folder of a " + format.label() +
                " floppy lists " + std::to_string(format.rootEntries()) + "; nothing was written";
        return Result::DoesNotFit;
    }
    if (refuseOutput(output, error)) {
        return Result::Failed;
    }
    StagingFolder staging(output);
    if (!staging.made()) {
        error = staging.error();
        return Result::Failed;
    }
    for (const DiskFiles::File& file : files) {
        if (!staging.writeFile(file.name, file.bytes, error)) {
            return Result::Failed;
        }
    }
    if (image) {
        std::string imagePath = staging.path() + "/" + kImageName;
        std::string ignored;
        if (!mtools({"mformat", "-i", imagePath, "-C", "-f", std::to_string(format.kib()), "::"},
                    ignored, error)) {
            return Result::Failed;
        }
        for (const DiskFiles::File& file : files) {
            if (!mtools(
                    {"mcopy", "-i", imagePath, staging.path() + "/" + file.name, "::/" + file.name},
                    ignored, error)) {
                return Result::Failed;
            }
        }
        if (!imageHoldsExactly(imagePath, files, error) || !staging.commit(kImageName, error)) {
            return Result::Failed;
        }
    } else if (!staging.commit("", error)) {
        return Result::Failed;
    }
    out << std::left << std::setw(14) << "free" << std::right << std::setw(11)
        << grouped(format.capacity() - taken) << " bytes of " << grouped(format.capacity())
        << " on a " << format.label() << " floppy\n";
    out << "wrote " << (image ? "the floppy image " : "the folder ") << quotedPath(output) << "\n";
    return Result::Written;
}

} // namespace loader::author
