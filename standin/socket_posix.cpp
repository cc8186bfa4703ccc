#include "standin/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace standin::net {

namespace {
int Fd(const Socket& s) {
    return static_cast<int>(s.Get());
}

bool MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

Ready WaitFor(const Socket& s, short events, int milliseconds) {
    pollfd p{Fd(s), events, 0};
    const int n = poll(&p, 1, milliseconds);
    if (n < 0)
        return errno == EINTR ? Ready::Timeout : Ready::Error;
    if (n == 0)
        return Ready::Timeout;
    return Ready::Yes;
}
} // namespace

Startup::Startup() = default;
Startup::~Startup() = default;

void Socket::Close() {
    if (m_h != kInvalid)
        ::close(static_cast<int>(std::exchange(m_h, kInvalid)));
}

void Socket::Abort() {
    if (m_h == kInvalid)
        return;
    linger l{1, 0};
    setsockopt(static_cast<int>(m_h), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

Socket ListenLoopback(std::uint16_t port, std::uint16_t& bound) {
    Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    if (Fd(s) < 0)
        return Socket();
    int yes = 1;
    setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(Fd(s), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(Fd(s), 64) != 0 ||
        !MakeNonBlocking(Fd(s)))
        return Socket();
    socklen_t len = sizeof a;
    if (getsockname(Fd(s), reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return Socket();
    bound = ntohs(a.sin_port);
    return s;
}

Socket Accept(const Socket& listener) {
    const int fd = ::accept(Fd(listener), nullptr, nullptr);
    if (fd < 0)
        return Socket();
    Socket s(fd);
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    if (!MakeNonBlocking(fd))
        return Socket();
    return s;
}

Socket ConnectLoopback(std::uint16_t port) {
    Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    if (Fd(s) < 0)
        return Socket();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(Fd(s), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || !MakeNonBlocking(Fd(s)))
        return Socket();
    return s;
}

Ready WaitReadable(const Socket& s, int milliseconds) {
    return WaitFor(s, POLLIN, milliseconds);
}
Ready WaitWritable(const Socket& s, int milliseconds) {
    return WaitFor(s, POLLOUT, milliseconds);
}

long Receive(const Socket& s, char* buffer, std::size_t size) {
    const ssize_t n = ::recv(Fd(s), buffer, size, 0);
    if (n >= 0)
        return static_cast<long>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return -1;
    return -2;
}

long Send(const Socket& s, const char* data, std::size_t size) {
    const ssize_t n = ::send(Fd(s), data, size, MSG_NOSIGNAL);
    if (n >= 0)
        return static_cast<long>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return -1;
    return -2;
}

void ShutdownSend(const Socket& s) {
    ::shutdown(Fd(s), SHUT_WR);
}

} // namespace standin::net
