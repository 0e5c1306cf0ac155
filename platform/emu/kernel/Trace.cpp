#include "platform/emu/kernel/Trace.h"

#include <cstdio>
#include <mutex>

namespace emu {

namespace {
std::mutex g_traceMutex;
std::FILE* g_traceFile = nullptr;

std::string hex(unsigned long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx", value);
    return buffer;
}
} // namespace

void Trace::open(const std::string& path) {
    close();
    if (path.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceFile = std::fopen(path.c_str(), "w");
}

void Trace::close() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (g_traceFile != nullptr) {
        std::fclose(g_traceFile);
        g_traceFile = nullptr;
    }
}

bool Trace::enabled() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    return g_traceFile != nullptr;
}

void Trace::line(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (g_traceFile == nullptr) {
        return;
    }
    std::fputs(text.c_str(), g_traceFile);
    std::fputc('\n', g_traceFile);
    std::fflush(g_traceFile);
}

std::string quoteForTrace(LPCSTR text) {
    if (text == nullptr) {
        return "NULL";
    }
    std::string out = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

TraceCall::TraceCall(const char* function) : m_on(Trace::enabled()) {
    if (m_on) {
        m_text = function;
        m_text += '(';
    }
}

void TraceCall::separate() {
    if (!m_first) {
        m_text += ", ";
    }
    m_first = false;
}

TraceCall& TraceCall::str(LPCSTR text) {
    if (m_on) {
        separate();
        m_text += quoteForTrace(text);
    }
    return *this;
}

TraceCall& TraceCall::num(long long value) {
    if (m_on) {
        separate();
        m_text += std::to_string(value);
    }
    return *this;
}

TraceCall& TraceCall::handle(const void* value) {
    if (m_on) {
        separate();
        m_text += hex(reinterpret_cast<uintptr_t>(value));
    }
    return *this;
}

TraceCall& TraceCall::hkey(HKEY key) {
    if (m_on) {
        separate();
        if (key == HKEY_LOCAL_MACHINE) {
            m_text += "HKEY_LOCAL_MACHINE";
        } else {
            m_text += hex(reinterpret_cast<uintptr_t>(key));
        }
    }
    return *this;
}

void TraceCall::result(long long value) {
    if (m_on) {
        Trace::line(m_text + ") = " + std::to_string(value));
    }
}

void TraceCall::resultHandle(const void* value) {
    if (m_on) {
        Trace::line(m_text + ") = " + hex(reinterpret_cast<uintptr_t>(value)));
    }
}

} // namespace emu
