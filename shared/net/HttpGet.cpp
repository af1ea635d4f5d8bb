#include "shared/net/HttpGet.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
constexpr SocketHandle kNoSocket = INVALID_SOCKET;
#else
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;
#endif

namespace tidewell {

namespace {

#ifdef _WIN32
struct SocketLibrary {
  SocketLibrary() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~SocketLibrary() { WSACleanup(); }
};
void CloseSocket(SocketHandle s) { closesocket(s); }
void SetBlocking(SocketHandle s, bool blocking) {
  u_long mode = blocking ? 0 : 1;
  ioctlsocket(s, FIONBIO, &mode);
}
bool ConnectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }
void SetReadTimeout(SocketHandle s, std::chrono::milliseconds timeout) {
  DWORD ms = static_cast<DWORD>(timeout.count());
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}
#else
void CloseSocket(SocketHandle s) { close(s); }
void SetBlocking(SocketHandle s, bool blocking) {
  int flags = fcntl(s, F_GETFL, 0);
  fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}
bool ConnectPending() { return errno == EINPROGRESS; }
void SetReadTimeout(SocketHandle s, std::chrono::milliseconds timeout) {
  timeval tv{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}
#endif

class Socket {
 public:
  explicit Socket(SocketHandle s) : handle_(s) {}
  ~Socket() {
    if (handle_ != kNoSocket) CloseSocket(handle_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SocketHandle Get() const { return handle_; }

 private:
  SocketHandle handle_;
};

// Waits until a non-blocking connect finishes; true when it succeeded.
bool WaitConnected(SocketHandle s, std::chrono::milliseconds timeout) {
  int error = 0;
  socklen_t length = sizeof error;
#ifdef _WIN32
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval tv{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000 * 1000)};
  if (select(0, nullptr, &writable, &failed, &tv) <= 0 || FD_ISSET(s, &failed)) return false;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
#else
  pollfd descriptor{s, POLLOUT, 0};
  if (poll(&descriptor, 1, static_cast<int>(timeout.count())) <= 0) return false;
  getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length);
#endif
  return error == 0;
}

SocketHandle Connect(const std::string& host, const HttpLimits& limits) {
  std::string name = host, port = "80";
  size_t colon = host.rfind(':');
  if (colon != std::string::npos && host.find(':') == colon) {
    name = host.substr(0, colon);
    port = host.substr(colon + 1);
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  if (getaddrinfo(name.c_str(), port.c_str(), &hints, &addresses) != 0) return kNoSocket;
  SocketHandle connected = kNoSocket;
  for (addrinfo* a = addresses; a && connected == kNoSocket; a = a->ai_next) {
    SocketHandle s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == kNoSocket) continue;
    SetBlocking(s, false);
    int result = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen));
    if (result == 0 || (ConnectPending() && WaitConnected(s, limits.connect))) {
      SetBlocking(s, true);
      connected = s;
    } else {
      CloseSocket(s);
    }
  }
  freeaddrinfo(addresses);
  return connected;
}

}  // namespace

std::string HttpGet(const std::string& host, const std::string& path, const HttpLimits& limits) {
#ifdef _WIN32
  static SocketLibrary library;
#endif
  Socket socket(Connect(host, limits));
  if (socket.Get() == kNoSocket) return {};

  std::string request = HttpRequestText(host, path);
  for (size_t sent = 0; sent < request.size();) {
    int n = send(socket.Get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n <= 0) return {};
    sent += static_cast<size_t>(n);
  }

  // The request keeps the connection alive, so the server may never close it:
  // stop at the announced end, at the size cap, or after a silence.
  SetReadTimeout(socket.Get(), limits.read);
  std::string raw;
  char buffer[16384];
  while (raw.size() < limits.maxResponseLength) {
    int n = recv(socket.Get(), buffer, sizeof buffer, 0);
    if (n <= 0) break;
    raw.append(buffer, std::min(static_cast<size_t>(n), limits.maxResponseLength - raw.size()));
    if (IsCompleteHttpResponse(raw)) break;
  }
  return NormalizeHttpLines(raw);
}

}  // namespace tidewell
