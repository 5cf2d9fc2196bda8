#include "hub/connection.h"

#include <algorithm>
#include <utility>

#include "imaging/picture_file.h"
#include "pictures/picture_codec.h"
#include "pictures/picture_files.h"
#include "protocol/commands.h"

namespace hub {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

// Runs on a decoder: the payload becomes the screen's frame, or the reason it cannot.
std::shared_ptr<const Frame> DecodePayload(const Command& command,
                                           const std::vector<std::uint8_t>& payload,
                                           std::string& error) {
    auto frame = std::make_shared<Frame>(protocol::FrameBytes);
    try {
        if (const auto* picture = std::get_if<PictureCommand>(&command)) {
            const bool whole = picture->recipe.fit == imaging::Fit::None;
            const imaging::Bitmap bitmap =
                pictures::DecodePicture(payload, whole ? 0 : protocol::kScreenWidth);
            imaging::FrameFromPicture(bitmap, picture->recipe, *frame);
        } else {
            const auto& gray = std::get<GrayCommand>(command);
            std::vector<std::uint8_t> fitted;
            imaging::FrameFromGray(payload, protocol::kScreenWidth, protocol::kScreenHeight,
                                   gray.recipe, *frame, fitted);
        }
    } catch (const imaging::EPictureFile& problem) {
        error = problem.Reason();
        return nullptr;
    } catch (const std::exception& problem) {
        error = problem.what();
        return nullptr;
    }
    return frame;
}

}  // namespace

Connection::Connection(HubServer& server, std::unique_ptr<ClientStream> stream)
    : m_server(server), m_stream(std::move(stream)), m_payload_timer(server.Io()) {}

void Connection::Start() {
    m_id = m_server.Core().Join(*this);
    m_joined = true;
    m_server.Log("client " + std::to_string(m_id) + " connected");
    Deliver(kGreeting);
    ReadMore();
}

void Connection::ReadMore() {
    if (m_reading || m_closing || m_closed || m_decoding) {
        return;
    }
    m_reading = true;
    m_stream->ReadSome(
        asio::buffer(m_chunk), [self = shared_from_this()](std::error_code error, std::size_t n) {
            self->m_reading = false;
            if (self->m_closed) {
                return;
            }
            if (error) {
                if (error == asio::error::eof) {
                    self->EndOfInput();  // the replies still due go out first
                    return;
                }
                if (error == asio::error::connection_reset) {
                    self->Left();
                } else {
                    self->Drop(error.message());
                }
                return;
            }
            self->Take(n);
        });
}

// The client has said all it will: what it asked is answered, then the connection closes.
void Connection::EndOfInput() {
    TellLeft();
    m_closing = true;
    m_payload_timer.cancel();
    if (!m_decoding) {
        WriteNext();
    }
}

void Connection::Take(std::size_t count) {
    m_in.append(m_chunk.data(), count);
    Process();
    ReadMore();
}

// Lines and payloads, in order, as far as the input goes; a decode in flight holds the rest
// back, so that replies keep the commands' order.
void Connection::Process() {
    while (!m_closing && !m_closed && !m_decoding) {
        const bool progressed = m_payload_for ? ProcessPayload() : ProcessLine();
        if (!progressed) {
            return;
        }
    }
}

bool Connection::ProcessLine() {
    const std::size_t end = m_in.find('\n');
    if (end == std::string::npos ? m_in.size() > kMaxLineBytes : end > kMaxLineBytes) {
        FailFraming("line too long");
        return false;
    }
    if (end == std::string::npos) {
        return false;
    }
    const std::string line = m_in.substr(0, end);
    m_in.erase(0, end + 1);
    const std::optional<ParsedLine> parsed = ParseLine(line);
    if (!parsed) {
        return true;
    }
    if (parsed->framing_lost) {
        FailFraming(parsed->error);
        return false;
    }
    if (parsed->payload > 0) {
        m_payload_for = *parsed;
        m_payload_left = parsed->payload;
        m_payload.clear();
        if (m_payload_for->command && !m_server.HoldPayload(parsed->payload)) {
            m_payload_for->command.reset();  // read all the same, and dropped
            m_payload_for->error = "busy";
        } else if (m_payload_for->command) {
            m_held = parsed->payload;
            m_payload.reserve(std::min<std::size_t>(parsed->payload, 1 << 20));
        }
        return true;  // the payload's own step arms its timer
    }
    Finish(*parsed, {});
    return true;
}

// A refused line's payload is counted off, never kept.
bool Connection::ProcessPayload() {
    const std::size_t wanted = m_payload_left;
    const std::size_t taken = std::min(wanted, m_in.size());
    if (m_payload_for->command) {
        m_payload.insert(m_payload.end(), m_in.begin(), m_in.begin() + static_cast<long>(taken));
    }
    m_in.erase(0, taken);
    m_payload_left -= taken;
    if (taken < wanted) {
        ArmPayloadTimer();  // silence is counted from the last bytes that came
        return false;
    }
    m_payload_timer.cancel();
    const ParsedLine parsed = std::move(*m_payload_for);
    m_payload_for.reset();
    Finish(parsed, std::exchange(m_payload, {}));
    return true;
}

void Connection::Finish(const ParsedLine& parsed, std::vector<std::uint8_t> payload) {
    if (!parsed.command) {
        Reply("error " + parsed.error);
        return;
    }
    const Command& command = *parsed.command;
    if (std::holds_alternative<PictureCommand>(command) ||
        std::holds_alternative<GrayCommand>(command)) {
        m_decoding = true;
        auto data = std::make_shared<std::vector<std::uint8_t>>(std::move(payload));
        m_server.Decode(
            [command, data](std::string& error) { return DecodePayload(command, *data, error); },
            [self = shared_from_this(), command](std::shared_ptr<const Frame> frame,
                                                 const std::string& error) {
                self->FinishDecoded(command, std::move(frame), error);
            });
        return;
    }
    std::shared_ptr<const Frame> content;
    if (std::holds_alternative<FrameCommand>(command) ||
        std::holds_alternative<PageCommand>(command)) {
        content = std::make_shared<const Frame>(std::move(payload));  // a page file's bytes too
    }
    ReleasePayload();  // a frame is the screen's now, bounded as screens are
    Reply(m_server.Core().Execute(m_id, command, std::move(content)));
    if (std::holds_alternative<QuitCommand>(command)) {
        TellLeft();
        m_closing = true;
        WriteNext();
    }
}

void Connection::FinishDecoded(const Command& command, std::shared_ptr<const Frame> frame,
                               const std::string& error) {
    m_decoding = false;
    ReleasePayload();
    if (m_closed) {
        return;
    }
    Reply(frame ? m_server.Core().Execute(m_id, command, std::move(frame)) : "error " + error);
    Process();
    ReadMore();
    WriteNext();  // a client that has left is closed once this is out
}

void Connection::Reply(const std::string& line) {
    Deliver(line);
}

// Nothing after this line can be told apart from what it should have been.
void Connection::FailFraming(const std::string& reason) {
    Deliver("error " + reason);
    m_server.Log("client " + std::to_string(m_id) + " dropped: " + reason);
    m_end_told = true;
    m_closing = true;
    m_payload_timer.cancel();
    WriteNext();
}

void Connection::ArmPayloadTimer() {
    m_payload_timer.expires_after(m_server.Limits().payload_silence);
    m_payload_timer.async_wait([self = shared_from_this()](std::error_code error) {
        if (!error && !self->m_closed && self->m_payload_for) {
            self->FailFraming("payload timed out");
        }
    });
}

void Connection::Deliver(const std::string& line) {
    if (m_closed) {
        return;
    }
    m_queued += line.size() + 1;
    if (m_queued > m_server.Limits().queued_bytes) {
        Drop("not reading its replies");
        return;
    }
    m_out.push_back(line + "\n");
    WriteNext();
}

void Connection::WriteNext() {
    if (m_writing || m_closed) {
        return;
    }
    if (m_out.empty()) {
        if (m_closing) {
            Drop("");
        }
        return;
    }
    m_writing = true;
    m_stream->Write(asio::buffer(m_out.front()),
                      [self = shared_from_this()](std::error_code error, std::size_t) {
                          self->m_writing = false;
                          if (self->m_closed) {
                              return;
                          }
                          if (error == asio::error::eof || error == asio::error::connection_reset) {
                              self->Left();  // gone without reading what it was told
                              return;
                          }
                          if (error) {
                              self->Drop(error.message());
                              return;
                          }
                          self->m_queued -= self->m_out.front().size();
                          self->m_out.pop_front();
                          self->WriteNext();
                      });
}

// The client ended the connection: an ordinary end, not a fault, told once.
void Connection::TellLeft() {
    if (!m_end_told) {
        m_server.Log("client " + std::to_string(m_id) + " left");
        m_end_told = true;
    }
}

// The client went away without waiting for what it was told.
void Connection::Left() {
    TellLeft();
    Drop("");
}

void Connection::ReleasePayload() {
    m_server.ReleasePayload(std::exchange(m_held, 0));
}

// An empty reason: the end was already told (a framing error, a quit).
void Connection::Drop(const std::string& reason) {
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (!reason.empty() && !m_end_told) {
        m_server.Log("client " + std::to_string(m_id) + " dropped: " + reason);
    }
    m_payload_timer.cancel();
    if (!m_decoding) {
        ReleasePayload();  // a decode in flight releases its own when it ends
    }
    m_stream->Close();
    if (m_joined) {
        m_joined = false;
        m_server.Core().Leave(m_id);
    }
    m_server.Forget(shared_from_this());
}

}  // namespace hub
