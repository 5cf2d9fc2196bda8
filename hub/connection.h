#pragma once

#include <asio.hpp>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "hub/hub_protocol.h"
#include "hub/hub_server.h"

namespace hub {

// One client: lines in, payloads after them, one reply each, in order.
class Connection final : public ClientOutput, public std::enable_shared_from_this<Connection> {
public:
    Connection(HubServer& server, std::unique_ptr<ClientStream> stream);

    void Start();
    void Deliver(const std::string& line) override;
    // Closes at once, telling the log why.
    void Drop(const std::string& reason);

private:
    void ReadMore();
    void EndOfInput();
    void ReleasePayload();
    void TellLeft();
    void Left();
    void Take(std::size_t count);
    void Process();
    bool ProcessLine();
    bool ProcessPayload();
    void Finish(const ParsedLine& parsed, std::vector<std::uint8_t> payload);
    void FinishDecoded(const Command& command, std::shared_ptr<const Frame> frame,
                       const std::string& error);
    void Reply(const std::string& line);
    void FailFraming(const std::string& reason);
    void WriteNext();
    void ArmPayloadTimer();

    HubServer& m_server;
    std::unique_ptr<ClientStream> m_stream;
    ClientId m_id = 0;
    bool m_joined = false;
    bool m_closing = false;  // no more reading; closed once the replies are out
    bool m_closed = false;
    bool m_end_told = false;  // the log has the connection's end already
    bool m_decoding = false;
    bool m_reading = false;

    std::vector<char> m_chunk = std::vector<char>(64 * 1024);
    std::string m_in;
    std::optional<ParsedLine> m_payload_for;
    std::vector<std::uint8_t> m_payload;
    std::size_t m_payload_left = 0;  // bytes still to come
    std::size_t m_held = 0;          // of the server's room for payloads

    std::deque<std::string> m_out;
    std::size_t m_queued = 0;
    bool m_writing = false;
    asio::steady_timer m_payload_timer;
};

}  // namespace hub
