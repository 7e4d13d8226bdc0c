#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class CRequestLog;
struct MHD_Daemon;

// One request as the handler sees it: the whole body has been read.
struct HttpRequest {
  std::string method;  // HEAD is answered as GET
  std::string path;    // percent-decoded, without the query
  std::string query;   // as sent, after "?"
  std::string body;
  std::string client;  // the peer's address, e.g. "127.0.0.1"
  // Non-zero when the request is refused before the handler may serve it
  // (400, 411, 413): the handler only chooses the body of the refusal.
  int refusal = 0;
};

// What a streamed reply's source gives each time it is asked.
enum class StreamStep { kPiece, kEnd, kFailed };
// The next piece of a reply, written into `piece`. A reply that fails half
// way is cut off, so that the client never takes a part for the whole.
using ReplyStream = std::function<StreamStep(std::string& piece)>;

struct HttpReply {
  int status = 200;
  std::string contentType;
  std::string body;
  int retryAfter = 0;  // seconds; sent as Retry-After when above 0
  // Set: a reply too large to hold at once. `body` goes first, then the
  // pieces, read only as fast as the client takes them.
  ReplyStream more{};
};

// What one client may hold of the server. Every connection costs a socket
// and a little memory, never a thread: a slow or silent client only waits
// in the event loop until a deadline closes it.
struct HttpLimits {
  size_t maxBody = 256 * 1024;
  int headerSeconds = 10;  // from the connection (or the previous reply) to a full head
  int bodySeconds = 30;    // from the head to the whole body
  int perAddress = 1024;
  int total = 0;                // 0: as many as the raised file limit allows
  int keepAliveRequests = 100;  // then the connection is closed after the reply
  int threads = 8;              // event loops, each also running handlers
  // Threads for slow requests, and how many may wait for one before the
  // rest are turned away (503).
  int slowThreads = 4;
  int slowQueue = 1000;
};

// The server's HTTP side on libmicrohttpd's event loops.
class CHttpListener {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;
  using SlowTest = std::function<bool(const HttpRequest&)>;

  // `log` (may be null) gets a line per request; it outlives the listener.
  // Requests `slow` picks (may be empty) are handled on threads of their
  // own, so that what waits there never holds up an event loop.
  CHttpListener(Handler handler, HttpLimits limits, CRequestLog* log = nullptr, SlowTest slow = {});
  ~CHttpListener();
  CHttpListener(const CHttpListener&) = delete;
  CHttpListener& operator=(const CHttpListener&) = delete;

  // Listens on host:port (0: any free port). The port bound, or -1 with
  // Error() set: a port another process listens on is never shared.
  int Start(const std::string& host, int port);
  void Stop();
  const std::string& Error() const { return m_error; }

  struct State;

 private:
  std::unique_ptr<State> m_state;
  MHD_Daemon* m_daemon = nullptr;
  int m_port = -1;
  std::string m_error;
};

// Raises the soft limit of open files to the hard one; the limit now.
int RaiseOpenFileLimit();
