#pragma once
// The few socket calls the tunnel stand-ins make, over BSD sockets or Winsock, so the client
// also builds as a Windows program. Sockets travel as int: Winsock's handles are small numbers
// and INVALID_SOCKET turns into -1, as a failed socket() does elsewhere.
#include <cstddef>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace tunnel {

#ifdef _WIN32
using SocketSize = int;
inline pollfd PollEntry(int socket, short events) { return pollfd{static_cast<SOCKET>(socket), events, 0}; }
inline int Poll(pollfd* entries, std::size_t count, int timeoutMs) { return WSAPoll(entries, static_cast<ULONG>(count), timeoutMs); }
inline bool Interrupted() { return WSAGetLastError() == WSAEINTR; }
inline std::string LastSocketError() { return "error " + std::to_string(WSAGetLastError()); }
inline void CloseSocket(int socket) { closesocket(static_cast<SOCKET>(socket)); }
inline int OpenSocket(int type) { return static_cast<int>(::socket(AF_INET, type, 0)); }
inline long SendSome(int socket, const char* data, std::size_t size)
{
    return ::send(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
}
inline long ReceiveSome(int socket, char* data, std::size_t size)
{
    return ::recv(static_cast<SOCKET>(socket), data, static_cast<int>(size), 0);
}
inline int ConnectTo(int socket, const sockaddr_in& address)
{
    return ::connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
// Winsock needs its library started once per process.
inline bool StartSockets()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
#else
inline pollfd PollEntry(int socket, short events) { return pollfd{socket, events, 0}; }
inline int Poll(pollfd* entries, std::size_t count, int timeoutMs) { return ::poll(entries, count, timeoutMs); }
inline bool Interrupted() { return errno == EINTR; }
inline std::string LastSocketError() { return std::strerror(errno); }
inline void CloseSocket(int socket) { ::close(socket); }
inline int OpenSocket(int type) { return ::socket(AF_INET, type | SOCK_CLOEXEC, 0); }
inline long SendSome(int socket, const char* data, std::size_t size) { return ::send(socket, data, size, MSG_NOSIGNAL); }
inline long ReceiveSome(int socket, char* data, std::size_t size) { return ::recv(socket, data, size, 0); }
inline int ConnectTo(int socket, const sockaddr_in& address)
{
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
inline bool StartSockets() { return true; }
#endif

} // namespace tunnel
