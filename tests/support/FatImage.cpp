#include "tests/support/FatImage.h"

#include "platform/emu/host/ImageWorkFolder.h"
#include "platform/emu/hostsupport/UndoJournal.h"

#include "platform/emu/host/FatLayout.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace corvane_test {

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

std::string image(const FatImage& fat) {
    return fat.path + "@@" + std::to_string(fat.offset);
}

void appendBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void putBigEndian(std::string& bytes, size_t at, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

void copyTree(const FatImage& fat, const std::string& folder) {
    std::vector<std::string> args = {"mcopy", "-s", "-m", "-i", image(fat)};
    for (const std::string& name : folderEntries(folder)) {
        args.push_back(folder + "/" + name);
    }
    if (args.size() > 5) {
        args.push_back("::/");
        runTool(args);
    }
}

} // namespace

std::string runTool(const std::vector<std::string>& argv) {
    emu::hostsupport::ToolResult result = emu::hostsupport::HostTool::run(argv);
    if (!result.succeeded()) {
        throw std::runtime_error(argv[0] + " failed: " + result.output + result.errors);
    }
    return result.output;
}

std::string vhdFooter(std::uint64_t size, std::uint32_t type) {
    std::string footer(512, '\0');
    footer.replace(0, 8, "conectix");
    putBigEndian(footer, 8, 2, 4);           // features
    putBigEndian(footer, 12, 0x00010000, 4); // version
    putBigEndian(footer, 16, ~0ULL, 8);      // data offset: none for a fixed disk
    putBigEndian(footer, 40, size, 8);       // original size
    putBigEndian(footer, 48, size, 8);       // current size
    putBigEndian(footer, 60, type, 4);
    std::uint32_t sum = 0;
    for (unsigned char c : footer) {
        sum += c;
    }
    putBigEndian(footer, 64, ~sum, 4);
    return footer;
}

FatImage FatImage::make(ImageKind kind, const std::string& path, const std::string& folder) {
    FatImage fat;
    fat.path = path;
    fat.driveValue = path;
    if (kind == ImageKind::Floppy) {
        runTool({"mkfs.fat", "-C", path, "1440"});
        fat.length = 1440 * 1024;
        copyTree(fat, folder);
        return fat;
    }
    std::uint64_t size = kind == ImageKind::Fat32Disk ? 64 * kMiB : 32 * kMiB;
    runTool({"truncate", "-s", std::to_string(size), path});
    const std::uint64_t sectors = size / 512;
    // Each FAT volume as (first sector, sectors, mkfs.fat's -F or ""); the
    // last holds the files.
    std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>> volumes;
    std::string table = "label: dos\n";
    if (kind == ImageKind::Fat16Disk || kind == ImageKind::Fat32Disk ||
        kind == ImageKind::FixedVhd) {
        bool fat32 = kind == ImageKind::Fat32Disk;
        table += std::string("start=2048, type=") + (fat32 ? "c" : "6") + ", bootable\n";
        volumes.emplace_back(2048, sectors - 2048, fat32 ? "32" : "16");
    } else {
        // Logical partitions 8192 sectors apart, each after its extended
        // boot record, as sfdisk lays them out.
        int logical = kind == ImageKind::SecondPartition ? 1
                      : kind == ImageKind::TwoLogical    ? 2
                                                         : 3;
        table += "start=2048, size=16384, type=6\nstart=18432, type=5\n";
        volumes.emplace_back(2048, 16384, "");
        for (int i = 0; i < logical; ++i) {
            std::uint64_t first = 20480 + 10240 * static_cast<std::uint64_t>(i);
            bool last = i == logical - 1;
            std::uint64_t length = last ? sectors - first : 8192;
            table += "start=" + std::to_string(first) +
                     (last ? "" : ", size=" + std::to_string(length)) + ", type=6\n";
            volumes.emplace_back(first, length, last ? "16" : "");
        }
        fat.driveValue = path + "@" + std::to_string(4 + logical);
    }
    emu::hostsupport::ToolResult sfdisk =
        emu::hostsupport::HostTool::run({"sh", "-c", "printf '" + table + "' | sfdisk -q " + path});
    if (!sfdisk.succeeded()) {
        throw std::runtime_error("sfdisk failed: " + sfdisk.errors);
    }
    for (const auto& [first, length, type] : volumes) {
        std::vector<std::string> mkfs = {"mkfs.fat"};
        if (!type.empty()) {
            mkfs.insert(mkfs.end(), {"-F", type});
        }
        mkfs.insert(mkfs.end(),
                    {"--offset", std::to_string(first), path, std::to_string(length / 2)});
        runTool(mkfs);
        FatImage volume;
        volume.path = path;
        volume.offset = first * 512;
        volume.length = length * 512;
        fat.neighbours.push_back(volume);
    }
    fat.offset = fat.neighbours.back().offset;
    fat.length = fat.neighbours.back().length;
    fat.neighbours.pop_back();
    copyTree(fat, folder);
    if (kind == ImageKind::FixedVhd) {
        appendBytes(path, vhdFooter(size, 2));
    }
    return fat;
}

std::map<std::string, std::string> FatImage::attributes() const {
    std::map<std::string, std::string> result;
    std::string listing = runTool({"mattrib", "-i", image(*this), "-/", "::/"});
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        std::string line = listing.substr(start, end - start);
        start = end == std::string::npos ? listing.size() : end + 1;
        size_t at = line.find("::/");
        if (at != std::string::npos && at + 3 < line.size()) {
            result[line.substr(at + 3)] = line.substr(0, at);
        }
    }
    return result;
}

namespace {

void readTree(const std::string& root, const std::string& relative,
              std::map<std::string, std::string>& files) {
    std::string folder = relative.empty() ? root : root + "/" + relative;
    for (const std::string& name : folderEntries(folder)) {
        std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat info {};
        if (stat((root + "/" + path).c_str(), &info) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            readTree(root, path, files);
        } else {
            files[path] = readHostFile(root + "/" + path);
        }
    }
}

} // namespace

std::map<std::string, std::string> FatImage::files() const {
    std::map<std::string, std::string> result;
    if (attributes().empty()) {
        return result; // mcopy takes an empty root for a missing one
    }
    TempDir out;
    runTool({"mcopy", "-s", "-n", "-i", image(*this), "::/*", out.path() + "/"});
    readTree(out.path(), "", result);
    return result;
}

std::string FatImage::fsckReport() const {
    TempDir work;
    std::string volume = work / "volume";
    runTool({"dd", "if=" + path, "of=" + volume, "bs=512", "skip=" + std::to_string(offset / 512),
             "count=" + std::to_string(length / 512), "status=none"});
    emu::hostsupport::ToolResult fsck = emu::hostsupport::HostTool::run({"fsck.fat", "-n", volume});
    return fsck.succeeded() ? "" : fsck.output + fsck.errors;
}

std::string FatImage::bytesBeside() const {
    std::string bytes = readHostFile(path);
    return bytes.substr(0, offset) +
           bytes.substr(std::min<std::uint64_t>(offset + length, bytes.size()));
}

void FatImage::setTableEntry(std::uint64_t tableSector, int index, unsigned type,
                             std::uint64_t first, std::uint64_t sectors) const {
    std::string entry(16, '\0');
    entry[4] = static_cast<char>(type);
    for (int i = 0; i < 4; ++i) {
        entry[8 + static_cast<size_t>(i)] = static_cast<char>((first >> (8 * i)) & 0xFF);
        entry[12 + static_cast<size_t>(i)] = static_cast<char>((sectors >> (8 * i)) & 0xFF);
    }
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(tableSector * 512 + 446 +
                                           16 * static_cast<std::uint64_t>(index)));
    file.write(entry.data(), 16);
    if (!file) {
        throw std::runtime_error("cannot write the partition table of " + path);
    }
}

void FatImage::setAttributes(const std::string& path, const std::vector<std::string>& flags) const {
    std::vector<std::string> args = {"mattrib", "-i", image(*this)};
    args.insert(args.end(), flags.begin(), flags.end());
    args.push_back("::/" + path);
    runTool(args);
}

void FatImage::addFile(const std::string& path, const std::string& bytes) const {
    TempDir work;
    size_t slash = path.rfind('/');
    std::string host = work / (slash == std::string::npos ? path : path.substr(slash + 1));
    writeHostFile(host, bytes);
    // The tools run in the C locale, which would spell the name with '_'.
    runTool({"env", "LC_ALL=C.UTF-8", "mcopy", "-m", "-i", image(*this), host, "::/" + path});
}

namespace {

// The offsets in the image file of the directory entries of the volume
// whose short name is name: every 32-byte slot of the volume that holds it
// and is no long-name entry.
std::vector<std::uint64_t> shortNameSlots(const FatImage& image, const std::string& bytes,
                                          const std::string& name) {
    std::vector<std::uint64_t> slots;
    std::uint64_t end = std::min<std::uint64_t>(image.offset + image.length, bytes.size());
    for (std::uint64_t at = image.offset; at + 32 <= end; at += 32) {
        if (bytes.compare(at, 11, name) == 0 && bytes[at + 11] != 0x0F) {
            slots.push_back(at);
        }
    }
    return slots;
}

} // namespace

void FatImage::setShortName(const std::string& from, const std::string& to) const {
    std::string bytes = readHostFile(path);
    std::vector<std::uint64_t> slots = shortNameSlots(*this, bytes, from);
    if (slots.size() != 1 || to.size() != 11) {
        throw std::runtime_error(std::to_string(slots.size()) + " entries of " + path +
                                 " hold the short name " + from);
    }
    unsigned char sum = 0;
    for (char c : to) {
        sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) +
                                         static_cast<unsigned char>(c));
    }
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(slots[0]));
    file.write(to.data(), 11);
    for (std::uint64_t slot = slots[0]; slot >= offset + 32 && bytes[slot - 32 + 11] == 0x0F;
         slot -= 32) {
        file.seekp(static_cast<std::streamoff>(slot - 32 + 13));
        file.put(static_cast<char>(sum));
    }
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

int FatImage::shortNameCount(const std::string& name) const {
    return static_cast<int>(shortNameSlots(*this, readHostFile(path), name).size());
}

std::vector<std::string> FatImage::longNames() const {
    std::string listing =
        runTool({"env", "LC_ALL=C.UTF-8", "mdir", "-/", "-b", "-i", image(*this), "::/"});
    std::vector<std::string> names;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        std::string line = listing.substr(start, end - start);
        start = end == std::string::npos ? listing.size() : end + 1;
        if (line.rfind("::/", 0) == 0) {
            names.push_back(line.substr(3));
        }
    }
    return names;
}

FatImage FatImage::makeUsedDisk(const std::string& path, const std::string& folder,
                                const std::string& scratch) {
    FatImage image;
    image.path = path;
    image.offset = 1024 * 1024;
    image.length = 2ULL * 1024 * 1024 * 1024 - image.offset;
    image.driveValue = path;
    const std::string volume = path + "@@" + std::to_string(image.offset);
    runTool({"sh", "-c", "yes corvane | head -c 2G > " + path});
    runTool({"sh", "-c", "printf 'label: dos\\nstart=2048, type=c\\n' | sfdisk -q " + path});
    runTool(
        {"mkfs.fat", "-F", "32", "--offset", "2048", path, std::to_string(image.length / 1024)});
    runTool({"sh", "-c", "yes deleted | head -c 1900M > " + scratch});
    runTool({"mcopy", "-i", volume, scratch, "::/DELETED.BIN"});
    runTool({"mdel", "-i", volume, "::/DELETED.BIN"});
    runTool({"sh", "-c", "yes swapped | head -c 1G > " + scratch});
    runTool({"mcopy", "-i", volume, scratch, "::/WIN386.SWP"});
    runTool({"rm", scratch});
    runTool({"sh", "-c", "mcopy -s -m -i " + volume + " " + folder + "/* ::/"});
    return image;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> FatImage::freeClusters() const {
    emu::host::ImageVolume volume{path, offset, length, ""};
    auto layout = emu::host::FatLayout::read(volume, path);
    if (!layout) {
        throw std::runtime_error(layout.reason());
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (std::uint32_t cluster = layout->firstCluster(); cluster <= layout->lastCluster();
         ++cluster) {
        if (layout->isFree(cluster)) {
            emu::host::ByteRange range = layout->cluster(cluster);
            ranges.emplace_back(range.offset, range.length);
        }
    }
    return ranges;
}

std::string FatImage::without(const std::string& file,
                              const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges) {
    std::string bytes = readHostFile(file);
    for (const auto& [at, length] : ranges) {
        bytes.replace(at, length, length, '\0');
    }
    return bytes;
}

SpaceBesideImage::SpaceBesideImage(const std::string& image) {
    const std::string folder = emu::host::ImageWorkFolder::of(image);
    const std::string journal = emu::hostsupport::UndoJournal::pathFor(image);
    m_watch = std::thread([this, folder, journal] {
        while (!m_done) {
            long long now = diskSpaceBelow(folder) + diskSpaceBelow(journal);
            if (now > m_most) {
                m_most = now;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

SpaceBesideImage::~SpaceBesideImage() {
    stop();
}

long long SpaceBesideImage::stop() {
    m_done = true;
    if (m_watch.joinable()) {
        m_watch.join();
    }
    return m_most;
}

} // namespace corvane_test
