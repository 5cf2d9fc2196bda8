#pragma once

#include <asio.hpp>

#include <string>

// Where clients find the hub, and who may reach it.
namespace hub {

// The hub's socket for this user: $XDG_RUNTIME_DIR/lcdhub.sock; empty when that is unset.
std::string DefaultSocketPath();

// Binds and listens at `path`, created 0600, or 0660 for `group`, and never wider on the
// way. A socket left by a hub that is gone is replaced; a hub answering there, or anything
// that is no socket, is left alone and the start refused: std::runtime_error says why.
void ListenAt(asio::local::stream_protocol::acceptor& acceptor, const std::string& path,
              const std::string& group);

// Removes the socket, if it is still the one this hub made.
void RemoveSocket(const std::string& path);

}  // namespace hub
