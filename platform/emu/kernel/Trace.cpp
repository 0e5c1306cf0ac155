#include "platform/emu/kernel/Trace.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace emu {

namespace {
std::mutex g_traceMutex;
std::FILE* g_traceFile = nullptr;
// The traced calls that have started and not yet returned, oldest first.
std::vector<const TraceCall*> g_running;

void writeLocked(const std::string& text) {
    if (g_traceFile == nullptr) {
        return;
    }
    std::fputs(text.c_str(), g_traceFile);
    std::fputc('\n', g_traceFile);
    std::fflush(g_traceFile);
}

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
    writeLocked(text);
}

void Trace::endRunningCalls() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    for (auto call = g_running.rbegin(); call != g_running.rend(); ++call) {
        writeLocked((*call)->m_text + ") = ...");
    }
    g_running.clear();
}

void Trace::scriptExhausted() {
    std::string waiting = "GetMessageA";
    {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        if (!g_running.empty()) {
            waiting = g_running.back()->m_function;
        }
    }
    endRunningCalls();
    line("script-exhausted in " + waiting);
}

std::string quoteForTrace(LPCSTR text) {
    if (text == nullptr) {
        return "NULL";
    }
    std::string out = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
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

TraceCall::TraceCall(const char* function, bool wanted)
    : m_on(wanted && Trace::enabled()), m_function(function) {
    if (m_on) {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        m_text = function;
        m_text += '(';
        g_running.push_back(this);
    }
}

TraceCall::~TraceCall() {
    if (m_on) {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        g_running.erase(std::remove(g_running.begin(), g_running.end(), this), g_running.end());
    }
}

// Under the lock: the text of a running call may be written from another
// thread when the process ends.
void TraceCall::append(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (!m_first) {
        m_text += ", ";
    }
    m_first = false;
    m_text += text;
}

void TraceCall::finish(const std::string& result) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_running.erase(std::remove(g_running.begin(), g_running.end(), this), g_running.end());
    writeLocked(m_text + ") = " + result);
    m_on = false;
}

TraceCall& TraceCall::str(LPCSTR text) {
    if (m_on) {
        append(quoteForTrace(text));
    }
    return *this;
}

TraceCall& TraceCall::num(long long value) {
    if (m_on) {
        append(std::to_string(value));
    }
    return *this;
}

TraceCall& TraceCall::handle(const void* value) {
    if (m_on) {
        append(hex(reinterpret_cast<uintptr_t>(value)));
    }
    return *this;
}

TraceCall& TraceCall::hkey(HKEY key) {
    if (m_on) {
        append(key == HKEY_LOCAL_MACHINE ? std::string("HKEY_LOCAL_MACHINE")
                                         : hex(reinterpret_cast<uintptr_t>(key)));
    }
    return *this;
}

void TraceCall::result(long long value) {
    if (m_on) {
        finish(std::to_string(value));
    }
}

void TraceCall::resultHandle(const void* value) {
    if (m_on) {
        finish(hex(reinterpret_cast<uintptr_t>(value)));
    }
}

} // namespace emu
