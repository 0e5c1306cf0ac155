#include "platform/emu/host/ImageWorkFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emu::host {

namespace {

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    return remove(path) == 0 || errno == ENOENT ? 0 : -1;
}

} // namespace

bool ImageWorkFolder::removeTree(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

std::string ImageWorkFolder::canonical(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return path;
    }
    std::string result = real;
    free(real);
    return result;
}

std::string ImageWorkFolder::of(const std::string& imagePath) {
    size_t slash = imagePath.rfind('/');
    std::string parent = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : imagePath.substr(0, slash);
    std::string base = slash == std::string::npos ? imagePath : imagePath.substr(slash + 1);
    return parent + "/." + base + ".corvane";
}

ImageWorkFolder::~ImageWorkFolder() {
    if (!m_path.empty()) {
        removeTree(m_path);
    }
}

hostsupport::Result<void> ImageWorkFolder::make(const std::string& imagePath, bool readOnly) {
    if (readOnly) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/corvane-disk.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            return hostsupport::Failure{"no temporary folder for " + imagePath + ": " +
                                        std::strerror(errno)};
        }
        m_path = pattern;
    } else {
        std::string path = of(imagePath);
        if (!removeTree(path) || mkdir(path.c_str(), 0700) != 0) {
            return hostsupport::Failure{"cannot make the work folder " + path +
                                        " beside the image: " + std::strerror(errno)};
        }
        m_path = path;
    }
    std::string files = m_path + "/files";
    if (mkdir(files.c_str(), 0700) != 0) {
        return hostsupport::Failure{"cannot make " + files + ": " + std::strerror(errno)};
    }
    m_files = canonical(files);
    return {};
}

} // namespace emu::host
