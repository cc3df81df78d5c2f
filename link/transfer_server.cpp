#include "link/transfer_server.h"

#include "base/text.h"

#include <stdexcept>
#include <utility>

TransferServer::TransferServer(std::string page_, std::string style_, std::string script_)
    : text(std::make_shared<const std::string>()),
      page(std::move(page_)),
      style(std::move(style_)),
      script(std::move(script_)) {}

void TransferServer::setText(std::string newText) {
    if (newText.size() > maximumTextBytes) throw std::length_error("Texte limite a 4 Mo en UTF-8.");
    (void)wide(newText);  // validates; its errors propagate before anything changes
    auto shared = std::make_shared<const std::string>(std::move(newText));
    std::shared_ptr<const std::string> previous;  // freed after the lock is released
    std::lock_guard<std::mutex> lock(contentMutex);
    previous = std::exchange(text, std::move(shared));
    ++revision;
}

void TransferServer::setFile(std::shared_ptr<FileShare> newFile) {
    std::shared_ptr<FileShare> previous;  // released after the lock, so a last close happens outside it
    std::lock_guard<std::mutex> lock(contentMutex);
    previous = std::exchange(file, std::move(newFile));
    ++revision;
}

SharedContent TransferServer::snapshot() const {
    std::lock_guard<std::mutex> lock(contentMutex);
    return SharedContent{text, file, revision};
}

std::string TransferServer::link() const {
    return "http://" + address + ":" + std::to_string(port) + "/" + token + "/";
}
