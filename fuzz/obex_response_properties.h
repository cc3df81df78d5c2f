#pragma once

// One OBEX push against a phone whose every answer comes from the input: shared by
// the fuzzer and by the test that replays its corpus. The first two input bytes give
// the object size (0..4095), the rest is what the phone sends, read in order; where
// it runs out the phone has hung up. The expected outcome is worked out here from
// the OBEX rules the client follows (packet prefix, CONNECT fields, header kinds by
// their id, the meaning of each response code), apart from the client's own code.

#include "base/diagnostic.h"
#include "bluetooth/obex_push.h"
#include "base/text.h"
#include "tests/support/obex_refusal.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace obexcheck {

using Bytes = std::vector<unsigned char>;

struct HungUp {};  // not a std::exception, so nothing can mistake it for a refusal

class InputChannel : public ObexChannel {
public:
    InputChannel(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    std::vector<Bytes> writes;

    void write(const unsigned char* bytes, unsigned long long count) override {
        writes.emplace_back(bytes, bytes + count);
    }
    void read(unsigned char* out, unsigned long long count) override {
        if (size - at < count) throw HungUp{};
        std::memcpy(out, data + at, static_cast<std::size_t>(count));
        at += static_cast<std::size_t>(count);
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

inline unsigned char objectByte(std::size_t i) { return static_cast<unsigned char>(i * 31 + 7); }
inline unsigned big16(const unsigned char* p) { return (unsigned(p[0]) << 8) | p[1]; }

// The response packets as the phone framed them; `cut` tells why the list ends early:
// "" (input used up on a packet boundary), "short" (input ends inside a packet) or
// "length" (a length field below 3).
struct Framing {
    std::vector<Bytes> packets;
    std::string cut;
};

inline Framing frame(const std::uint8_t* data, std::size_t size) {
    Framing f;
    std::size_t at = 0;
    while (at < size) {
        if (size - at < 3) return f.cut = "short", f;
        const unsigned length = big16(data + at + 1);
        if (length < 3) return f.cut = "length", f;
        if (size - at < length) return f.cut = "short", f;
        f.packets.emplace_back(data + at, data + at + length);
        at += length;
    }
    return f;
}

// What a CONNECT answer gives, or the message that refuses it.
struct Session {
    std::string error;
    unsigned peerMax = 0;
    Bytes connectionId;
};

// The headers after the 7 fixed bytes of a CONNECT answer, laid out by the OBEX
// header encoding: the two high bits of an id give its kind, a one-byte value (10),
// a four-byte value (11), or text or bytes (00, 01) that carry a 16-bit length
// counting the id and the length itself. The list stops at the first header that is
// cut or whose length cannot be; `broken` then says which it is.
struct Headers {
    std::vector<std::size_t> starts;
    std::string broken;
};

inline Headers headersOf(const Bytes& answer) {
    static const std::size_t sizeByKind[4] = {0, 0, 2, 5};  // 0: the header says
    Headers headers;
    for (std::size_t at = 7; at < answer.size();) {
        std::size_t size = sizeByKind[answer[at] >> 6];
        if (size == 0) {
            if (at + 3 > answer.size()) return headers.broken = "En-tete OBEX incomplet.", headers;
            size = big16(&answer[at + 1]);
            if (size < 3) return headers.broken = "En-tete OBEX invalide.", headers;
        }
        if (at + size > answer.size()) return headers.broken = "En-tete OBEX incomplet.", headers;
        headers.starts.push_back(at);
        at += size;
    }
    return headers;
}

inline Session readConnect(const Bytes& answer) {
    Session s;
    if (answer[0] != 0xA0) return s.error = obexRefusal(answer[0]), s;
    if (answer.size() < 7) return s.error = "Reponse de connexion OBEX incomplete.", s;
    if ((answer[3] & 0xF0) != 0x10 || answer[4] != 0)
        return s.error = "Version ou options OBEX non prises en charge.", s;
    s.peerMax = big16(&answer[5]);
    if (s.peerMax < 255) return s.error = "Taille de paquet OBEX invalide.", s;
    const Headers headers = headersOf(answer);
    std::vector<std::size_t> ids;  // Connection ID headers, whole
    for (std::size_t at : headers.starts)
        if (answer[at] == 0xCB) ids.push_back(at);
    // Both sit before the header that breaks the list, so the second is met first.
    if (ids.size() > 1) return s.error = "Identifiant de session OBEX duplique.", s;
    if (!headers.broken.empty()) return s.error = headers.broken, s;
    if (!ids.empty())
        s.connectionId.assign(answer.begin() + static_cast<std::ptrdiff_t>(ids[0]),
                              answer.begin() + static_cast<std::ptrdiff_t>(ids[0] + 5));
    return s;
}

// "" or the property the push broke for this input. `completed`, when given, says
// whether the push ended with the phone's confirmation.
inline const char* pushFault(const std::uint8_t* data, std::size_t size, bool* completed = nullptr) {
    if (completed) *completed = false;
    if (size < 2) return "";
    const std::size_t objectSize = big16(data) & 0x0FFF;
    const std::uint8_t* stream = data + 2;
    const std::size_t streamSize = size - 2;

    InputChannel channel(stream, streamSize);
    std::size_t handedOut = 0;
    bool readerOverrun = false;
    auto reader = [&](unsigned char* buffer, unsigned long long count) -> unsigned long long {
        if (count == 0 || handedOut + count > objectSize) readerOverrun = true;
        const std::size_t n = static_cast<std::size_t>(count < 7 ? count : count - 3);  // short reads too
        for (std::size_t i = 0; i < n; ++i) buffer[i] = objectByte(handedOut + i);
        handedOut += n;
        return n;
    };
    std::vector<std::pair<ObexPhase, unsigned long long>> reports;
    auto progress = [&](ObexPhase phase, unsigned long long value) { reports.emplace_back(phase, value); };

    std::optional<std::string> failure;  // none: completed; "" : hung up; else the message
    try {
        pushObexFile(channel, L"Photo été.jpg", objectSize, "image/jpeg", reader, progress);
    } catch (const HungUp&) {
        failure = "";
    } catch (const std::runtime_error& e) {
        failure = e.what();
    } catch (...) {
        return "push raised something else than a runtime error";
    }
    if (completed) *completed = !failure;
    if (readerOverrun) return "reader asked for nothing or past the object";
    if (failure && !failure->empty()) {
        // Every failure must reach the user in English too.
        const std::wstring french = wide(*failure);
        if (Ui::diagnostic(french, true) == french) return "failure message missing from the dictionary";
    }

    const std::vector<Bytes>& writes = channel.writes;
    if (writes.empty() || writes[0] != Bytes{0x80, 0x00, 0x07, 0x10, 0x00, 0xFF, 0xFF})
        return "first request is not CONNECT";
    for (const Bytes& w : writes)
        if (w.size() < 3 || big16(&w[1]) != w.size()) return "request length field wrong";

    // Walk the requests against the answers, as the phone would see the exchange.
    const Framing answers = frame(stream, streamSize);
    Session session;
    std::size_t delivered = 0;
    for (std::size_t k = 0;; ++k) {
        const bool last = k + 1 == writes.size();
        const Bytes& request = writes[k];
        if (k > 0) {
            if (request.size() > session.peerMax) return "request larger than the phone's maximum";
            if (!session.connectionId.empty() &&
                (request.size() < 8 ||
                 !std::equal(session.connectionId.begin(), session.connectionId.end(), request.begin() + 3)))
                return "request without the phone's Connection ID";
        }
        if (request[0] == 0x81) {  // DISCONNECT ends a completed push, nothing after it
            if (!last || failure) return "DISCONNECT out of place";
            if (request.size() != 3 + session.connectionId.size())
                return "DISCONNECT carries more than the Connection ID";
            if (delivered != objectSize) return "completed without the whole object";
            if (reports.empty() || reports.back() != std::make_pair(ObexPhase::Sending, (unsigned long long)objectSize))
                return "completion not reported";
            return "";
        }
        if (k >= 2) {  // a body packet
            const std::size_t h = 3 + session.connectionId.size();
            const bool final = request[0] == 0x82;
            if ((request[0] != 0x02 && !final) || request.size() < h + 3 || request[h] != (final ? 0x49 : 0x48) ||
                big16(&request[h + 1]) != request.size() - h)
                return "body packet malformed";
            const std::size_t room = session.peerMax - 6 - session.connectionId.size();
            const std::size_t remaining = objectSize - delivered;
            const std::size_t expected =
                remaining < room ? (remaining < 16384 ? remaining : 16384) : (room < 16384 ? room : 16384);
            if (request.size() - h - 3 != expected) return "body chunk of the wrong size";
            for (std::size_t i = h + 3; i < request.size(); ++i)
                if (request[i] != objectByte(delivered++)) return "body bytes differ from the object";
            if (final != (delivered == objectSize)) return "final bit wrong";
        } else if (k == 1 && request[0] != 0x02) {
            return "offer is not a PUT";
        }

        // The answer to this request.
        if (k >= answers.packets.size()) {
            if (!last) return "request sent before the previous answer";
            if (!failure) return "completed without an answer";
            if (answers.cut == "length") {
                if (*failure != "Reponse Bluetooth OBEX invalide.") return "answer length below 3 not refused";
            } else if (!failure->empty()) {
                return "phone hung up but the push failed otherwise";
            }
            return "";
        }
        const Bytes& answer = answers.packets[k];
        std::string refused;
        if (k == 0) {
            session = readConnect(answer);
            refused = session.error;
        } else {
            const unsigned char wanted = request[0] == 0x82 ? 0xA0 : 0x90;
            if (answer[0] != wanted) refused = obexRefusal(answer[0]);
        }
        if (!refused.empty()) {
            if (!last || !failure || *failure != refused) return "answer not refused with its message";
            return "";
        }
        if (last) return "good answer not followed by the next request";
    }
}

}  // namespace obexcheck
