// The HTTP server on libmicrohttpd: event threads on epoll, so thousands of slow or idle
// connections cost memory, not threads; limits on connections in all and per address,
// on idle time, on header memory and on body size. A request that takes longer to
// answer (a replay to verify) suspends its connection until the answer is ready.
#include "server/http.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <charconv>
#include <chrono>
#include <cstring>
#include <mutex>

namespace tolvane::server {

namespace {

using Clock = std::chrono::steady_clock;

// What the thread that answers and the event thread share. The answer may come after
// the client has hung up and the library has ended the request: it is then dropped.
struct Reply {
    std::mutex m;
    bool suspended = false;
    bool given = false;               // Respond was called
    bool ended = false;               // the library is done with the request
    std::unique_ptr<Response> answer; // given, not yet queued
};

// What one request carries through its calls into the library.
struct Exchange {
    HttpServer::Impl* server = nullptr;
    MHD_Connection* connection = nullptr;
    Request request;
    Clock::time_point started = Clock::now();
    bool tooLarge = false;
    bool handled = false;
    std::shared_ptr<Reply> reply = std::make_shared<Reply>();
    int status = 0;
    std::uint64_t bytes = 0;
};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string addressOf(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return "-";
    char buf[INET6_ADDRSTRLEN] = "-";
    const sockaddr* sa = info->client_addr;
    if (sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, buf, sizeof buf);
    else if (sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, buf, sizeof buf);
    return buf;
}

MHD_Result collect(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* map = static_cast<std::map<std::string, std::string>*>(cls);
    const std::string name = lower(key ? key : "");
    std::string& kept = (*map)[name];
    // Proxies may each add a line of their own: the lines are one list, in order.
    if (name == "x-forwarded-for" && !kept.empty())
        kept += std::string(",") + (value ? value : "");
    else
        kept = value ? value : "";
    return MHD_YES;
}

MHD_Result collectQuery(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* map = static_cast<std::map<std::string, std::string>*>(cls);
    (*map)[key ? key : ""] = value ? value : "";
    return MHD_YES;
}

void releaseShared(void* kept) { delete static_cast<std::shared_ptr<const std::string>*>(kept); }

MHD_Result queue(Exchange& x, const Response& r) {
    MHD_Response* response = nullptr;
    if (r.sharedBody) {
        // The bytes stay where they are, held by this reference until the library lets go.
        auto* kept = new std::shared_ptr<const std::string>(r.sharedBody);
        response = MHD_create_response_from_buffer_with_free_callback_cls(
            r.sharedBody->size(), const_cast<char*>(r.sharedBody->data()), &releaseShared, kept);
        if (!response) delete kept;
    } else {
        response = MHD_create_response_from_buffer(r.body.size(), const_cast<char*>(r.body.data()),
                                                   MHD_RESPMEM_MUST_COPY);
    }
    if (!response) return MHD_NO;
    MHD_add_response_header(response, "Content-Type", r.contentType.c_str());
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : r.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    x.status = r.status;
    x.bytes = r.sharedBody ? r.sharedBody->size() : r.body.size();
    const MHD_Result ok = MHD_queue_response(x.connection, static_cast<unsigned>(r.status), response);
    MHD_destroy_response(response);
    return ok;
}

Response tooLargeResponse(std::size_t limit) {
    return {413,
            "application/json",
            "{\"error\": \"the body is larger than " + std::to_string(limit / 1024) + " KiB\"}",
            {{"Connection", "close"}}};
}

} // namespace

struct HttpServer::Impl {
    static MHD_Result access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char* uploadData, size_t* uploadSize, void** context) {
        auto* self = static_cast<HttpServer*>(cls);
        auto* x = static_cast<Exchange*>(*context);
        if (!x) {
            // The headers are in: refuse a body that is announced too large before reading it.
            x = new Exchange;
            *context = x;
            x->connection = connection;
            x->request.method = method;
            if (x->request.method == "HEAD") x->request.method = "GET";
            x->request.path = url;
            MHD_get_connection_values(connection, MHD_HEADER_KIND, collect, &x->request.headers);
            Request& r = x->request;
            r.peer = addressOf(connection);
            if (auto canonical = IpAddress::parse(r.peer))
                r.peer = canonical->text(); // ::ffff:a.b.c.d as IPv4
            const auto forwardedFor = r.headers.find("x-forwarded-for");
            r.forwarded = forwardedFor != r.headers.end() && self->limits_.trustedProxies.contains(r.peer);
            r.address = r.forwarded
                            ? clientAddress(r.peer, forwardedFor->second, self->limits_.trustedProxies)
                            : r.peer;
            r.addressGroup = addressGroup(r.address);
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, collectQuery, &x->request.query);
            const std::string length = x->request.header("content-length");
            std::uint64_t announced = 0;
            const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), announced);
            if (!length.empty() && (ec != std::errc() || announced > self->limits_.maxBody)) {
                x->tooLarge = true;
                return queue(*x, tooLargeResponse(self->limits_.maxBody));
            }
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            if (!x->tooLarge && x->request.body.size() + *uploadSize > self->limits_.maxBody) {
                x->tooLarge = true;
                x->request.body.clear();
                x->request.body.shrink_to_fit();
            }
            if (!x->tooLarge) x->request.body.append(uploadData, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        if (x->tooLarge) return x->status ? MHD_YES : queue(*x, tooLargeResponse(self->limits_.maxBody));
        if (!x->handled) {
            x->handled = true;
            // Holds the Reply, never the Exchange: that is freed when the request ends.
            Respond respond = [reply = x->reply, connection](Response r) {
                {
                    std::lock_guard lock(reply->m);
                    if (reply->given || reply->ended) return;
                    reply->given = true;
                    reply->answer = std::make_unique<Response>(std::move(r));
                    if (!reply->suspended) return; // the event thread queues it
                    reply->suspended = false;
                }
                // Suspended until this call, so the library still holds the connection;
                // once resumed it may end it at any moment, so nothing is touched after.
                MHD_resume_connection(connection);
            };
            self->handler_(x->request, respond);
        }
        std::lock_guard lock(x->reply->m);
        if (x->reply->answer) {
            auto answer = std::move(x->reply->answer);
            return queue(*x, *answer);
        }
        // Not answered yet: the connection waits without a thread until it is.
        x->reply->suspended = true;
        MHD_suspend_connection(connection);
        return MHD_YES;
    }

    static void completed(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
        auto* self = static_cast<HttpServer*>(cls);
        auto* x = static_cast<Exchange*>(*context);
        if (!x) return;
        if (self->log_) {
            const double seconds = std::chrono::duration<double>(Clock::now() - x->started).count();
            self->log_(
                {x->request.address, x->request.method, x->request.path, x->status, x->bytes, seconds});
        }
        {
            std::lock_guard lock(x->reply->m);
            x->reply->ended = true;
        }
        delete x;
        *context = nullptr;
    }

    static void connection(void* cls, MHD_Connection*, void**, MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<HttpServer*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED)
            ++self->open_;
        else
            --self->open_;
    }
};

HttpServer::HttpServer(HttpLimits limits, Handler handler, std::function<void(const RequestLog&)> log)
    : limits_(limits), handler_(std::move(handler)), log_(std::move(log)) {}

HttpServer::~HttpServer() {
    stop();
    explicit_bzero(tlsKey_.data(), tlsKey_.size());
}

bool HttpServer::start(const std::string& host, int port, std::string* why) {
    sockaddr_storage addr{};
    socklen_t len = 0;
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (host.find(':') != std::string::npos) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(static_cast<std::uint16_t>(port));
        if (inet_pton(AF_INET6, host.c_str(), &a6->sin6_addr) != 1) {
            if (why) *why = "not an IP address: " + host;
            return false;
        }
        len = sizeof *a6;
        flags |= MHD_USE_IPv6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(static_cast<std::uint16_t>(port));
        if (inet_pton(AF_INET, host.c_str(), &a4->sin_addr) != 1) {
            if (why) *why = "not an IP address: " + host;
            return false;
        }
        len = sizeof *a4;
    }
    (void)len;
    MHD_OptionItem tls[] = {
        {MHD_OPTION_END, 0, nullptr}, {MHD_OPTION_END, 0, nullptr}, {MHD_OPTION_END, 0, nullptr}};
    if (!tlsKey_.empty()) {
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
            if (why) *why = "this libmicrohttpd was built without TLS";
            return false;
        }
        flags |= MHD_USE_TLS;
        tls[0] = {MHD_OPTION_HTTPS_MEM_CERT, 0, tlsCertificate_.data()};
        tls[1] = {MHD_OPTION_HTTPS_MEM_KEY, 0, tlsKey_.data()};
    }
    MHD_Daemon* d = MHD_start_daemon(
        flags, static_cast<std::uint16_t>(port), nullptr, nullptr, &Impl::access, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&addr), MHD_OPTION_THREAD_POOL_SIZE, limits_.threads,
        MHD_OPTION_CONNECTION_LIMIT, limits_.maxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        limits_.perAddressConnections, MHD_OPTION_CONNECTION_TIMEOUT, limits_.idleTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits_.headerMemory, MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::completed, this, MHD_OPTION_NOTIFY_CONNECTION, &Impl::connection,
        this, MHD_OPTION_ARRAY, tls, MHD_OPTION_END);
    if (!d) {
        if (why)
            *why = "cannot listen on " + host + ":" + std::to_string(port) + " (" + std::strerror(errno) +
                   ")" + (tlsKey_.empty() ? "" : "; or the certificate and key were refused (see above)");
        return false;
    }
    daemon_ = d;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(d, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : port;
    return true;
}

void HttpServer::useTls(std::string certificate, std::string key) {
    tlsCertificate_ = std::move(certificate);
    tlsKey_ = std::move(key);
}

void HttpServer::stop() {
    if (!daemon_) return;
    MHD_stop_daemon(static_cast<MHD_Daemon*>(daemon_));
    daemon_ = nullptr;
}

} // namespace tolvane::server
