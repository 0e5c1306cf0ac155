// The platform-call trace: one line per traced call, written as the call with
// its result, for instance
//   MessageBoxA(0x1, "Quit this program?", "corvane", 36) = 7
// Strings are C-escaped in double quotes, numbers decimal, handles in hex.
#pragma once

#include "platform/win32.h"

#include <string>

namespace emu {

class Trace {
public:
    // Starts writing to the host file at path (truncated); an empty path turns
    // the trace off.
    static void open(const std::string& path);
    static void close();
    static bool enabled();
    // Writes one whole line; thread-safe, flushed at once so that a killed
    // process leaves every finished line behind.
    static void line(const std::string& text);
};

// Builds one trace line: TraceCall("CopyFileA").str(a).str(b).num(0).result(1).
// Nothing is formatted when the trace is off.
class TraceCall {
public:
    explicit TraceCall(const char* function);
    TraceCall& str(LPCSTR text);
    TraceCall& num(long long value);
    TraceCall& handle(const void* value);
    TraceCall& hkey(HKEY key);
    void result(long long value);
    void resultHandle(const void* value);

private:
    void separate();
    bool m_on;
    bool m_first = true;
    std::string m_text;
};

// C escape of text in double quotes ("NULL" for a null pointer).
std::string quoteForTrace(LPCSTR text);

} // namespace emu
