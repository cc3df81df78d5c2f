#include "bluetooth/bluetooth_transfer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "base/language.h"
#include "base/text.h"
#include "bluetooth/mime_type.h"
#include "bluetooth/socket_channel.h"
#include "platform/system.h"

namespace {

const wchar_t* const connectingText = L"Connexion au téléphone…";
const wchar_t* const awaitingText = L"Acceptez le fichier sur Android…";
const wchar_t* const sendingText = L"Envoi Bluetooth en cours…";
const wchar_t* const completedText = L"Fichier reçu : le téléphone a confirmé la fin du transfert.";
const wchar_t* const cancelledText = L"Transfert Bluetooth annulé.";
const wchar_t* const startFailedText = L"Démarrage du transfert impossible.";

// Overwrites the bytes of a string with zeros, where they are.
void wipe(std::string& bytes) {
    if (!bytes.empty()) platform::secureZero(bytes.data(), bytes.size());
}

}  // namespace

BluetoothTransfer::Payload::~Payload() { wipe(text); }

std::size_t BluetoothTransfer::Payload::readText(unsigned char* buffer, unsigned long long count,
                                                 std::size_t& position) const {
    const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(text.size() - position, count));
    std::memcpy(buffer, text.data() + position,
                n);  // NOLINT(bugprone-not-null-terminated-result): bytes, not a C string
    position += n;
    return n;
}

BluetoothTransfer::BluetoothTransfer()
    : BluetoothTransfer(
          [](unsigned long long address, const std::atomic<bool>& cancel) -> std::unique_ptr<ObexChannel> {
              return connectRfcomm(address, cancel);
          }) {}

BluetoothTransfer::BluetoothTransfer(Connector connector_, FileOpener opener_)
    : connector(std::move(connector_)), opener(std::move(opener_)) {
    if (!opener) {
        opener = [](const FileShare& share) -> FileRead {
            auto file = std::make_shared<FileReader>(share);
            return [file](unsigned char* buffer, std::uint64_t capacity) { return file->read(buffer, capacity); };
        };
    }
}

BluetoothTransfer::~BluetoothTransfer() {
    cancelFlag = true;
    if (worker.joinable()) {
        platform::cancelThreadIo(worker);
        worker.join();
    }
}

void BluetoothTransfer::start(unsigned long long address, std::shared_ptr<FileShare> file) {
    if (!file) throw std::invalid_argument("Fichier Bluetooth absent.");
    auto payload = std::make_shared<Payload>();
    payload->name = file->name;
    payload->size = file->size;
    payload->file = std::move(file);
    startPayload(address, std::move(payload));
}

void BluetoothTransfer::startText(unsigned long long address, std::string text) {
    startPayload(address, textPayload(std::move(text)));
}

std::shared_ptr<BluetoothTransfer::Payload> BluetoothTransfer::textPayload(std::string text) {
    // Our copy of the text is wiped however this ends.
    struct Wiper {
        std::string& bytes;
        ~Wiper() { wipe(bytes); }
    } wiper{text};
    if (text.empty() || text.size() > ::maximumTextBytes)
        throw std::length_error("Texte Bluetooth vide ou trop long (4 Mo maximum).");
    std::wstring check = wide(text);  // proves the text is valid UTF-8
    if (!check.empty()) platform::secureZero(check.data(), check.size() * sizeof(wchar_t));
    auto payload = std::make_shared<Payload>();
    payload->name = Ui::english ? L"Text.txt" : L"Texte.txt";
    payload->text.reserve(text.size() + 3);
    payload->text = "\xEF\xBB\xBF";
    payload->text += text;
    payload->size = payload->text.size();
    return payload;
}

void BluetoothTransfer::startPayload(unsigned long long address, std::shared_ptr<Payload> payload) {
    if (address == 0 || address > maximumAddress) throw std::invalid_argument("Adresse Bluetooth invalide.");
    if (!payload) throw std::invalid_argument("Fichier Bluetooth absent.");
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (busy(state)) throw std::runtime_error("Un transfert Bluetooth est deja en cours.");
    }
    if (payload->size > obex::maxObjectSize)
        throw std::runtime_error("Bluetooth : fichier limite a 4 Go moins 1 octet. Utilisez le Wi-Fi pour ce fichier.");
    if (worker.joinable()) worker.join();
    cancelFlag = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        state = State::Connecting;
        job = ++jobsStarted;
        sent = 0;
        total = payload->size;
        message = connectingText;
    }
    try {
        worker = std::thread(&BluetoothTransfer::run, this, address, std::move(payload));
    } catch (...) {
        finish(State::Failed, startFailedText);
        throw;
    }
}

void BluetoothTransfer::cancel() {
    cancelFlag = true;
    if (worker.joinable()) platform::cancelThreadIo(worker);
}

BluetoothTransfer::Snapshot BluetoothTransfer::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex);
    return Snapshot{state, sent, total, message, job};
}

void BluetoothTransfer::report(State state_, std::uint64_t sent_, std::wstring message_) {
    std::lock_guard<std::mutex> lock(mutex);
    state = state_;
    sent = sent_;
    message = std::move(message_);
}

void BluetoothTransfer::finish(State state_, std::wstring message_) {
    std::lock_guard<std::mutex> lock(mutex);
    state = state_;
    message = std::move(message_);
}

void BluetoothTransfer::run(unsigned long long address, std::shared_ptr<Payload> payload) {
    try {
        // A cancel frees a blocked open or read (CancelSynchronousIo), which then fails
        // or comes back short: that is still the user's cancel, not a file fault.
        FileRead file;
        if (payload->file) {
            try {
                file = opener(*payload->file);
            } catch (const std::exception&) {
                if (cancelFlag) throw Cancelled();
                throw;
            }
        }
        std::unique_ptr<ObexChannel> channel = connector(address, cancelFlag);
        if (!channel) throw std::runtime_error("Connexion Bluetooth impossible.");
        const std::string type = mimeTypeFor(payload->name);

        std::size_t textPosition = 0;
        auto reader = [&](unsigned char* buffer, unsigned long long count) -> unsigned long long {
            if (cancelFlag) throw Cancelled();
            if (file) {
                std::uint64_t got = 0;
                try {
                    got = file(buffer, std::min<unsigned long long>(count, 4294967295ull));
                } catch (const std::exception&) {
                    if (!cancelFlag) throw;
                }
                if (cancelFlag) throw Cancelled();
                return got;
            }
            return payload->readText(buffer, count, textPosition);
        };
        const std::uint64_t size = payload->size;
        auto progress = [&](ObexPhase phase, unsigned long long value) {
            // The last report comes after the phone confirmed the whole object: too late to cancel.
            const bool last = phase == ObexPhase::Sending && value == size;
            if (cancelFlag && !last) throw Cancelled();
            switch (phase) {
            case ObexPhase::Connecting: report(State::Connecting, value, connectingText); break;
            case ObexPhase::AwaitingAcceptance: report(State::AwaitingAcceptance, value, awaitingText); break;
            case ObexPhase::Sending: report(State::Sending, value, sendingText); break;
            }
        };
        pushObexFile(*channel, payload->name, size, type, reader, progress);
        finish(State::Completed, completedText);
    } catch (const Cancelled&) {
        finish(State::UserCancelled, cancelledText);
    } catch (const std::exception& e) {
        finish(State::Failed, messageText(e));  // a text that is not UTF-8 still reaches the user
    } catch (...) {
        finish(State::Failed, startFailedText);
    }
}
