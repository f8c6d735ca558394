#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace quibo::test {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::abort();
}

struct SslCtxDeleter {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslDeleter {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};

std::unique_ptr<SSL_CTX, SslCtxDeleter> MakeServerContext(const TlsIdentity& identity) {
  std::unique_ptr<SSL_CTX, SslCtxDeleter> ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx) Fail("SSL_CTX_new");
  std::unique_ptr<BIO, BioDeleter> certBio(
      BIO_new_mem_buf(identity.certificatePem.data(), int(identity.certificatePem.size())));
  std::unique_ptr<BIO, BioDeleter> keyBio(
      BIO_new_mem_buf(identity.privateKeyPem.data(), int(identity.privateKeyPem.size())));
  X509* cert = PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr);
  if (!cert || !key || SSL_CTX_use_certificate(ctx.get(), cert) != 1 ||
      SSL_CTX_use_PrivateKey(ctx.get(), key) != 1) {
    Fail("loading the test server identity");
  }
  X509_free(cert);
  EVP_PKEY_free(key);
  return ctx;
}

// One accepted connection, plain or TLS. Reads and writes wait on the socket
// and on the server's stop signal together.
class Connection {
 public:
  Connection(int fd, int stopFd, SSL_CTX* tls) : fd_(fd), stopFd_(stopFd) {
    if (tls) {
      ssl_.reset(SSL_new(tls));
      SSL_set_fd(ssl_.get(), fd_);
    }
  }
  ~Connection() {
    if (ssl_ && !reset_) SSL_shutdown(ssl_.get());
    ssl_.reset();
    close(fd_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Handshake() {
    if (!ssl_) return true;
    for (;;) {
      int rc = SSL_accept(ssl_.get());
      if (rc == 1) return true;
      int err = SSL_get_error(ssl_.get(), rc);
      if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) return false;
      if (!Wait(err == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT)) return false;
    }
  }

  // Appends what arrives to `out`; false at the end of the stream, on error or on stop.
  bool ReadSome(std::string& out) {
    char buffer[16384];
    for (;;) {
      if (ssl_ && SSL_pending(ssl_.get()) == 0 && !Wait(POLLIN)) return false;
      if (!ssl_ && !Wait(POLLIN)) return false;
      if (ssl_) {
        int n = SSL_read(ssl_.get(), buffer, sizeof buffer);
        if (n > 0) return out.append(buffer, size_t(n)), true;
        int err = SSL_get_error(ssl_.get(), n);
        if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) continue;
        return false;
      }
      ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n > 0) return out.append(buffer, size_t(n)), true;
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      return false;
    }
  }

  bool WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
      size_t piece = std::min<size_t>(bytes.size(), 1 << 16);
      if (ssl_) {
        int n = SSL_write(ssl_.get(), bytes.data(), int(piece));
        if (n > 0) {
          bytes.remove_prefix(size_t(n));
          continue;
        }
        int err = SSL_get_error(ssl_.get(), n);
        if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) return false;
        if (!Wait(err == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT)) return false;
        continue;
      }
      if (!Wait(POLLOUT)) return false;
      ssize_t n = send(fd_, bytes.data(), piece, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        bytes.remove_prefix(size_t(n));
      } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
        return false;
      }
    }
    return true;
  }

  // Holds the connection open, sending nothing, until the client closes it or
  // the server stops.
  void Stall() {
    std::string ignored;
    while (ReadSome(ignored)) ignored.clear();
  }

  // Makes the close abort the connection with a TCP reset.
  void ArrangeReset() {
    linger abort{.l_onoff = 1, .l_linger = 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    reset_ = true;
  }

 private:
  bool Wait(short events) {
    pollfd fds[2] = {{.fd = fd_, .events = events, .revents = 0},
                     {.fd = stopFd_, .events = POLLIN, .revents = 0}};
    for (;;) {
      int rc = poll(fds, 2, -1);
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0 || fds[1].revents != 0) return false;
      return true;  // ready, or an error the next read or write reports
    }
  }

  int fd_;
  int stopFd_;
  std::unique_ptr<SSL, SslDeleter> ssl_;
  bool reset_ = false;
};

// Length of the request head including its empty line, or 0 while incomplete.
size_t HeadLength(std::string_view data) {
  size_t end = data.find("\r\n\r\n");
  return end == std::string_view::npos ? 0 : end + 4;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

size_t ContentLength(std::string_view head) {
  for (const std::string& line : RequestHeaderLines(head)) {
    if (StartsWithIgnoringCase(line, "content-length:")) {
      return size_t(std::strtoull(line.c_str() + 15, nullptr, 10));
    }
  }
  return 0;
}

}  // namespace

struct LoopbackServer::State {
  ReplyFunction reply;
  std::unique_ptr<SSL_CTX, SslCtxDeleter> tls;
  int listenFd = -1;
  int stopFd = -1;
  int port = 0;
  std::thread acceptor;
  mutable std::mutex mutex;
  std::vector<std::string> requests;
  std::vector<std::thread> connections;

  void AcceptLoop() {
    for (;;) {
      pollfd fds[2] = {{.fd = listenFd, .events = POLLIN, .revents = 0},
                       {.fd = stopFd, .events = POLLIN, .revents = 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard lock(mutex);
      connections.emplace_back([this, fd] { Serve(fd); });
    }
  }

  void Serve(int fd) {
    Connection connection(fd, stopFd, tls.get());
    if (!connection.Handshake()) return;
    std::string data;
    size_t head = 0;
    while ((head = HeadLength(data)) == 0) {
      if (!connection.ReadSome(data)) return;
    }
    size_t total = head + ContentLength(std::string_view(data).substr(0, head));
    while (data.size() < total) {
      if (!connection.ReadSome(data)) return;
    }
    data.resize(total);
    {
      std::lock_guard lock(mutex);
      requests.push_back(data);
    }
    ServerReply answer = reply(data);
    if (!connection.WriteAll(answer.bytes)) return;
    switch (answer.after) {
      case ServerReply::After::kClose:
        break;
      case ServerReply::After::kStall:
        connection.Stall();
        break;
      case ServerReply::After::kReset:
        connection.ArrangeReset();
        break;
    }
  }
};

LoopbackServer::LoopbackServer(ReplyFunction reply, std::optional<TlsIdentity> tls)
    : state_(std::make_unique<State>()) {
  state_->reply = std::move(reply);
  if (tls) state_->tls = MakeServerContext(*tls);
  state_->stopFd = eventfd(0, EFD_CLOEXEC);
  state_->listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (state_->stopFd < 0 || state_->listenFd < 0) Fail("loopback server socket");
  int on = 1;
  setsockopt(state_->listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // the kernel picks a free port
  if (bind(state_->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(state_->listenFd, 64) != 0) {
    Fail("loopback server bind/listen");
  }
  socklen_t length = sizeof address;
  getsockname(state_->listenFd, reinterpret_cast<sockaddr*>(&address), &length);
  state_->port = ntohs(address.sin_port);
  state_->acceptor = std::thread([state = state_.get()] { state->AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  std::uint64_t one = 1;
  if (write(state_->stopFd, &one, sizeof one) != sizeof one) Fail("loopback server stop");
  state_->acceptor.join();
  // No new connection threads start once the acceptor has ended.
  for (std::thread& connection : state_->connections) connection.join();
  close(state_->listenFd);
  close(state_->stopFd);
}

int LoopbackServer::Port() const {
  return state_->port;
}

std::string LoopbackServer::HostAndPort() const {
  return "127.0.0.1:" + std::to_string(state_->port);
}

std::string LoopbackServer::Url(std::string_view path) const {
  return (state_->tls ? "https://" : "http://") + HostAndPort() + std::string(path);
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

ReplyFunction ReplyInTurn(std::vector<ServerReply> replies) {
  struct Turns {
    std::mutex mutex;
    std::vector<ServerReply> replies;
    size_t next = 0;
  };
  auto turns = std::make_shared<Turns>();
  turns->replies = std::move(replies);
  return [turns](const std::string&) {
    std::lock_guard lock(turns->mutex);
    if (turns->replies.empty()) return ServerReply{};
    size_t index = std::min(turns->next, turns->replies.size() - 1);
    ++turns->next;
    return turns->replies[index];
  };
}

ServerReply OkReply(std::string_view body, std::string_view extraHeaderLines) {
  std::string bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  bytes.append(extraHeaderLines).append("\r\n").append(body);
  return {.bytes = std::move(bytes)};
}

std::string RequestLine(std::string_view request) {
  return std::string(request.substr(0, request.find("\r\n")));
}

std::string RequestHead(std::string_view request) {
  size_t length = HeadLength(request);
  return std::string(length == 0 ? request : request.substr(0, length - 2));
}

std::string RequestBody(std::string_view request) {
  size_t length = HeadLength(request);
  return length == 0 ? std::string() : std::string(request.substr(length));
}

std::vector<std::string> RequestHeaderLines(std::string_view request) {
  std::string head = RequestHead(request);
  std::vector<std::string> lines;
  size_t start = head.find("\r\n");
  while (start != std::string::npos && start + 2 < head.size()) {
    size_t end = head.find("\r\n", start + 2);
    if (end == std::string::npos) end = head.size();
    lines.push_back(head.substr(start + 2, end - start - 2));
    start = end;
  }
  return lines;
}

}  // namespace quibo::test
