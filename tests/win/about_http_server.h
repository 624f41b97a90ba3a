// A small HTTP server on 127.0.0.1 inside the test program, for the about
// box's update check. It serves fixed resources, records what it was asked,
// and can stall a response part-way (sending a trickle afterwards) so that a
// download can be cancelled while it runs.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plexi::testing {

class TestHttpServer {
 public:
  struct Resource {
    std::string body;
    int status = 200;
    bool send_length = true;
    // Bytes sent at once; the rest follows a little at a time until the
    // client goes away or the server stops.
    size_t stall_after = std::string::npos;
  };

  TestHttpServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int size = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    listen(listener_, 8);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~TestHttpServer() {
    stopping_ = true;
    closesocket(listener_);
    acceptor_.join();
    for (std::thread& t : connections_) t.join();
    WSACleanup();
  }

  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // "http://127.0.0.1:PORT/"
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

  void Set(const std::string& path, Resource resource) {
    std::lock_guard lock(mutex_);
    resources_[path] = std::move(resource);
  }

  // Request lines and headers, one string per request, in arrival order.
  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  // A port on which nothing listens.
  static uint16_t ClosedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int size = sizeof(address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
  }

 private:
  void AcceptLoop() {
    for (;;) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;  // closed: stopping
      connections_.emplace_back([this, client] { Serve(client); });
    }
  }

  void Serve(SOCKET client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int n = recv(client, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      request.append(buffer, size_t(n));
    }
    const size_t space = request.find(' ');
    const size_t end = request.find(' ', space + 1);
    const std::string path = space == std::string::npos ? "" : request.substr(space + 1, end - space - 1);
    Resource resource;
    bool found = false;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      auto it = resources_.find(path);
      if (it != resources_.end()) {
        resource = it->second;
        found = true;
      }
    }
    if (!found) resource = {"not found", 404};
    std::string head = "HTTP/1.1 " + std::to_string(resource.status) +
                       (resource.status == 200 ? " OK" : " Error") + "\r\nContent-Type: " +
                       "application/octet-stream\r\nConnection: close\r\n";
    if (resource.send_length) head += "Content-Length: " + std::to_string(resource.body.size()) + "\r\n";
    head += "\r\n";
    bool ok = SendAll(client, head.data(), head.size());
    const size_t at_once = std::min(resource.stall_after, resource.body.size());
    if (ok) ok = SendAll(client, resource.body.data(), at_once);
    for (size_t sent = at_once; ok && sent < resource.body.size() && !stopping_;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const size_t piece = std::min<size_t>(1024, resource.body.size() - sent);
      ok = SendAll(client, resource.body.data() + sent, piece);
      sent += piece;
    }
    shutdown(client, SD_SEND);
    closesocket(client);
  }

  static bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
      const int n = send(s, data, int(std::min<size_t>(size, 65536)), 0);
      if (n <= 0) return false;
      data += n;
      size -= size_t(n);
    }
    return true;
  }

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> connections_;  // touched by the acceptor only, then joined
  std::mutex mutex_;
  std::map<std::string, Resource> resources_;
  std::vector<std::string> requests_;
};

}  // namespace plexi::testing
