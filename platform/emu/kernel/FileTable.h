// The kernel objects behind the machine's file handles (open files and file
// mappings) and the mapped views. Handles are opaque numbers that are never
// 0, never INVALID_HANDLE_VALUE and never a host descriptor; a closed handle
// is not handed out again while the machine runs.
#pragma once

#include "platform/emu/kernel/FileMapping.h"
#include "platform/emu/kernel/FileSearch.h"
#include "platform/emu/kernel/HostFile.h"
#include "platform/emu/kernel/MappedView.h"
#include "platform/win32.h"

#include <map>
#include <memory>
#include <mutex>
#include <variant>

namespace emu::kernel {

class FileTable {
public:
    HANDLE addFile(std::unique_ptr<HostFile> file);
    HANDLE addMapping(std::unique_ptr<FileMapping> mapping);
    HANDLE addSearch(std::unique_ptr<FileSearch> search);
    // The object behind handle; null when handle is not one of that kind.
    // The shared pointer keeps it alive while the caller works with it.
    std::shared_ptr<HostFile> file(HANDLE handle) const;
    std::shared_ptr<FileMapping> mapping(HANDLE handle) const;
    std::shared_ptr<FileSearch> search(HANDLE handle) const;
    // false when handle is unknown.
    bool close(HANDLE handle);

    void* addView(std::unique_ptr<MappedView> view);
    // false when base is not the start of a view.
    bool removeView(const void* base);

    // Closes every handle and unmaps every view.
    void clear();

private:
    using Object = std::variant<std::shared_ptr<HostFile>, std::shared_ptr<FileMapping>,
                                std::shared_ptr<FileSearch>>;
    HANDLE add(Object object);
    template <typename T> std::shared_ptr<T> find(HANDLE handle) const;

    mutable std::mutex m_mutex;
    std::map<uintptr_t, Object> m_objects;
    std::map<const void*, std::unique_ptr<MappedView>> m_views;
    uintptr_t m_next = 0x100;
};

} // namespace emu::kernel
