#pragma once

#include <asio.hpp>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

// Where clients reach the hub: a local socket on POSIX systems, a named pipe on Windows.
// The server sees only byte streams and a place they arrive at.
namespace hub {

class ClientStream {
public:
    using Done = std::function<void(std::error_code, std::size_t)>;
    virtual ~ClientStream() = default;
    // Some bytes as they come; asio::error::eof once the client has closed its end.
    virtual void ReadSome(asio::mutable_buffer into, Done done) = 0;
    // The whole buffer, or the reason it could not go: asio::error::eof if the client has gone.
    virtual void Write(asio::const_buffer bytes, Done done) = 0;
    virtual void Close() = 0;
};

class ClientListener {
public:
    using Arrived = std::function<void(std::error_code, std::unique_ptr<ClientStream>)>;
    virtual ~ClientListener() = default;
    virtual void Accept(Arrived arrived) = 0;
    // No more clients; the address is given up (a socket file is removed, if still ours).
    virtual void Close() = 0;
};

// A read that fails because the client went away: the end of its input, as a closed
// socket's is.
struct BrokenPipeEndsInput {
    bool operator()(std::error_code error) const { return error == asio::error::broken_pipe; }
};

// An Asio stream as a client's stream.
template <class Stream, class EndsInput = BrokenPipeEndsInput>
class AsioClientStream final : public ClientStream {
public:
    explicit AsioClientStream(Stream stream) : m_stream(std::move(stream)) {}
    void ReadSome(asio::mutable_buffer into, Done done) override {
        m_stream.async_read_some(
            into, [done = std::move(done)](std::error_code error, std::size_t count) {
                done(EndsInput{}(error) ? asio::error::eof : error, count);
            });
    }
    void Write(asio::const_buffer bytes, Done done) override {
        asio::async_write(m_stream, bytes,
                          [done = std::move(done)](std::error_code error, std::size_t count) {
                              done(EndsInput{}(error) ? asio::error::eof : error, count);
                          });
    }
    void Close() override {
        std::error_code ignored;
        if constexpr (requires { m_stream.shutdown(asio::socket_base::shutdown_both, ignored); }) {
            m_stream.shutdown(asio::socket_base::shutdown_both, ignored);
        }
        m_stream.close(ignored);
    }

private:
    Stream m_stream;
};

// This user's hub address: $XDG_RUNTIME_DIR/lcdhub.sock on POSIX systems (empty when that is
// unset), \\.\pipe\lcdhub on Windows.
std::string DefaultHubAddress();

// The usage text's options for the address, in its synopsis and in its lines.
const char* ClientAddressSynopsis();
const char* ClientAddressUsage();

// Takes `address` for clients: a socket created 0600, or 0660 for `group`, never wider on
// the way, a stale one replaced; on Windows a pipe only this user and SYSTEM may open, from
// this machine. A hub answering there, or anything that is no socket, is left alone and the
// start refused: std::runtime_error says why.
std::unique_ptr<ClientListener> ListenForClients(asio::io_context& io, const std::string& address,
                                                 const std::string& group);

}  // namespace hub
