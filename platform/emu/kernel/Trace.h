// The platform-call trace: one line per traced call, written when the call
// returns, as the call with its result, for instance
//   MessageBoxA(0x1, "Quit this program?", "corvane", 36) = 7
// Strings are C-escaped in double quotes, numbers decimal, handles in hex.
// A call still running when the process ends (a message box waiting for an
// answer) is written then, with "..." in place of its result.
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
    // For a process that ends now, from inside whatever calls are running:
    // writes each traced call still running, innermost first, as
    //   MessageBoxA(0x1, "Restart now?", "corvane", 36) = ...
    static void endRunningCalls();
    // Ends the trace of a session whose input ran out while the program
    // waited for more: the running calls, then "script-exhausted in NAME",
    // where NAME is the innermost running traced call, or GetMessageA when
    // the program waits in its own message loop.
    static void scriptExhausted();
};

// Builds one trace line: TraceCall("CopyFileA").str(a).str(b).num(0).result(1).
// Nothing is formatted when the trace is off, or when wanted is false. From
// its construction until result the call counts as running, so a call that
// can wait (one that runs a message loop or calls the program back) is made
// before its work starts, with its arguments, and given its result after.
class TraceCall {
public:
    explicit TraceCall(const char* function, bool wanted = true);
    ~TraceCall();
    TraceCall(const TraceCall&) = delete;
    TraceCall& operator=(const TraceCall&) = delete;
    TraceCall& str(LPCSTR text);
    TraceCall& num(long long value);
    TraceCall& handle(const void* value);
    TraceCall& hkey(HKEY key);
    void result(long long value);
    void resultHandle(const void* value);

private:
    friend class Trace;
    void append(const std::string& text);
    void finish(const std::string& result);
    bool m_on;
    bool m_first = true;
    const char* m_function;
    std::string m_text;
};

// C escape of text in double quotes ("NULL" for a null pointer).
std::string quoteForTrace(LPCSTR text);

} // namespace emu
