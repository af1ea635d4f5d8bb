#include "shared/net/HttpGet.h"

#include "shared/net/HttpResponse.h"

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
#else
void CloseSocket(SocketHandle s) { close(s); }
void SetBlocking(SocketHandle s, bool blocking) {
  int flags = fcntl(s, F_GETFL, 0);
  fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}
bool ConnectPending() { return errno == EINPROGRESS; }
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

// Waits until the socket has bytes (or the peer closed); false after the time.
bool WaitReadable(SocketHandle s, std::chrono::milliseconds timeout) {
#ifdef _WIN32
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval tv{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000 * 1000)};
  return select(0, &readable, nullptr, nullptr, &tv) > 0;
#else
  pollfd descriptor{s, POLLIN, 0};
  return poll(&descriptor, 1, static_cast<int>(timeout.count())) > 0;
#endif
}

bool WouldBlock() {
#ifdef _WIN32
  return WSAGetLastError() == WSAEWOULDBLOCK;
#else
  return errno == EAGAIN || errno == EWOULDBLOCK;
#endif
}

// Sends the request and feeds the answer to the reader until it is whole, the
// server closes, the cap is reached, the server falls silent, the time is up
// or a stop comes. False when no connection could be made or the request
// could not be sent; capped says whether the cap ended an unfinished answer.
bool Exchange(const std::string& host, const std::string& path, const HttpLimits& limits, const HttpHooks& hooks,
              HttpResponseReader& reader, bool& capped) {
  auto deadline = std::chrono::steady_clock::now() + limits.total;
#ifdef _WIN32
  static SocketLibrary library;
#endif
  Socket socket(Connect(host, limits));
  if (socket.Get() == kNoSocket) return false;

  std::string request = HttpRequestText(host, path);
  for (size_t sent = 0; sent < request.size();) {
    int n = send(socket.Get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }

  // The request keeps the connection alive, so the server may never close it:
  // stop at the announced end, at the size cap, or after a silence. Reads do
  // not block and the wait comes only when nothing is there (a wait per read
  // costs a round trip to the system on every piece of a large answer); waits
  // are sliced so that a stop request is seen soon.
  SetBlocking(socket.Get(), false);
  constexpr auto kSlice = std::chrono::milliseconds(100);
  std::string buffer(64 * 1024, '\0');
  size_t total = 0;
  auto silentSince = std::chrono::steady_clock::now();
  while (total < limits.maxResponseLength) {
    if (hooks.stopRequested && hooks.stopRequested()) break;
    auto now = std::chrono::steady_clock::now();
    if (now - silentSince >= limits.read || now >= deadline) break;
    size_t room = std::min(buffer.size(), limits.maxResponseLength - total);
    int n = recv(socket.Get(), buffer.data(), static_cast<int>(room), 0);
    if (n == 0) {
      reader.Close();
      break;
    }
    if (n < 0) {
      if (!WouldBlock()) break;
      auto silence = std::chrono::duration_cast<std::chrono::milliseconds>(now - silentSince);
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      WaitReadable(socket.Get(), std::min({kSlice, limits.read - silence, left}));
      continue;
    }
    total += static_cast<size_t>(n);
    silentSince = std::chrono::steady_clock::now();
    bool done = reader.Feed(std::string_view(buffer.data(), static_cast<size_t>(n)));
    if (hooks.progress) hooks.progress(reader.BodyLengthSoFar(), reader.ExpectedBodyLength().value_or(0));
    if (done) break;
  }
  capped = total >= limits.maxResponseLength && !reader.Done();
  return true;
}

}  // namespace

std::string HttpGet(const std::string& host, const std::string& path, const HttpLimits& limits) {
  HttpResponseReader reader;
  bool capped = false;
  if (!Exchange(host, path, limits, {}, reader, capped)) return {};
  return NormalizeHttpLines(reader.Raw());
}

HttpResponse HttpFetch(const std::string& host, const std::string& path, const HttpLimits& limits,
                       const HttpHooks& hooks) {
  HttpResponseReader reader;
  bool capped = false;
  if (!Exchange(host, path, limits, hooks, reader, capped)) return {};
  HttpResponse response = reader.Take();
  response.tooLarge = capped;
  return response;
}

}  // namespace tidewell
