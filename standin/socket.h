#pragma once
// The few socket operations the stand-in site needs, over POSIX sockets on
// Linux and Winsock on Windows. Every socket is non-blocking; waits are done
// with short select timeouts so that a stop is noticed quickly.
#include <cstddef>
#include <cstdint>
#include <utility>

namespace standin::net {

using Handle = std::intptr_t;
inline constexpr Handle kInvalid = -1;

// Winsock needs starting before use; a no-op elsewhere.
class Startup {
public:
    Startup();
    ~Startup();
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;
};

// Owns one socket.
class Socket {
public:
    Socket() = default;
    explicit Socket(Handle h) : m_h(h) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : m_h(std::exchange(other.m_h, kInvalid)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            Close();
            m_h = std::exchange(other.m_h, kInvalid);
        }
        return *this;
    }
    Handle Get() const { return m_h; }
    bool Valid() const { return m_h != kInvalid; }
    void Close();
    // Closes so that the peer sees a reset instead of an orderly end.
    void Abort();

private:
    Handle m_h = kInvalid;
};

// Listens on 127.0.0.1:port (0: ephemeral). Returns an invalid socket on
// failure; `bound` receives the port.
Socket ListenLoopback(std::uint16_t port, std::uint16_t& bound);
// An accepted connection (non-blocking), or an invalid socket.
Socket Accept(const Socket& listener);
// A connection to 127.0.0.1:port (non-blocking once made), or an invalid
// socket. Used by tests that speak raw HTTP to the server.
Socket ConnectLoopback(std::uint16_t port);

enum class Ready { Yes, Timeout, Error };
Ready WaitReadable(const Socket& s, int milliseconds);
Ready WaitWritable(const Socket& s, int milliseconds);

// >0: bytes received; 0: orderly close by the peer; -1: nothing there yet;
// -2: error.
long Receive(const Socket& s, char* buffer, std::size_t size);
// >=0: bytes sent; -1: would block; -2: error.
long Send(const Socket& s, const char* data, std::size_t size);
// Ends sending (the peer reads the end of the stream).
void ShutdownSend(const Socket& s);

} // namespace standin::net
