#pragma once
// A one-thread HTTP server on 127.0.0.1 for network tests: answers every
// request with a chosen response and records the raw request texts.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tidewell::test {

class LoopbackHttpServer {
 public:
  enum class AfterResponse { Close, KeepOpen };

  explicit LoopbackHttpServer(std::string response, AfterResponse after = AfterResponse::Close);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // "127.0.0.1:<port>", as the programs' host settings take it.
  std::string Host() const;
  uint16_t Port() const { return port_; }
  std::vector<std::string> Requests() const;
  void SetResponse(std::string response);
  // Hold the answer back this long after the request (to test read timeouts).
  void SetDelay(std::chrono::milliseconds delay) { delayMs_ = static_cast<int>(delay.count()); }

  // A loopback host:port where nothing listens.
  static std::string UnusedHost();

 private:
  void Serve();

  std::atomic<bool> stop_{false};
  std::atomic<int> delayMs_{0};
  AfterResponse after_;
  intptr_t listener_ = -1;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::string response_;
  std::vector<std::string> requests_;
  std::vector<intptr_t> keptOpen_;
  std::thread thread_;
};

}  // namespace tidewell::test
