// The HTTP half of the internet layer against small local servers: a
// cpp-httplib server for well-behaved replies, a raw socket server for
// connections that are refused, reset or never answered.
#include "standins/inet/http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <httplib.h>
#include <mutex>
#include <thread>

#include "platform/last_error.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"
#include "standins/inet/errors.h"
#include "standins/inet/net_state.h"
#include "devsim/tls/self_signed.h"

namespace inet {
namespace {

std::string TestAddress() {
  static std::atomic<int> counter{1};
  return "127.66." + std::to_string(getpid() % 200 + 1) + "." +
         std::to_string(counter++ % 250 + 1);
}

struct Seen {
  std::string method, target, version, body, agent, accept, content_type;
  bool has_accept = false, has_content_type = false;
};

// A cpp-httplib server on its own loopback address, recording requests.
class LocalServer {
 public:
  explicit LocalServer(std::unique_ptr<httplib::Server> server = nullptr,
                       std::string host = "")
      : server_(server ? std::move(server) : std::make_unique<httplib::Server>()),
        host_(host.empty() ? TestAddress() : host) {
    auto record = [this](const httplib::Request& req, httplib::Response& res) {
      Seen s;
      s.method = req.method;
      s.target = req.target;
      s.version = req.version;
      s.body = req.body;
      s.agent = req.get_header_value("User-Agent");
      s.has_accept = req.has_header("Accept");
      s.has_content_type = req.has_header("Content-Type");
      {
        std::lock_guard<std::mutex> g(mu_);
        seen_.push_back(s);
      }
      if (handler_) handler_(req, res);
    };
    server_->Get(".*", record);
    server_->Post(".*", record);
    port_ = server_->bind_to_any_port(host_);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // The server library ignores a stop that comes before its loop runs:
    // a test that never sends a request would otherwise hang on leaving.
    for (int i = 0; i < 5000 && !server_->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LocalServer() {
    Release();
    server_->stop();
    thread_.join();
  }
  void OnRequest(std::function<void(const httplib::Request&, httplib::Response&)> h) {
    handler_ = std::move(h);
  }
  // Blocks handlers that call Hold() until Release().
  void Hold() {
    std::unique_lock<std::mutex> l(mu_);
    ++holding_;
    cv_.notify_all();
    cv_.wait(l, [this] { return released_; });
  }
  void WaitHolding() {
    std::unique_lock<std::mutex> l(mu_);
    cv_.wait(l, [this] { return holding_ > 0; });
  }
  void Release() {
    std::lock_guard<std::mutex> g(mu_);
    released_ = true;
    cv_.notify_all();
  }
  std::vector<Seen> seen() {
    std::lock_guard<std::mutex> g(mu_);
    return seen_;
  }
  const std::string& host() const { return host_; }
  uint16_t port() const { return static_cast<uint16_t>(port_); }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::string host_;
  int port_ = 0;
  std::thread thread_;
  std::function<void(const httplib::Request&, httplib::Response&)> handler_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Seen> seen_;
  int holding_ = 0;
  bool released_ = false;
};

// Accepts connections and closes each at once with a reset.
class ResettingServer {
 public:
  ResettingServer() : host_(TestAddress()) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, host_.c_str(), &a.sin_addr);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    listen(fd_, 8);
    thread_ = std::thread([this] {
      for (;;) {
        int c = accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        ++accepted_;
        char buf[4096];
        (void)!read(c, buf, sizeof buf);
        linger l{1, 0};
        setsockopt(c, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        close(c);
      }
    });
  }
  ~ResettingServer() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    thread_.join();
  }
  const std::string& host() const { return host_; }
  uint16_t port() const { return port_; }
  int accepted() const { return accepted_; }

 private:
  std::string host_;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

std::string ReadAll(HttpRequest& r, size_t piece = 1000) {
  std::string out;
  std::vector<char> buf(piece);
  size_t got = 0;
  while (r.Read(buf.data(), buf.size(), &got) && got > 0) out.append(buf.data(), got);
  return out;
}

std::string Status(HttpRequest& r) {
  char text[32];
  size_t len = sizeof text;
  if (!r.QueryStatusCode(text, &len)) return "fail";
  return std::string(text, len);
}

class InetHttpTest : public ::testing::Test {
 protected:
  platform::FakeEnv env_{1000};
  platform::ScopedEnv use_{&env_};
  Session session_{"zbBoxFTPAcs"};
};

TEST_F(InetHttpTest, GetSendsExactlyWhatWasAskedAndReadsBodyInPieces) {
  LocalServer server;
  std::string big(1'000'003, 'x');
  for (size_t i = 0; i < big.size(); i += 997) big[i] = static_cast<char>('a' + i % 26);
  server.OnRequest([&](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "text/xml");
  });
  HttpConnection conn(session_, server.host(), server.port());
  auto req = HttpRequest::Open(conn, "GET", "/TarnBox/boxnwConnect?A=1&B=%E4 x\x01",
                               "HTTP/1.0", kFlagNoCacheWrite);
  ASSERT_TRUE(req->Send("", {}));
  EXPECT_EQ(Status(*req), "200");
  EXPECT_EQ(ReadAll(*req, 4093), big);
  auto seen = server.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/TarnBox/boxnwConnect?A=1&B=%E4%20x%01");
  EXPECT_EQ(seen[0].version, "HTTP/1.0");
  EXPECT_EQ(seen[0].agent, "zbBoxFTPAcs");
  EXPECT_FALSE(seen[0].has_accept);
}

TEST_F(InetHttpTest, PostSendsBodyWithoutContentTypeAndEmptyTargetIsRoot) {
  LocalServer server;
  server.OnRequest([](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<x/>", "text/xml");
  });
  HttpConnection conn(session_, server.host(), server.port());
  auto post = HttpRequest::Open(conn, "POST", "/TarnBox/boxnwDisconnect", "HTTP/1.0", 0);
  std::string body = "SID=00001234";
  ASSERT_TRUE(post->Send("", {reinterpret_cast<const uint8_t*>(body.data()), body.size()}));
  EXPECT_EQ(Status(*post), "404");
  EXPECT_EQ(ReadAll(*post), "<x/>");
  auto get = HttpRequest::Open(conn, "GET", "", "HTTP/1.0", 0);
  ASSERT_TRUE(get->Send("", {}));
  auto seen = server.seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].body, body);
  EXPECT_FALSE(seen[0].has_content_type);
  EXPECT_EQ(seen[1].target, "/");
}

TEST_F(InetHttpTest, StatusQueryNeedsRoomAndAReply) {
  LocalServer server;
  HttpConnection conn(session_, server.host(), server.port());
  auto req = HttpRequest::Open(conn, "GET", "/", "HTTP/1.0", 0);
  char text[32];
  size_t len = sizeof text;
  EXPECT_FALSE(req->QueryStatusCode(text, &len));
  EXPECT_EQ(req->last_error(), kErrIncorrectHandleState);
  ASSERT_TRUE(req->Send("", {}));
  len = 2;
  EXPECT_FALSE(req->QueryStatusCode(text, &len));
  EXPECT_EQ(len, 4u);
}

TEST_F(InetHttpTest, FailuresCarryTheirCodes) {
  {  // nothing listens
    std::string host;
    uint16_t port;
    {
      ResettingServer gone;
      host = gone.host();
      port = gone.port();
    }
    HttpConnection conn(session_, host, port);
    auto req = HttpRequest::Open(conn, "GET", "/", "HTTP/1.0", 0);
    EXPECT_FALSE(req->Send("", {}));
    EXPECT_EQ(req->last_error(), kErrCannotConnect);
    EXPECT_EQ(platform::GetLastError(), kErrCannotConnect);
  }
  {  // the server resets the connection
    ResettingServer reset;
    HttpConnection conn(session_, reset.host(), reset.port());
    auto req = HttpRequest::Open(conn, "GET", "/", "HTTP/1.0", 0);
    EXPECT_FALSE(req->Send("", {}));
    EXPECT_EQ(req->last_error(), kErrConnectionReset);
    EXPECT_FALSE(req->Send("", {}));  // a retry makes a new connection
    EXPECT_EQ(reset.accepted(), 2);
  }
  {  // the server never answers within the receive time-out
    LocalServer slow;
    slow.OnRequest([&](const httplib::Request&, httplib::Response&) { slow.Hold(); });
    HttpConnection conn(session_, slow.host(), slow.port());
    auto req = HttpRequest::Open(conn, "GET", "/", "HTTP/1.0", 0);
    req->SetTimeouts({60000, 30000, 30000});
    EXPECT_FALSE(req->Send("", {}));
    EXPECT_EQ(req->last_error(), kErrTimeout);
  }
}

TEST_F(InetHttpTest, AbandonFromAnotherThreadStopsTheRequestAndLaterSends) {
  LocalServer server;
  server.OnRequest([&](const httplib::Request&, httplib::Response&) { server.Hold(); });
  HttpConnection conn(session_, server.host(), server.port());
  auto req = HttpRequest::Open(conn, "GET", "/slow", "HTTP/1.0", 0);
  std::atomic<bool> ok{true};
  std::atomic<uint32_t> code{0};
  std::thread sender([&] {
    ok = req->Send("", {});
    code = req->last_error();
  });
  server.WaitHolding();
  req->Abandon();
  sender.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(code, kErrCancelled);
  EXPECT_FALSE(req->Send("", {}));
  EXPECT_TRUE(req->WaitAbandoned(10'000'000));
  server.Release();
  EXPECT_EQ(server.seen().size(), 1u);

  // Abandoned before it was sent: nothing reaches the server.
  ResettingServer counter;
  HttpConnection conn2(session_, counter.host(), counter.port());
  auto never = HttpRequest::Open(conn2, "GET", "/", "HTTP/1.0", 0);
  never->Abandon();
  EXPECT_FALSE(never->Send("", {}));
  EXPECT_EQ(counter.accepted(), 0);
}

TEST_F(InetHttpTest, ReaderThatStopsEarlyDoesNotMakeTheLayerBufferTheRest) {
  LocalServer server;
  std::string huge(16 * 1024 * 1024, 'z');
  server.OnRequest([&](const httplib::Request&, httplib::Response& res) {
    res.set_content(huge, "application/octet-stream");
  });
  HttpConnection conn(session_, server.host(), server.port());
  auto req = HttpRequest::Open(conn, "GET", "/", "HTTP/1.0", 0);
  ASSERT_TRUE(req->Send("", {}));
  std::vector<char> buf(100000);
  size_t got = 0;
  ASSERT_TRUE(req->Read(buf.data(), buf.size(), &got));
  EXPECT_GT(got, 0u);
  EXPECT_TRUE(req->Read(buf.data(), 0, &got));
  EXPECT_EQ(got, 0u);
  req.reset();  // drops the connection mid-body without hanging
}

TEST_F(InetHttpTest, Ipv6LiteralsWithAndWithoutScope) {
  auto server = std::make_unique<httplib::Server>();
  LocalServer v6(std::move(server), "::1");
  HttpConnection plain(session_, "::1", v6.port());
  auto a = HttpRequest::Open(plain, "GET", "/a", "HTTP/1.0", 0);
  ASSERT_TRUE(a->Send("", {}));
  HttpConnection scoped(session_, "::1", v6.port(), if_nametoindex("lo"));
  auto b = HttpRequest::Open(scoped, "GET", "/b", "HTTP/1.0", 0);
  ASSERT_TRUE(b->Send("", {}));
  EXPECT_EQ(v6.seen().size(), 2u);
  SystemNetworkState state;
  EXPECT_TRUE(state.CheckConnection("http://[::1]:" + std::to_string(v6.port()) + "/x?", true));
  EXPECT_TRUE(state.CheckConnection("http://[::1%25lo]:" + std::to_string(v6.port()) + "/x?", true));
}

TEST_F(InetHttpTest, TlsRefusesAnUnknownAuthorityUntilTold) {
  devsim::PemPair pem;
  ASSERT_TRUE(devsim::MakeSelfSignedCertificate("device.example", 30, &pem));
  platform::ScopedTempDir dir;
  ASSERT_TRUE(devsim::WritePemFiles(pem, dir.Sub("c.pem"), dir.Sub("k.pem")));
  LocalServer server(std::make_unique<httplib::SSLServer>(dir.Sub("c.pem").c_str(),
                                                          dir.Sub("k.pem").c_str()));
  // Handshakes are slow on a busy machine; only the certificate matters here.
  session_.SetTimeouts({5'000'000, kNoTimeout, kNoTimeout});
  HttpConnection conn(session_, server.host(), server.port());
  const uint32_t tls = kFlagSecure | kFlagIgnoreCertNameInvalid | kFlagIgnoreCertDateInvalid;
  auto req = HttpRequest::Open(conn, "GET", "/s", "HTTP/1.0", tls);
  EXPECT_FALSE(req->Send("", {}));
  EXPECT_EQ(req->last_error(), kErrInvalidCa);
  req->AddSecurityFlags(kSecurityIgnoreUnknownCa);
  ASSERT_TRUE(req->Send("", {}));
  EXPECT_EQ(Status(*req), "200");
  // The name is checked unless the request says otherwise.
  auto strict = HttpRequest::Open(conn, "GET", "/s", "HTTP/1.0", kFlagSecure);
  strict->AddSecurityFlags(kSecurityIgnoreUnknownCa);
  EXPECT_FALSE(strict->Send("", {}));
  EXPECT_EQ(strict->last_error(), kErrCertNameInvalid);
}

TEST_F(InetHttpTest, ConnectionCheckAndInjectedNetworkState) {
  LocalServer server;
  SystemNetworkState state;
  std::string url = "http://" + server.host() + ":" + std::to_string(server.port()) +
                    "/TarnBox/Tnb.html?";
  EXPECT_TRUE(state.CheckConnection(url, true));
  // The check connects and nothing more: no request reaches the server.
  EXPECT_TRUE(server.seen().empty());
  bool online = false;
  EXPECT_TRUE(state.ConnectedState(&online));
  EXPECT_TRUE(online);  // loopback at least is up

  // A server that takes connections is there, whatever it does with them;
  // a port nobody listens on is not.
  ResettingServer reset;
  const std::string reset_url =
      "http://" + reset.host() + ":" + std::to_string(reset.port()) + "/";
  EXPECT_TRUE(state.CheckConnection(reset_url, true));
  // A port that was bound and let go, with nobody listening on it.
  const std::string host = server.host();
  int port = 0;
  {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    ::close(fd);
  }
  EXPECT_FALSE(state.CheckConnection("http://" + host + ":" + std::to_string(port) + "/", true));
  EXPECT_FALSE(state.CheckConnection("https://" + host + ":" + std::to_string(port) + "/", true));

  struct Offline : NetworkState {
    bool ConnectedState(bool* o) override { return *o = false, true; }
    bool CheckConnection(std::string_view, bool) override { return false; }
  } offline;
  {
    ScopedNetworkState use(&offline);
    EXPECT_TRUE(NetworkState::Current().ConnectedState(&online));
    EXPECT_FALSE(online);
  }
  EXPECT_EQ(&NetworkState::Current() == &offline, false);
}

TEST(InetSessionTest, ProxyIsUsedOnlyWhenDirectAccessIsNotAllowed) {
  Session s("zbBoxFTPAcs");
  EXPECT_EQ(s.ProxyFor("10.0.0.1"), "");
  s.SetProxy({"http://10.0.0.1:08080/Halvo", kProxyDirect | kProxyNamed, "<local>"});
  EXPECT_EQ(s.ProxyFor("10.0.0.1"), "");
  s.SetProxy({"proxy:3128", kProxyNamed, "<local>;10.9.9.9"});
  EXPECT_EQ(s.ProxyFor("printer"), "");
  EXPECT_EQ(s.ProxyFor("10.9.9.9"), "");
  EXPECT_EQ(s.ProxyFor("10.0.0.1"), "proxy:3128");
  s.RefreshSettings();
  EXPECT_EQ(s.refresh_count(), 1);
}

}  // namespace
}  // namespace inet
