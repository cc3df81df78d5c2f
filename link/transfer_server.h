#pragma once

#include "link/file_share.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// What the link server publishes at one instant.
struct SharedContent {
    std::shared_ptr<const std::string> text;  // UTF-8; never null
    std::shared_ptr<FileShare> file;          // empty when no file is shared
    std::uint64_t revision = 0;               // change counter at that instant
};

// The HTTP server the phone reaches over the local network.
class TransferServer {
public:
    // The phone page, its style sheet and its script. The new server shares an empty
    // text and no file, at revision 0.
    TransferServer(std::string page, std::string style, std::string script);
    TransferServer(const TransferServer&) = delete;
    TransferServer& operator=(const TransferServer&) = delete;

    // Shared content; callable from any thread. Every call raises the revision by 1,
    // even when nothing changed, so the phone notices each one.
    // setText raises std::length_error "Texte limite a 4 Mo en UTF-8." above
    // 4,194,304 bytes and the errors of wide() for invalid UTF-8; a failed call
    // changes nothing.
    void setText(std::string text);
    void setFile(std::shared_ptr<FileShare> file);  // empty withdraws the file
    SharedContent snapshot() const;

    static constexpr std::size_t maximumTextBytes = 4u * 1024u * 1024u;

private:
    // Held only to swap pointers and bump the counter, never during I/O.
    mutable std::mutex contentMutex;
    std::shared_ptr<const std::string> text;
    std::shared_ptr<FileShare> file;
    std::uint64_t revision = 0;

    std::string page, style, script;
};
