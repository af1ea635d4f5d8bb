#include "tests/support/LoopbackHttpServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tidewell::test {

namespace {

#ifdef _WIN32
using Handle = SOCKET;
void CloseSocket(intptr_t s) { closesocket(static_cast<SOCKET>(s)); }
struct Library {
  Library() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
#else
using Handle = int;
void CloseSocket(intptr_t s) { close(static_cast<int>(s)); }
#endif

bool Readable(intptr_t s, int timeoutMs) {
#ifdef _WIN32
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(s), &set);
  timeval tv{timeoutMs / 1000, timeoutMs % 1000 * 1000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
#else
  pollfd descriptor{static_cast<int>(s), POLLIN, 0};
  return poll(&descriptor, 1, timeoutMs) > 0;
#endif
}

intptr_t ListenOnLoopback(uint16_t& port) {
#ifdef _WIN32
  static Library library;
#endif
  Handle s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(s, 8);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return static_cast<intptr_t>(s);
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(std::string response, AfterResponse after)
    : after_(after), response_(std::move(response)) {
  listener_ = ListenOnLoopback(port_);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  thread_.join();
  for (intptr_t s : keptOpen_) CloseSocket(s);
  CloseSocket(listener_);
}

std::string LoopbackHttpServer::Host() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> LoopbackHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::SetResponse(std::string response) {
  std::lock_guard lock(mutex_);
  response_ = std::move(response);
}

std::string LoopbackHttpServer::UnusedHost() {
  uint16_t port = 0;
  intptr_t s = ListenOnLoopback(port);
  CloseSocket(s);
  return "127.0.0.1:" + std::to_string(port);
}

void LoopbackHttpServer::Serve() {
  while (!stop_) {
    if (!Readable(listener_, 50)) continue;
    intptr_t client = static_cast<intptr_t>(accept(static_cast<Handle>(listener_), nullptr, nullptr));
    if (client < 0) continue;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && !stop_ && Readable(client, 5000)) {
      int n = recv(static_cast<Handle>(client), buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, n);
    }
    std::string response;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      response = response_;
    }
    for (int waited = 0; waited < delayMs_ && !stop_; waited += 10) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    send(static_cast<Handle>(client), response.data(), static_cast<int>(response.size()), 0);
    if (after_ == AfterResponse::Close)
      CloseSocket(client);
    else
      keptOpen_.push_back(client);
  }
}

}  // namespace tidewell::test
