#include "platform/windows/Runtime.h"

#include <windows.h>

#include <cstddef>
#include <new>

// This file is compiled with -fno-builtin and without the loop-to-library
// transformation, so that the loops below stay loops and do not call
// themselves.

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < count; ++i) {
        d[i] = s[i];
    }
    return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    if (d < s) {
        for (size_t i = 0; i < count; ++i) {
            d[i] = s[i];
        }
    } else {
        for (size_t i = count; i > 0; --i) {
            d[i - 1] = s[i - 1];
        }
    }
    return destination;
}

void* memset(void* destination, int value, size_t count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (size_t i = 0; i < count; ++i) {
        d[i] = static_cast<unsigned char>(value);
    }
    return destination;
}

int memcmp(const void* left, const void* right, size_t count) {
    const auto* l = static_cast<const unsigned char*>(left);
    const auto* r = static_cast<const unsigned char*>(right);
    for (size_t i = 0; i < count; ++i) {
        if (l[i] != r[i]) {
            return l[i] < r[i] ? -1 : 1;
        }
    }
    return 0;
}

void* memchr(const void* source, int value, size_t count) {
    const auto* s = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < count; ++i) {
        if (s[i] == static_cast<unsigned char>(value)) {
            return const_cast<unsigned char*>(s + i);
        }
    }
    return nullptr;
}

size_t strlen(const char* text) {
    size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

int strcmp(const char* left, const char* right) {
    const auto* l = reinterpret_cast<const unsigned char*>(left);
    const auto* r = reinterpret_cast<const unsigned char*>(right);
    while (*l != 0 && *l == *r) {
        ++l;
        ++r;
    }
    return *l < *r ? -1 : (*l > *r ? 1 : 0);
}

// Static objects with destructors register them here as they are built.
// The program has a handful; the table is generous.
typedef void (*ExitHandler)();
namespace {
ExitHandler g_exitHandlers[64];
int g_exitHandlerCount = 0;
} // namespace

int atexit(ExitHandler handler) {
    if (g_exitHandlerCount == static_cast<int>(sizeof g_exitHandlers / sizeof g_exitHandlers[0])) {
        return -1;
    }
    g_exitHandlers[g_exitHandlerCount++] = handler;
    return 0;
}

void abort() {
    corvane_runtime::fail();
}

void __cxa_pure_virtual() {
    corvane_runtime::fail();
}

} // extern "C"

namespace corvane_runtime {

void runExitHandlers() {
    while (g_exitHandlerCount > 0) {
        g_exitHandlers[--g_exitHandlerCount]();
    }
}

void fail() {
    ::ExitProcess(255);
}

} // namespace corvane_runtime

// The allocation functions: the process heap, which every Win32 system has.
// Without exceptions a failed plain new cannot throw; it ends the program.
namespace {
void* allocate(size_t size) {
    return ::HeapAlloc(::GetProcessHeap(), 0, size != 0 ? size : 1);
}
void release(void* block) {
    if (block != nullptr) {
        ::HeapFree(::GetProcessHeap(), 0, block);
    }
}
void* allocateOrFail(size_t size) {
    void* block = allocate(size);
    if (block == nullptr) {
        corvane_runtime::fail();
    }
    return block;
}
} // namespace

void* operator new(size_t size) {
    return allocateOrFail(size);
}
void* operator new[](size_t size) {
    return allocateOrFail(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* block) noexcept {
    release(block);
}
void operator delete[](void* block) noexcept {
    release(block);
}
void operator delete(void* block, size_t) noexcept {
    release(block);
}
void operator delete[](void* block, size_t) noexcept {
    release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    release(block);
}

// The standard headers report broken preconditions (a string or vector grown
// past its maximum, a bad allocation size) through these; without exceptions
// each ends the program.
namespace std {
const nothrow_t nothrow{};
void __throw_bad_alloc() {
    corvane_runtime::fail();
}
void __throw_bad_array_new_length() {
    corvane_runtime::fail();
}
void __throw_length_error(const char*) {
    corvane_runtime::fail();
}
void __throw_logic_error(const char*) {
    corvane_runtime::fail();
}
void __throw_out_of_range(const char*) {
    corvane_runtime::fail();
}
void __throw_out_of_range_fmt(const char*, ...) {
    corvane_runtime::fail();
}
} // namespace std
