#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

// Clock, random generator and memory wiping, the same on both builds.
namespace platform {

// Milliseconds of a monotonic clock (GetTickCount64 on Windows); never goes back.
std::uint64_t tickCount();

// Fills `buffer` from the system's preferred cryptographic generator.
// Returns false when the generator fails; the buffer content is then unspecified.
bool systemRandom(unsigned char* buffer, std::size_t length);

// Overwrites `length` bytes with zeros in a way the optimiser cannot drop.
void secureZero(void* buffer, std::size_t length);

// Makes a synchronous file read in progress on `thread` return early (Windows);
// natively reads of regular files are short and nothing needs doing.
void cancelThreadIo(std::thread& thread);

}  // namespace platform
