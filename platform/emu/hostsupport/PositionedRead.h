// Reads a given number of bytes at an offset of a file, however many pread
// calls the host takes to give them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace emu::hostsupport {

// Fills size bytes of into from offset of fd. False when the host refused a
// read (errno says why) or the file ends before them (errno is 0 then).
bool readExactly(int fd, std::uint64_t offset, void* into, std::size_t size);

} // namespace emu::hostsupport
