// Whole transfers over a file descriptor, retried through partial transfers
// and signal interruptions, for pipes and files alike.
#pragma once

#include <cstddef>

namespace varnok {

// Reads exactly `size` bytes; false at end of data (errno 0) or on an error
// (errno says which).
bool readFully(int fd, void* data, size_t size);

// Writes all `size` bytes; false on an error, errno saying which (ENOSPC for a
// write that makes no progress, which is what it nearly always means).
bool writeFully(int fd, const void* data, size_t size);

}  // namespace varnok
