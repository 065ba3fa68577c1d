// The HTTP server on Boost.Beast: one io_context run by a fixed pool of threads, one strand per
// connection, pages run synchronously by the page host. The only file that includes Beast.
#include "host/net/http_server.h"

#include <sys/resource.h>

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>  // must precede Asio with this compiler and Boost
#include <vector>

#include "host/http_text.h"
#include "host/page_host.h"

namespace cb {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

// How long a stopping server waits for requests in flight, and how long a refused client may
// go on sending before its connection is dropped.
constexpr auto kStopGrace = std::chrono::seconds(10);
constexpr auto kLingerTime = std::chrono::seconds(2);
// A failed accept (no descriptor left) is retried after a pause instead of at once, and reported
// at most once per interval with a count, so that a full table neither spins nor floods the log.
constexpr auto kAcceptBackoff = std::chrono::milliseconds(100);
constexpr auto kAcceptReportInterval = std::chrono::seconds(10);

// Connections at most: the configured number, else the descriptor limit less room for the
// database, site files, mail and the log.
size_t ConnectionLimit(size_t configured) {
  if (configured > 0) return configured;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1000;
  size_t soft = limit.rlim_cur == RLIM_INFINITY ? size_t{1} << 20 : limit.rlim_cur;
  size_t headroom = std::max<size_t>(64, soft / 8);
  return soft > headroom + 16 ? soft - headroom : 16;
}

int64_t SteadyNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch())
      .count();
}

std::string Str(beast::string_view s) { return std::string(s.data(), s.size()); }

std::string AddressText(const net::ip::address& a) {
  if (a.is_v6() && a.to_v6().is_v4_mapped()) {
    return net::ip::make_address_v4(net::ip::v4_mapped, a.to_v6()).to_string();
  }
  return a.to_string();
}

bool IsHttpError(const beast::error_code& ec) {
  return ec.category() == beast::error_code(http::error::bad_target).category();
}

class Connection;

// What the connections share: the page host, the limits, the registry of open connections.
class ServerCore {
 public:
  ServerCore(HostConfig cfg, Application& app, Router router, Environment env)
      : cfg_(std::move(cfg)),
        host_(cfg_, app, std::move(router), std::move(env)),
        ioc_(cfg_.threads),
        acceptor_(net::make_strand(ioc_)),
        accept_timer_(acceptor_.get_executor()) {
    if (cfg_.access_log) {
      log_ = [](const std::string& line) {
        std::string text = line + "\n";
        fwrite(text.data(), 1, text.size(), stderr);
      };
    }
  }

  void Start();
  void BeginStop();
  void FinishStop();
  int Run();
  void Register(const std::shared_ptr<Connection>& c);
  void Unregister(Connection* c);
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }
  size_t ConnectionCount();

  const HostConfig cfg_;
  std::function<void(const std::string&)> log_;
  std::atomic<bool> stopping_{false};
  std::atomic<uint16_t> port_{0};

 private:
  friend class Connection;
  void Accept();
  void OnAccept(beast::error_code ec, tcp::socket socket);
  void RetryAcceptLater();
  void ReportAcceptFailure(const beast::error_code& ec);
  bool CloseOldestIdle();
  void RunLoop();

 public:
  PageHost host_;

 private:
  // Declared before the io_context: handlers it destroys at the end still unregister here.
  std::mutex mu_;
  std::condition_variable cv_;
  std::unordered_map<Connection*, std::weak_ptr<Connection>> connections_;
  size_t max_connections_ = 0;
  // Accepting waits while the table is full of busy connections; the next close resumes it.
  std::atomic<bool> accept_paused_{false};
  // On the acceptor's strand: failures since the last report and when that was.
  size_t accept_failures_ = 0;
  std::optional<SteadyClock::time_point> last_accept_report_;
  bool started_ = false;
  bool stop_requested_ = false;
  bool finished_ = false;
  std::vector<std::thread> threads_;

  net::io_context ioc_;
  tcp::acceptor acceptor_;
  net::steady_timer accept_timer_;
  std::optional<net::signal_set> signals_;
};

// One client connection: read a request, let the page host answer it, write, and again while
// the client keeps the connection alive.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket&& socket, ServerCore& core) : stream_(std::move(socket)), core_(core) {
    beast::error_code ec;
    auto remote = stream_.socket().remote_endpoint(ec);
    if (!ec) remote_addr_ = AddressText(remote.address());
    auto local = stream_.socket().local_endpoint(ec);
    if (!ec) local_port_ = local.port();
  }
  ~Connection() { core_.Unregister(this); }

  void Start() {
    core_.Register(shared_from_this());
    net::dispatch(stream_.get_executor(),
                  beast::bind_front_handler(&Connection::ReadHeader, shared_from_this()));
  }

  // From any thread when the server stops or needs room: a connection waiting for a request
  // closes now, one serving a request closes after its answer.
  void CloseIfIdle() {
    net::post(stream_.get_executor(), [self = shared_from_this()] {
      if (!self->busy_) self->Close();
    });
  }

  // Since when the connection waits for a request (steady nanoseconds), 0 while it serves one or
  // once it was chosen to make room. Read by the acceptor under the registry's lock.
  std::atomic<int64_t> idle_since_{SteadyNanos()};

 private:
  void ReadHeader() {
    if (core_.stopping_) return Close();
    idle_since_ = SteadyNanos();
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(core_.cfg_.max_header_bytes));
    parser_->body_limit(core_.cfg_.max_body_bytes);
    stream_.expires_after(core_.cfg_.request_timeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            beast::bind_front_handler(&Connection::OnHeader, shared_from_this()));
  }

  void OnHeader(beast::error_code ec, std::size_t) {
    if (ec) return OnReadError(ec);
    busy_ = true;
    idle_since_ = 0;
    started_ = SteadyClock::now();
    if (parser_->is_done()) return Process();
    auto expect = parser_->get()[http::field::expect];
    if (beast::iequals(expect, "100-continue")) {
      auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_,
                                                                     parser_->get().version());
      http::async_write(stream_, *cont,
                        [self = shared_from_this(), cont](beast::error_code wec, std::size_t) {
                          if (wec) return self->Close();
                          self->ReadBody();
                        });
      return;
    }
    ReadBody();
  }

  void ReadBody() {
    stream_.expires_after(core_.cfg_.request_timeout);
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Connection::OnBody, shared_from_this()));
  }

  void OnBody(beast::error_code ec, std::size_t) {
    if (ec) return OnReadError(ec);
    Process();
  }

  void OnReadError(const beast::error_code& ec) {
    if (ec == http::error::header_limit) return Refuse(431, "Request Header Fields Too Large");
    if (ec == http::error::body_limit) return Refuse(413, "Payload Too Large");
    // A client that stops half-way or never finishes is simply dropped.
    if (ec == http::error::end_of_stream || ec == http::error::partial_message ||
        !IsHttpError(ec)) {
      return Close();
    }
    Refuse(400, "Bad Request");
  }

  void Process() {
    try {
      auto& req = parser_->get();
      IncomingRequest in;
      in.method = Str(req.method_string());
      in.target = Str(req.target());
      for (const auto& field : req)
        in.headers.emplace_back(Str(field.name_string()), Str(field.value()));
      in.body = std::move(req.body());
      in.remote_addr = remote_addr_;
      in.server_port = local_port_;
      log_method_ = in.method;
      log_target_ = in.target;
      bool head = req.method() == http::verb::head;
      bool keep_alive = req.keep_alive();
      unsigned version = req.version();
      OutgoingResponse out = core_.host_.Handle(in);
      Send(std::move(out), version, keep_alive, head);
    } catch (const std::exception& e) {
      core_.Log(std::string("response failed: ") + e.what());
      SendBare500();
    }
  }

  void Refuse(int status, const char* reason) {
    busy_ = true;
    started_ = SteadyClock::now();
    log_method_ = "-";
    log_target_ = "-";
    try {
      Send(StatusPage(status, reason), 11, false, false);
    } catch (const std::exception&) {
      Close();
    }
  }

  void SendBare500() {
    try {
      OutgoingResponse out;
      out.status = 500;
      Send(std::move(out), 11, false, false);
    } catch (const std::exception&) {
      Close();
    }
  }

  void Send(OutgoingResponse out, unsigned version, bool keep_alive, bool head) {
    auto res = std::make_shared<http::response<http::string_body>>();
    res->version(version);
    res->result(static_cast<unsigned>(out.status));
    res->set(http::field::server, "Corkboard");
    res->set(http::field::date, HttpDateFromUnix(static_cast<int64_t>(std::time(nullptr))));
    for (const auto& [name, value] : out.headers) res->insert(name, value);
    std::size_t size = out.body.size();
    res->body() = std::move(out.body);
    res->prepare_payload();
    if (head) {
      res->body().clear();
      if (out.status != 304 && out.status != 204) res->content_length(size);
    }
    bool close = !keep_alive || core_.stopping_;
    res->keep_alive(!close);
    status_ = out.status;
    bytes_ = head ? 0 : size;
    res_ = res;
    stream_.expires_after(core_.cfg_.request_timeout);
    http::async_write(stream_, *res,
                      beast::bind_front_handler(&Connection::OnWrite, shared_from_this(), close));
  }

  void OnWrite(bool close, beast::error_code ec, std::size_t) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - started_);
    core_.Log(remote_addr_ + " " + log_method_ + " " + log_target_ + " " + std::to_string(status_) +
              " " + std::to_string(bytes_) + " " + std::to_string(ms.count()) + "ms");
    res_.reset();
    busy_ = false;
    if (ec) return Close();
    if (close) return Linger();
    ReadHeader();
  }

  // Ends our side, then reads what the client still sends for a moment, so that a refused
  // upload still gets to read the answer instead of a reset.
  void Linger() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    if (ec) return Close();
    stream_.expires_after(kLingerTime);
    Drain();
  }

  void Drain() {
    auto scratch = std::make_shared<std::array<char, 16384>>();
    stream_.async_read_some(net::buffer(*scratch), [self = shared_from_this(), scratch](
                                                       beast::error_code ec, std::size_t) {
      if (ec) return self->Close();
      self->Drain();
    });
  }

  void Close() {
    beast::error_code ec;
    stream_.socket().close(ec);
  }

  beast::tcp_stream stream_;
  ServerCore& core_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::shared_ptr<void> res_;
  bool busy_ = false;
  std::string remote_addr_ = "0.0.0.0";
  uint16_t local_port_ = 0;
  SteadyClock::time_point started_;
  std::string log_method_, log_target_;
  int status_ = 0;
  std::size_t bytes_ = 0;
};

void ServerCore::Start() {
  {
    std::lock_guard lock(mu_);
    if (started_) return;
    started_ = true;
  }
  try {
    tcp::resolver resolver(ioc_);
    auto results = resolver.resolve(cfg_.listen_host, std::to_string(cfg_.listen_port),
                                    tcp::resolver::passive | tcp::resolver::numeric_service);
    tcp::endpoint endpoint = results.begin()->endpoint();
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(net::socket_base::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(net::socket_base::max_listen_connections);
    port_ = acceptor_.local_endpoint().port();
    max_connections_ = ConnectionLimit(cfg_.max_connections);
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot listen on " + cfg_.listen_host + ":" +
                             std::to_string(cfg_.listen_port) + ": " + e.what());
  }
  Accept();
  for (int i = 0; i < cfg_.threads; ++i) threads_.emplace_back([this] { RunLoop(); });
}

void ServerCore::RunLoop() {
  for (;;) {
    try {
      ioc_.run();
      return;
    } catch (const std::exception& e) {
      // Handlers catch their own failures; this only keeps a worker alive if one slips through.
      Log(std::string("worker: ") + e.what());
    }
  }
}

void ServerCore::Accept() {
  acceptor_.async_accept(net::make_strand(ioc_),
                         beast::bind_front_handler(&ServerCore::OnAccept, this));
}

void ServerCore::OnAccept(beast::error_code ec, tcp::socket socket) {
  if (stopping_ || ec == net::error::operation_aborted) return;
  if (ec) {
    ReportAcceptFailure(ec);
    if (ec == net::error::no_descriptors || ec.value() == ENFILE) CloseOldestIdle();
    return RetryAcceptLater();
  }
  beast::error_code opt;
  socket.set_option(tcp::no_delay(true), opt);
  std::make_shared<Connection>(std::move(socket), *this)->Start();
  // Full: the connection that has waited longest for a request makes room for the next one; with
  // none waiting, accepting pauses until a connection closes.
  if (ConnectionCount() >= max_connections_ && !CloseOldestIdle()) {
    accept_paused_ = true;
    // A close between the count and the flag did not see the pause: resume here, once.
    if (ConnectionCount() < max_connections_ && accept_paused_.exchange(false)) Accept();
    return;
  }
  Accept();
}

void ServerCore::RetryAcceptLater() {
  accept_timer_.expires_after(kAcceptBackoff);
  accept_timer_.async_wait([this](beast::error_code ec) {
    if (!ec && !stopping_) Accept();
  });
}

void ServerCore::ReportAcceptFailure(const beast::error_code& ec) {
  ++accept_failures_;
  auto now = SteadyClock::now();
  if (last_accept_report_ && now - *last_accept_report_ < kAcceptReportInterval) return;
  Log("accept: " + ec.message() + " (" + std::to_string(accept_failures_) +
      " failure(s) since the last report; retrying every " +
      std::to_string(kAcceptBackoff.count()) + " ms)");
  accept_failures_ = 0;
  last_accept_report_ = now;
}

size_t ServerCore::ConnectionCount() {
  std::lock_guard lock(mu_);
  return connections_.size();
}

bool ServerCore::CloseOldestIdle() {
  std::shared_ptr<Connection> victim;
  {
    std::lock_guard lock(mu_);
    // A registered connection is alive until it unregisters, which needs this lock.
    int64_t oldest = 0;
    const std::weak_ptr<Connection>* chosen = nullptr;
    for (const auto& [raw, weak] : connections_) {
      int64_t since = raw->idle_since_;
      if (since != 0 && (!chosen || since < oldest)) {
        oldest = since;
        chosen = &weak;
      }
    }
    if (chosen) victim = chosen->lock();
    if (victim) victim->idle_since_ = 0;
  }
  // Released outside the lock: the last reference may unregister.
  if (!victim) return false;
  victim->CloseIfIdle();
  return true;
}

void ServerCore::Register(const std::shared_ptr<Connection>& c) {
  std::lock_guard lock(mu_);
  connections_.emplace(c.get(), c);
}

void ServerCore::Unregister(Connection* c) {
  {
    std::lock_guard lock(mu_);
    connections_.erase(c);
    if (connections_.empty()) cv_.notify_all();
  }
  if (accept_paused_.exchange(false) && !stopping_) {
    net::post(acceptor_.get_executor(), [this] {
      if (!stopping_) Accept();
    });
  }
}

void ServerCore::BeginStop() {
  std::vector<std::shared_ptr<Connection>> live;
  {
    std::lock_guard lock(mu_);
    if (stop_requested_) return;
    stop_requested_ = true;
    stopping_ = true;
    for (auto& [ptr, weak] : connections_) {
      if (auto c = weak.lock()) live.push_back(std::move(c));
    }
  }
  net::post(acceptor_.get_executor(), [this] {
    beast::error_code ec;
    accept_timer_.cancel();
    acceptor_.close(ec);
    if (signals_) signals_->cancel(ec);
  });
  for (auto& c : live) c->CloseIfIdle();
  cv_.notify_all();
}

void ServerCore::FinishStop() {
  {
    std::unique_lock lock(mu_);
    if (!started_ || finished_) return;
    finished_ = true;
    cv_.wait_for(lock, kStopGrace, [&] { return connections_.empty(); });
  }
  ioc_.stop();
  for (auto& t : threads_) t.join();
  threads_.clear();
}

int ServerCore::Run() {
  signals_.emplace(acceptor_.get_executor(), SIGINT, SIGTERM);
  signals_->async_wait([this](beast::error_code ec, int) {
    if (!ec) BeginStop();
  });
  Start();
  {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return stop_requested_; });
  }
  FinishStop();
  return 0;
}

}  // namespace

class HttpServer::Impl {
 public:
  Impl(HostConfig cfg, Application& app, Router router, Environment env)
      : core(std::move(cfg), app, std::move(router), std::move(env)) {}
  ServerCore core;
};

HttpServer::HttpServer(HostConfig cfg, Application& app, Router router, Environment env)
    : impl_(std::make_unique<Impl>(std::move(cfg), app, std::move(router), std::move(env))) {}

HttpServer::HttpServer(HostConfig cfg, Application& app, Router router, const Clock* clock)
    : HttpServer(std::move(cfg), app, std::move(router),
                 Environment{.clock = clock ? clock : &SystemClock::Shared()}) {}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::SetAccessLog(std::function<void(const std::string&)> sink) {
  impl_->core.log_ = std::move(sink);
}

void HttpServer::Start() { impl_->core.Start(); }

uint16_t HttpServer::port() const { return impl_->core.port_; }

void HttpServer::Stop() {
  impl_->core.BeginStop();
  impl_->core.FinishStop();
}

int HttpServer::Run() { return impl_->core.Run(); }

SessionStore& HttpServer::sessions() { return impl_->core.host_.sessions(); }

size_t HttpServer::connection_count() { return impl_->core.ConnectionCount(); }

}  // namespace cb
