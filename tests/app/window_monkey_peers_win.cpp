// The window's peers, played by the driver: the Internet, the phone on Bluetooth, the
// phone on the link (its view of the state document), the PC's adapters and files.

#include "tests/app/window_monkey_win.h"

namespace window_monkey {

std::unique_ptr<ObexChannel> PhoneSide::connect(const std::atomic<bool>& cancel) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (holdConnect && !connectReleased && !cancel && Clock::now() < until) Sleep(2);
    if (cancel) throw Cancelled();  // as the product's channel does once cancelled
    std::lock_guard<std::mutex> lock(mutex);
    if (plan == Unreachable)
        throw std::runtime_error("Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez.");
    receiver::Script script;
    script.holdOffer = holdOffer;
    if (plan == Refuses) script.offerAnswer = 0xC3;
    if (plan == Breaks) {
        script.faultAt = 2;  // the first body packet
        script.fault = receiver::Script::Fault::Reset;
    }
    receiver.reset();  // the previous job's connection is over
    receiver = std::make_unique<receiver::LoopbackReceiver>(script);
    auto channel = connectTcpChannel(receiver->loopback(), receiver->port(), &cancel);
    if (holdEnd) return std::make_unique<HoldingChannel>(std::move(channel), endReleased);
    return channel;
}

std::optional<Link> parseLink(const std::wstring& shown) {
    const std::string text = narrow(shown);
    if (text.rfind("http://", 0) != 0 || text.empty() || text.back() != '/') return std::nullopt;
    const std::size_t slash = text.find('/', 7), colon = text.find(':', 7);
    if (slash == std::string::npos || colon == std::string::npos || colon > slash) return std::nullopt;
    Link link;
    link.host = text.substr(7, slash - 7);
    link.address = text.substr(7, colon - 7);
    link.port = static_cast<std::uint16_t>(std::stoi(text.substr(colon + 1, slash - colon - 1)));
    link.token = text.substr(slash + 1, text.size() - slash - 2);
    return link;
}

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}
    bool literal(const char* expected) {
        const std::size_t n = std::strlen(expected);
        if (s_.compare(at_, n, expected) != 0) return false;
        at_ += n;
        return true;
    }
    bool number(std::uint64_t& value) {
        const std::size_t start = at_;
        value = 0;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') value = value * 10 + (s_[at_++] - '0');
        return at_ > start;
    }
    bool string(std::string& out) {
        if (!literal("\"")) return false;
        out.clear();
        while (at_ < s_.size() && s_[at_] != '"') {
            char c = s_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) return false;
            c = s_[at_++];
            switch (c) {
            case '"':
            case '\\': out += c; break;
            case 'u': {  // the server escapes control bytes only
                unsigned unit = 0;
                if (!hex4(unit) || unit >= 0x20) return false;
                out += static_cast<char>(unit);
                break;
            }
            default: return false;
            }
        }
        return literal("\"");
    }
    bool atEnd() const { return at_ == s_.size(); }

private:
    bool hex4(unsigned& unit) {
        if (at_ + 4 > s_.size()) return false;
        unit = static_cast<unsigned>(std::stoul(s_.substr(at_, 4), nullptr, 16));
        at_ += 4;
        return true;
    }
    const std::string& s_;
    std::size_t at_ = 0;
};

std::optional<PhoneState> parseState(const std::string& body) {
    JsonReader json(body);
    PhoneState state;
    if (!json.literal("{\"language\":") || !json.string(state.language) || !json.literal(",\"revision\":") ||
        !json.number(state.revision) || !json.literal(",\"text\":") || !json.string(state.text) ||
        !json.literal(",\"file\":"))
        return std::nullopt;
    if (!json.literal("null")) {
        state.file = true;
        if (!json.literal("{\"name\":") || !json.string(state.fileName) || !json.literal(",\"size\":") ||
            !json.number(state.fileSize) || !json.literal(",\"id\":") || !json.string(state.fileId) ||
            !json.literal("}"))
            return std::nullopt;
    }
    if (!json.literal("}") || !json.atEnd()) return std::nullopt;
    return state;
}

std::vector<std::pair<std::wstring, std::string>> offeredAddresses;

// Loopback addresses of the run's own, so that its link server never needs a port that
// the server tests hold on 127.0.0.1 at the same time.
const std::pair<std::wstring, std::string> allAddresses[] = {{L"Boucle A \u00b7 127.0.0.11", "127.0.0.11"},
                                                             {L"Boucle B \u00b7 127.0.0.12", "127.0.0.12"},
                                                             {L"Boucle C \u00b7 127.0.0.13", "127.0.0.13"}};
std::optional<std::vector<std::pair<std::wstring, std::string>>> loopbackAddresses() { return offeredAddresses; }

}  // namespace window_monkey
