// The emulated machine a fuzz target works on: booted headless once per
// process, with C: (holding C:\WINDOWS) and the disk D: as fresh temporary
// folders that are removed when the process ends. Each input writes its file
// there and the target puts back what the input changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane_fuzz {

class FuzzMachine {
public:
    // The machine, booted on the first call with a display of that many bits
    // per pixel; later calls get that machine whatever they ask.
    static FuzzMachine& instance(int screenDepth = 32);

    FuzzMachine(const FuzzMachine&) = delete;
    FuzzMachine& operator=(const FuzzMachine&) = delete;

    // Host path of a file on D: ("layout.ini") or on C: ("WINDOWS/SYSTEM.REG").
    std::string onDisk(const std::string& relative) const { return m_root + "/disk/" + relative; }
    std::string onC(const std::string& relative) const { return m_root + "/c/" + relative; }

    // Whole-file helpers on the host side.
    static void write(const std::string& path, const uint8_t* data, size_t size);
    static void write(const std::string& path, const std::string& text);
    static std::string read(const std::string& path);

private:
    explicit FuzzMachine(int screenDepth);
    ~FuzzMachine();

    std::string m_root;
};

} // namespace corvane_fuzz
