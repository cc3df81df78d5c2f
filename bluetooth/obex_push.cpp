#include "bluetooth/obex_push.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr unsigned char opConnect = 0x80;
constexpr unsigned char opDisconnect = 0x81;
constexpr unsigned char opPut = 0x02;
constexpr unsigned char opPutFinal = 0x82;

constexpr unsigned char rspContinue = 0x90;
constexpr unsigned char rspSuccess = 0xA0;

constexpr unsigned char hdrName = 0x01;
constexpr unsigned char hdrType = 0x42;
constexpr unsigned char hdrBody = 0x48;
constexpr unsigned char hdrEndOfBody = 0x49;
constexpr unsigned char hdrLength = 0xC3;
constexpr unsigned char hdrConnectionId = 0xCB;

void putUint16(std::vector<unsigned char>& out, std::size_t value) {
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    out.push_back(static_cast<unsigned char>(value & 0xFF));
}

unsigned readUint16(const std::vector<unsigned char>& data, std::size_t at) {
    return (static_cast<unsigned>(data[at]) << 8) | data[at + 1];
}

// Walks the CONNECT response headers and returns the Connection ID header
// (5 bytes) or nothing.
std::vector<unsigned char> connectionIdOf(const std::vector<unsigned char>& response) {
    std::vector<unsigned char> id;
    std::size_t at = 7;
    while (at < response.size()) {
        const unsigned char h = response[at];
        const std::size_t left = response.size() - at;
        std::size_t length;
        if (h >= 0xC0) {
            length = 5;
        } else if (h >= 0x80) {
            length = 2;
        } else {
            if (left < 3) throw std::runtime_error("En-tete OBEX incomplet.");
            length = readUint16(response, at + 1);
            if (length < 3) throw std::runtime_error("En-tete OBEX invalide.");
        }
        if (length > left) throw std::runtime_error("En-tete OBEX incomplet.");
        if (h == hdrConnectionId) {
            if (!id.empty()) throw std::runtime_error("Identifiant de session OBEX duplique.");
            id.assign(response.begin() + static_cast<std::ptrdiff_t>(at),
                      response.begin() + static_cast<std::ptrdiff_t>(at + length));
        }
        at += length;
    }
    return id;
}

// Appends a length-prefixed header: id, big-endian (size + 3), the value.
void appendHeader(std::vector<unsigned char>& packet, unsigned char id, const unsigned char* value, std::size_t size) {
    if (size > obex::maxHeaderValue) throw std::runtime_error("En-tete Bluetooth trop long.");
    packet.push_back(id);
    putUint16(packet, size + 3);
    packet.insert(packet.end(), value, value + size);
}

// Frames one request (opcode, big-endian length, body) and sends it in one write.
void sendRequest(ObexChannel& channel, unsigned char opcode, const std::vector<unsigned char>& body) {
    if (body.size() > obex::maxRequestBody) throw std::runtime_error("Paquet Bluetooth trop long.");
    std::vector<unsigned char> packet;
    packet.reserve(body.size() + 3);
    packet.push_back(opcode);
    putUint16(packet, body.size() + 3);
    packet.insert(packet.end(), body.begin(), body.end());
    channel.write(packet.data(), packet.size());
}

}  // namespace

std::vector<unsigned char> obexName(const std::wstring& name) {
    std::vector<unsigned char> out;
    out.reserve(name.size() * 2 + 2);
    for (wchar_t c : name) {
        // wchar_t is a 16- or 32-bit unit, not a char; the first branch is the 16-bit platform's.
        const unsigned long v = static_cast<unsigned long>(c);  // NOLINT(bugprone-signed-char-misuse)
        if constexpr (sizeof(wchar_t) == 2) {                   // NOLINT(bugprone-branch-clone)
            putUint16(out, static_cast<unsigned>(v));
        } else if (v >= 0xD800 && v <= 0xDFFF) {  // NOLINT(bugprone-branch-clone)
            // A lone surrogate is not a character; the phone could not decode it.
            throw std::runtime_error("Nom de fichier Bluetooth invalide.");
        } else if (v <= 0xFFFF) {
            putUint16(out, static_cast<unsigned>(v));
        } else if (v <= 0x10FFFF) {
            const unsigned long s = v - 0x10000;
            putUint16(out, static_cast<unsigned>(0xD800 + (s >> 10)));
            putUint16(out, static_cast<unsigned>(0xDC00 + (s & 0x3FF)));
        } else {
            throw std::runtime_error("Nom de fichier Bluetooth invalide.");
        }
    }
    putUint16(out, 0);
    return out;
}

void variableHeader(std::vector<unsigned char>& packet, unsigned char id, const std::vector<unsigned char>& value) {
    appendHeader(packet, id, value.data(), value.size());
}

std::vector<unsigned char> exchange(ObexChannel& channel, unsigned char opcode,
                                    const std::vector<unsigned char>& body) {
    sendRequest(channel, opcode, body);
    std::vector<unsigned char> response(3);
    channel.read(response.data(), 3);
    const unsigned length = readUint16(response, 1);
    if (length < 3) throw std::runtime_error("Reponse Bluetooth OBEX invalide.");
    if (length > 3) {
        response.resize(length);
        channel.read(response.data() + 3, length - 3);
    }
    return response;
}

void expect(const std::vector<unsigned char>& response, unsigned char code) {
    const unsigned char got = response.empty() ? 0 : response[0];
    if (!response.empty() && got == code) return;
    switch (got) {
    case 0xC1:
    case 0xC3: throw std::runtime_error("Reception refusee par le telephone. Acceptez la notification sur Android.");
    case 0xCD: throw std::runtime_error("Fichier trop volumineux pour le recepteur Bluetooth Android.");
    case 0xCF: throw std::runtime_error("Ce type de fichier est refuse par le recepteur Bluetooth Android.");
    case 0xD3:
        throw std::runtime_error("Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez.");
    default:
        throw std::runtime_error("Le telephone a refuse le transfert OBEX (code " +
                                 std::to_string(static_cast<unsigned>(got)) + ").");
    }
}

namespace {

using Reader = std::function<unsigned long long(unsigned char*, unsigned long long)>;
using Progress = std::function<void(ObexPhase, unsigned long long)>;

// What the CONNECT answer settles for the rest of the session.
struct Session {
    unsigned peerMax = 0;                     // the largest packet the phone takes
    std::vector<unsigned char> connectionId;  // its Connection ID header (5 bytes), or nothing
};

Session connect(ObexChannel& channel) {
    // OBEX 1.0, no flags, we accept packets up to 65,535 bytes; no Target header.
    const std::vector<unsigned char> answer = exchange(channel, opConnect, {0x10, 0x00, 0xFF, 0xFF});
    expect(answer, rspSuccess);
    if (answer.size() < 7) throw std::runtime_error("Reponse de connexion OBEX incomplete.");
    if ((answer[3] >> 4) != 1 || answer[4] != 0)
        throw std::runtime_error("Version ou options OBEX non prises en charge.");
    Session session;
    session.peerMax = readUint16(answer, 5);
    if (session.peerMax < obex::minPeerPacket) throw std::runtime_error("Taille de paquet OBEX invalide.");
    session.connectionId = connectionIdOf(answer);
    return session;
}

// The body of the first PUT: name, type and length, in one packet the phone takes.
std::vector<unsigned char> offerOf(const Session& session, const std::vector<unsigned char>& nameValue,
                                   const std::string& type, unsigned long long size) {
    std::vector<unsigned char> offer = session.connectionId;
    variableHeader(offer, hdrName, nameValue);
    std::vector<unsigned char> typeValue(type.begin(), type.end());
    typeValue.push_back(0);
    variableHeader(offer, hdrType, typeValue);
    offer.push_back(hdrLength);
    for (int shift = 24; shift >= 0; shift -= 8) offer.push_back(static_cast<unsigned char>((size >> shift) & 0xFF));
    if (offer.size() + 3 > session.peerMax)
        throw std::runtime_error("Nom de fichier trop long pour ce recepteur Bluetooth. Raccourcissez-le.");
    return offer;
}

// Fills `count` bytes from the reader, which may deliver them in several pieces.
void fill(const Reader& reader, unsigned char* buffer, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const unsigned long long want = count - filled;
        const unsigned long long got = reader(buffer + filled, want);
        if (got == 0 || got > want) throw std::runtime_error("Lecture du fichier interrompue avant la fin.");
        filled += static_cast<std::size_t>(got);
    }
}

// The object in PUTs as large as the phone takes (16 KiB at most), the last one final;
// each is answered before the next goes out.
void sendBody(ObexChannel& channel, const Session& session, unsigned long long size, const Reader& reader,
              const Progress& progress) {
    // 3 bytes of request prefix and 3 of Body header, plus the Connection ID if any.
    const std::size_t room = session.peerMax - 6 - session.connectionId.size();
    const std::size_t bufferSize = static_cast<std::size_t>(std::min<unsigned long long>({size, room, obex::maxChunk}));
    std::vector<unsigned char> chunk(bufferSize);
    std::vector<unsigned char> body;
    body.reserve(session.connectionId.size() + 3 + bufferSize);
    unsigned long long sent = 0;
    do {
        const std::size_t count =
            static_cast<std::size_t>(std::min<unsigned long long>({size - sent, room, obex::maxChunk}));
        fill(reader, chunk.data(), count);
        sent += count;
        const bool last = sent == size;
        body.assign(session.connectionId.begin(), session.connectionId.end());
        appendHeader(body, last ? hdrEndOfBody : hdrBody, chunk.data(), count);
        expect(exchange(channel, last ? opPutFinal : opPut, body), last ? rspSuccess : rspContinue);
        progress(ObexPhase::Sending, sent);
    } while (sent < size);
}

// The phone has confirmed the object: a failing DISCONNECT changes nothing, and its
// answer is not awaited.
void disconnect(ObexChannel& channel, const Session& session) {
    try {
        sendRequest(channel, opDisconnect, session.connectionId);
    } catch (...) {}
}

}  // namespace

void pushObexFile(ObexChannel& channel, const std::wstring& name, unsigned long long size, const std::string& type,
                  const Reader& reader, const Progress& progress) {
    if (size > obex::maxObjectSize)
        throw std::runtime_error(
            "Bluetooth OBEX : fichier limite a 4 Go moins 1 octet. Utilisez le Wi-Fi pour ce fichier.");
    if (!reader || !progress) throw std::invalid_argument("Lecteur ou suivi OBEX absent.");
    if (name.empty() || name.find(L'\0') != std::wstring::npos)
        throw std::runtime_error("Nom de fichier Bluetooth invalide.");
    if (type.empty() || type.find('\0') != std::string::npos)
        throw std::runtime_error("Type de fichier Bluetooth invalide.");
    // Encoded before anything goes out, so an unencodable name sends nothing.
    const std::vector<unsigned char> nameValue = obexName(name);

    progress(ObexPhase::Connecting, 0);
    const Session session = connect(channel);
    const std::vector<unsigned char> offer = offerOf(session, nameValue, type, size);
    progress(ObexPhase::AwaitingAcceptance, 0);
    expect(exchange(channel, opPut, offer), rspContinue);
    sendBody(channel, session, size, reader, progress);
    disconnect(channel, session);
}
