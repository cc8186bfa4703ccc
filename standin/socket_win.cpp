#include "standin/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace standin::net {

namespace {
SOCKET Sock(const Socket& s) {
    return static_cast<SOCKET>(s.Get());
}

Ready WaitFor(const Socket& s, bool write, int milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Sock(s), &set);
    timeval tv{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int n = ::select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &tv);
    if (n == SOCKET_ERROR)
        return Ready::Error;
    return n == 0 ? Ready::Timeout : Ready::Yes;
}

bool MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

Handle ToHandle(SOCKET s) {
    return s == INVALID_SOCKET ? kInvalid : static_cast<Handle>(s);
}
} // namespace

Startup::Startup() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}
Startup::~Startup() {
    WSACleanup();
}

void Socket::Close() {
    if (m_h != kInvalid)
        ::closesocket(static_cast<SOCKET>(std::exchange(m_h, kInvalid)));
}

void Socket::Abort() {
    if (m_h == kInvalid)
        return;
    linger l{1, 0};
    setsockopt(static_cast<SOCKET>(m_h), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l),
               sizeof l);
    Close();
}

Socket ListenLoopback(std::uint16_t port, std::uint16_t& bound) {
    Socket s(ToHandle(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (!s.Valid())
        return Socket();
    // Another program may never take over our port while we hold it.
    BOOL yes = TRUE;
    setsockopt(Sock(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(Sock(s), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(Sock(s), 64) != 0 || !MakeNonBlocking(Sock(s)))
        return Socket();
    int len = sizeof a;
    if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return Socket();
    bound = ntohs(a.sin_port);
    return s;
}

Socket Accept(const Socket& listener) {
    Socket s(ToHandle(::accept(Sock(listener), nullptr, nullptr)));
    if (!s.Valid())
        return s;
    BOOL yes = TRUE;
    setsockopt(Sock(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
    if (!MakeNonBlocking(Sock(s)))
        return Socket();
    return s;
}

Socket ConnectLoopback(std::uint16_t port) {
    Socket s(ToHandle(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (!s.Valid())
        return s;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(Sock(s), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        !MakeNonBlocking(Sock(s)))
        return Socket();
    return s;
}

Ready WaitReadable(const Socket& s, int milliseconds) {
    return WaitFor(s, false, milliseconds);
}
Ready WaitWritable(const Socket& s, int milliseconds) {
    return WaitFor(s, true, milliseconds);
}

long Receive(const Socket& s, char* buffer, std::size_t size) {
    const int n = ::recv(Sock(s), buffer, static_cast<int>(size > 1 << 30 ? 1 << 30 : size), 0);
    if (n >= 0)
        return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? -1 : -2;
}

long Send(const Socket& s, const char* data, std::size_t size) {
    const int n = ::send(Sock(s), data, static_cast<int>(size > 1 << 30 ? 1 << 30 : size), 0);
    if (n >= 0)
        return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? -1 : -2;
}

void ShutdownSend(const Socket& s) {
    ::shutdown(Sock(s), SD_SEND);
}

} // namespace standin::net
