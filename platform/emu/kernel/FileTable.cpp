#include "platform/emu/kernel/FileTable.h"

namespace emu::kernel {

namespace {
// Win32 handle values are multiples of four.
constexpr uintptr_t kHandleStep = 4;
} // namespace

HANDLE FileTable::add(Object object) {
    std::lock_guard<std::mutex> lock(m_mutex);
    uintptr_t value = m_next;
    m_next += kHandleStep;
    m_objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

HANDLE FileTable::addFile(std::unique_ptr<HostFile> file) {
    return add(std::shared_ptr<HostFile>(std::move(file)));
}

HANDLE FileTable::addMapping(std::unique_ptr<FileMapping> mapping) {
    return add(std::shared_ptr<FileMapping>(std::move(mapping)));
}

HANDLE FileTable::addSearch(std::unique_ptr<FileSearch> search) {
    return add(std::shared_ptr<FileSearch>(std::move(search)));
}

template <typename T> std::shared_ptr<T> FileTable::find(HANDLE handle) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == m_objects.end()) {
        return nullptr;
    }
    const auto* object = std::get_if<std::shared_ptr<T>>(&found->second);
    return object != nullptr ? *object : nullptr;
}

std::shared_ptr<HostFile> FileTable::file(HANDLE handle) const {
    return find<HostFile>(handle);
}

std::shared_ptr<FileMapping> FileTable::mapping(HANDLE handle) const {
    return find<FileMapping>(handle);
}

std::shared_ptr<FileSearch> FileTable::search(HANDLE handle) const {
    return find<FileSearch>(handle);
}

bool FileTable::close(HANDLE handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_objects.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

void* FileTable::addView(std::unique_ptr<MappedView> view) {
    std::lock_guard<std::mutex> lock(m_mutex);
    void* base = view->base();
    m_views.emplace(base, std::move(view));
    return base;
}

bool FileTable::removeView(const void* base) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_views.erase(base) != 0;
}

void FileTable::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_views.clear();
    m_objects.clear();
}

} // namespace emu::kernel
