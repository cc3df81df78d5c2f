#pragma once

// OBEX Object Push client: one CONNECT, one PUT offering the object (name, type,
// length), the body PUTs, then a DISCONNECT, over any connected byte channel.
// Knows nothing of sockets, files or threads.

#include <functional>
#include <string>
#include <vector>

// A connected, reliable byte stream. Timeouts and cancellation belong to the
// implementation; both operations either complete or raise.
class ObexChannel {
public:
    virtual ~ObexChannel() = default;
    // Sends all `size` bytes or raises.
    virtual void write(const unsigned char* data, unsigned long long size) = 0;
    // Fills exactly `size` bytes or raises.
    virtual void read(unsigned char* data, unsigned long long size) = 0;
};

enum class ObexPhase { Connecting = 0, AwaitingAcceptance = 1, Sending = 2 };

namespace obex {
constexpr unsigned long long maxObjectSize = 4294967295ull;  // must fit the 4-byte Length header
constexpr std::size_t maxRequestBody = 65532;                // after the 3-byte prefix
constexpr std::size_t maxHeaderValue = 65532;
constexpr std::size_t maxChunk = 16384;
constexpr unsigned minPeerPacket = 255;  // smallest maximum OBEX allows
}  // namespace obex

// Sends one object. `size` is the exact byte count `reader` will deliver; `reader`
// copies 1..count bytes and returns how many (never called for an empty object);
// `progress` reports each phase and, while sending, the bytes acknowledged.
// Errors of the channel, the reader and the progress callback pass through unchanged.
void pushObexFile(ObexChannel& channel, const std::wstring& name, unsigned long long size, const std::string& type,
                  const std::function<unsigned long long(unsigned char*, unsigned long long)>& reader,
                  const std::function<void(ObexPhase, unsigned long long)>& progress);

// Sends one request (opcode + length + body) and returns the whole response packet.
std::vector<unsigned char> exchange(ObexChannel& channel, unsigned char opcode, const std::vector<unsigned char>& body);

// Returns when the response starts with `code`; raises the refusal for that response otherwise.
void expect(const std::vector<unsigned char>& response, unsigned char code);

// Appends a length-prefixed header: id, big-endian (value size + 3), value.
void variableHeader(std::vector<unsigned char>& packet, unsigned char id, const std::vector<unsigned char>& value);

// The name as UTF-16 code units, high byte first, ending in a 2-byte zero. Where
// wchar_t holds code points, characters beyond the BMP become surrogate pairs.
// Raises "Nom de fichier Bluetooth invalide." for a value UTF-16 cannot carry.
std::vector<unsigned char> obexName(const std::wstring& name);
