// A loopback HTTP server for tests: it listens on 127.0.0.1 at a free port,
// records every request byte for byte and answers with the raw bytes the test
// gives, so a test checks exactly what crossed the wire in both directions.
//
//   quibo::test::LoopbackServer server(quibo::test::ReplyInTurn(
//       {{.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"}}));
//   ... request server.Url("/ajax.php") ...
//   EXPECT_EQ(quibo::test::RequestBody(server.Requests().at(0)), "para=%41");
//
// The server is listening when the constructor returns: no waiting needed.
// Each connection carries one request; the server closes it after answering
// (or as the reply says). Connections are served concurrently.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quibo::test {

// What the server does with a connection once a request has been read.
struct ServerReply {
  enum class After {
    kClose,  // send `bytes`, then close the connection normally
    kStall,  // send `bytes`, then send nothing more until the client gives up
    kReset,  // send `bytes`, then abort the connection (TCP reset)
  };
  std::string bytes;  // sent exactly as they stand
  After after = After::kClose;
};

// Chooses the reply to one raw request (request line, headers and body).
using ReplyFunction = std::function<ServerReply(const std::string& request)>;

// Replies in the order given; the last one repeats for every later request.
[[nodiscard]] ReplyFunction ReplyInTurn(std::vector<ServerReply> replies);

// "HTTP/1.1 200 OK" with Content-Length, the extra header lines (each ended by
// "\r\n") and the body. OkReply("hi") is a complete 200 response.
[[nodiscard]] ServerReply OkReply(std::string_view body, std::string_view extraHeaderLines = {});

// A server certificate and its private key, both PEM.
struct TlsIdentity {
  std::string certificatePem;
  std::string privateKeyPem;
};

class LoopbackServer {
 public:
  // Plain HTTP, or HTTPS when `tls` is given.
  explicit LoopbackServer(ReplyFunction reply, std::optional<TlsIdentity> tls = std::nullopt);
  ~LoopbackServer();  // stops serving, closes every connection, joins its threads
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  [[nodiscard]] int Port() const;
  // "http://127.0.0.1:<port>" (or https) followed by `path`.
  [[nodiscard]] std::string Url(std::string_view path = "/") const;
  // "127.0.0.1:<port>", as a proxy setting or a Location host.
  [[nodiscard]] std::string HostAndPort() const;
  // Every complete request received so far, in order of arrival.
  [[nodiscard]] std::vector<std::string> Requests() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The request line and header lines of a raw request, each with its "\r\n",
// without the empty line that ends them; and the bytes after that empty line.
[[nodiscard]] std::string RequestHead(std::string_view request);
[[nodiscard]] std::string RequestBody(std::string_view request);
// The request line of a raw request, without its "\r\n".
[[nodiscard]] std::string RequestLine(std::string_view request);
// The header lines of a raw request (the request line left out), in order,
// without their "\r\n".
[[nodiscard]] std::vector<std::string> RequestHeaderLines(std::string_view request);

}  // namespace quibo::test
