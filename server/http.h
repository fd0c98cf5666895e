// The server's own request and response, and the HTTP server that carries them
// (libmicrohttpd, hidden here: handlers and tests never see it).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "server/clients.h"

namespace tolvane::server {

struct Request {
    std::string method; // GET (HEAD arrives as GET), POST, ...
    std::string path;   // without the query
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    std::string address;      // the client's IP address (behind a trusted proxy, the one it forwarded)
    std::string peer;         // the connection's own address (a proxy's, when one forwarded the request)
    bool forwarded = false;   // it came from a trusted proxy with an X-Forwarded-For
    std::string addressGroup; // what per-address limits count: the address itself (IPv4), its /64 (IPv6)
    std::vector<std::string> captures; // filled by the router: the {…} parts of the path

    std::string header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct Response {
    Response(int status = 200, std::string contentType = "application/json", std::string body = {},
             std::vector<std::pair<std::string, std::string>> headers = {})
        : status(status), contentType(std::move(contentType)), body(std::move(body)),
          headers(std::move(headers)) {}
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // When set, sent instead of `body` without a copy, and kept until the library is done.
    std::shared_ptr<const std::string> sharedBody;
};

// Answers a request once, from any thread, now or later.
using Respond = std::function<void(Response)>;
using Handler = std::function<void(Request&, Respond)>;

// One line per request, written when its answer has gone out.
struct RequestLog {
    std::string address, method, path;
    int status = 0;
    std::uint64_t bytes = 0;
    double seconds = 0;
};

// What one client can ask of the server, set once at start-up.
struct HttpLimits {
    unsigned maxConnections = 1000;       // in all; more are refused at once
    unsigned perAddressConnections = 64;  // from one IP address
    unsigned idleTimeoutSeconds = 15;     // a connection silent this long is closed
    std::size_t headerMemory = 32 * 1024; // request line and headers of one request
    std::size_t maxBody = 64 * 1024;      // larger bodies get 413
    unsigned threads = 2;                 // event threads (epoll)
    AddressList trustedProxies;           // whose X-Forwarded-For names the client (--trusted-proxy)
};

class HttpServer {
  public:
    HttpServer(HttpLimits limits, Handler handler, std::function<void(const RequestLog&)> log);
    ~HttpServer();
    // Listens on host:port (port 0: any free port). False, with the reason, when it cannot.
    bool start(const std::string& host, int port, std::string* why);
    // HTTPS only from then on (before start): the PEM certificate chain and key, checked
    // already (tls.h); kept for the daemon's life.
    void useTls(std::string certificate, std::string key);
    int port() const { return port_; }
    // Stops listening and closes every connection. Answers still being worked on must
    // have been given before.
    void stop();
    int openConnections() const { return open_.load(); }

    struct Impl; // the library's callbacks

  private:
    HttpLimits limits_;
    Handler handler_;
    std::function<void(const RequestLog&)> log_;
    void* daemon_ = nullptr;
    std::string tlsCertificate_, tlsKey_;
    int port_ = 0;
    std::atomic<int> open_{0};
};

} // namespace tolvane::server
