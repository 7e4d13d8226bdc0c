// Hostile and broken requests: each gets its script's failing reply (never
// a server error, never a success), and the database stays as it was.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <string>

#include "running_server.h"
#include "services/account.h"

namespace {

const std::string kInvalidUtf8 = "%C3%28%FF%FE";

struct BadRequest {
  const char* what;
  const char* method;  // "GET" or "POST"
  std::string path;
  std::string body;
  std::string failing;  // the reply expected
};

class BadInput : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    signal(SIGPIPE, SIG_IGN);
    ASSERT_TRUE(server.Ready());
    ASSERT_TRUE(ServerRegister("lin@example.com", EncodePassword("secret"), "Lin"));
    CTaskValues values;
    values.url = "http://shop.example/1.html";
    values.productName = "Kettle";
    ASSERT_EQ(ReadTaskAddReply(ServerTaskAdd(lin, CTask(values))), ServerTaskAddResult::kAdded);
    ASSERT_TRUE(server.store->AddPricePoint("http://shop.example/1.html", {1356969600, "9.00"}));
    ASSERT_TRUE(
        server.store->SaveProduct({"http://shop.example/1.html", "Kettle", "S", "9.00", 1}));
  }

  httplib::Result Send(const BadRequest& request) {
    httplib::Client client("127.0.0.1", server.port);
    client.set_read_timeout(30, 0);
    if (std::string(request.method) == "GET") return client.Get(request.path.c_str());
    return client.Post(request.path.c_str(), request.body, "application/x-www-form-urlencoded");
  }

  // Everything SetUp made is still there, and the account still works.
  void ExpectIntact() {
    std::string nickname;
    EXPECT_TRUE(ServerLogin("lin@example.com", EncodePassword("secret"), nickname));
    EXPECT_EQ(CountServerTasks(ServerGetTasks(lin)), 1);
    EXPECT_EQ(server.store->PricePoints("http://shop.example/1.html").size(), 1u);
    EXPECT_EQ(server.store->HeldUrls().size(), 1u);
    EXPECT_TRUE(server.store->FindProduct("http://shop.example/1.html"));
  }

  RunningServer server{GetParam()};
  CAccount lin{"lin@example.com", EncodePassword("secret"), "Lin"};
};

const std::string kCredentials = "u=lin%40example.com&p=c2VjcmV0";
const std::string kGoodTask = "<Task><Url>http://shop.example/2.html</Url></Task>";

std::vector<BadRequest> BadRequests() {
  const std::string longText(5000, 'a');
  const std::string record = "&tx=" + kGoodTask;
  return {
      {"login without values", "GET", "/api/login.php", "", "0"},
      {"login without password", "GET", "/api/login.php?u=lin%40example.com", "", "0"},
      {"login, empty password", "GET", "/api/login.php?u=lin%40example.com&p=", "", "0"},
      {"login, password not Base64", "GET", "/api/login.php?u=lin%40example.com&p=c2Vj%00cmV0", "",
       "0"},
      {"login, invalid UTF-8", "GET", "/api/login.php?u=" + kInvalidUtf8 + "&p=c2VjcmV0", "", "0"},
      {"login, long address", "GET", "/api/login.php?u=" + longText + "%40x.cn&p=c2VjcmV0", "",
       "0"},
      {"login, SQL in address", "GET", "/api/login.php?u=%27%20OR%20%271%27%3D%271&p=c2VjcmV0", "",
       "0"},
      {"login, SQL in both", "GET", "/api/login.php?u=lin%40example.com%27--&p=%27%20OR%201%3D1--",
       "", "0"},
      {"check, no type", "GET", "/api/check.php?u=lin%40example.com", "", "0"},
      {"check, SQL", "GET", "/api/check.php?t=email_used&u=x%27%20OR%20%27a%27%3D%27a%40b.cn", "",
       "0"},
      {"register by GET", "GET", "/api/register.php?u=new%40x.cn&p=cHc%3D&n=N", "", "0"},
      {"register, no nickname", "POST", "/api/register.php", "u=new%40x.cn&p=cHc%3D", "0"},
      {"register, long nickname", "POST", "/api/register.php",
       "u=new%40x.cn&p=cHc%3D&n=" + longText, "0"},
      {"register, invalid UTF-8 nickname", "POST", "/api/register.php",
       "u=new%40x.cn&p=cHc%3D&n=" + kInvalidUtf8, "0"},
      {"register, control character", "POST", "/api/register.php", "u=new%40x.cn&p=cHc%3D&n=a%0Ab",
       "0"},
      {"register, not an address", "POST", "/api/register.php", "u=newx.cn&p=cHc%3D&n=N", "0"},
      {"register, SQL everywhere", "POST", "/api/register.php",
       "u=%27%3B%20DROP%20TABLE%20accounts%3B--&p=%27--&n=%27%29%3B%20DELETE%20FROM%20tasks%3B--",
       "0"},
      {"register, existing address again", "POST", "/api/register.php",
       "u=LIN%40example.com&p=cHc%3D&n=N", "0"},
      {"task, no act", "POST", "/api/task.php", kCredentials, "10002"},
      {"task, unknown act", "POST", "/api/task.php", "act=drop&" + kCredentials, "10002"},
      {"task, add by GET", "GET",
       "/api/task.php?act=add&" + kCredentials + "&url=http%3A%2F%2Fs%2F2" + record, "", "10002"},
      {"task, wrong password", "POST", "/api/task.php",
       "act=add&u=lin%40example.com&p=d3Jvbmc%3D&url=http%3A%2F%2Fs%2F2" + record, "10001"},
      {"task, no url", "POST", "/api/task.php", "act=add&" + kCredentials + record, "10002"},
      {"task, url not a link", "POST", "/api/task.php",
       "act=add&" + kCredentials + "&url=javascript%3Aalert(1)" + record, "10002"},
      {"task, invalid UTF-8 url", "POST", "/api/task.php",
       "act=add&" + kCredentials + "&url=http%3A%2F%2Fs%2F" + kInvalidUtf8 + record, "10002"},
      {"task, no record", "POST", "/api/task.php",
       "act=add&" + kCredentials + "&url=http%3A%2F%2Fs%2F2", "10002"},
      {"task, record not a task", "POST", "/api/task.php",
       "act=add&" + kCredentials + "&url=http%3A%2F%2Fs%2F2&tx=%3Chtml%3E", "10002"},
      {"task, record of two tasks", "POST", "/api/task.php",
       "act=add&" + kCredentials +
           "&url=http%3A%2F%2Fs%2F2&tx=%3CTask%3E%3C%2FTask%3E%3CTask%3E%3C%2FTask%3E",
       "10002"},
      {"task, invalid UTF-8 name", "POST", "/api/task.php",
       "act=add&" + kCredentials + "&url=http%3A%2F%2Fs%2F2&name=" + kInvalidUtf8 + record,
       "10002"},
      {"task, SQL in url", "POST", "/api/task.php",
       "act=del&" + kCredentials +
           "&url=http%3A%2F%2Fshop.example%2F1.html%27%20OR%20%271%27%3D%271",
       "0"},
      {"task, SQL in address", "GET",
       "/api/task.php?act=get&u=%27%20OR%201%3D1--%40x.cn&p=c2VjcmV0", "", "10001"},
      {"task, 10 MB body", "POST", "/api/task.php",
       "act=add&" + kCredentials + "&url=http%3A%2F%2Fs%2F2&tx=" + std::string(10 << 20, 'x'),
       "10002"},
      {"register, 10 MB body", "POST", "/api/register.php", std::string(10 << 20, 'u'), "0"},
      {"login, 10 MB body", "POST", "/api/login.php", "u=" + std::string(10 << 20, '%'), "0"},
      {"history, no url", "GET", "/price_history.php", "", "[]"},
      {"history, SQL", "GET",
       "/price_history.php?url=http%3A%2F%2Fshop.example%2F1.html%27%20OR%20%271%27%3D%271", "",
       "[]"},
      {"history, invalid UTF-8", "GET", "/price_history.php?url=http%3A%2F%2F" + kInvalidUtf8, "",
       "[]"},
      {"comparison, no values", "GET", "/price_comparison.php", "", "[]"},
      {"comparison, SQL in name", "GET",
       "/price_comparison.php?url=http%3A%2F%2Fx%2F1&name=%27%3B%20DROP%20TABLE%20products%3B--",
       "", "[]"},
      {"comparison, long name", "GET",
       "/price_comparison.php?url=http%3A%2F%2Fx%2F1&name=" + std::string(3000, 'k'), "", "[]"},
      {"commission, no key", "GET", "/buylink.php?u=http%3A%2F%2Fx%2F1", "", "false"},
      {"commission, SQL key", "GET", "/buylink.php?s=jd%27--&u=http%3A%2F%2Fx%2F1", "", "false"},
  };
}

TEST_P(BadInput, EveryBadRequestGetsTheFailingReply) {
  for (const BadRequest& request : BadRequests()) {
    SCOPED_TRACE(request.what);
    httplib::Result result = Send(request);
    // A body over the limit is refused unread: the reply may come, or the
    // connection may close while the client still sends.
    const bool tooLarge = request.body.size() > kMaxRequestBodyBytes;
    if (tooLarge && !result) continue;
    ASSERT_TRUE(result) << "no reply";
    EXPECT_LT(result->status, 500);
    if (tooLarge) {
      EXPECT_EQ(result->status, 413);
    }
    EXPECT_EQ(result->body, request.failing);
  }
  ExpectIntact();
}

TEST_P(BadInput, TheUpdateFolderStaysClosed) {
  server.updateFolder.Write("sites.xml", "<Sites/>");
  for (const char* path : {"/update/%2E%2E/config.ini", "/update/..%2Fconfig.ini", "/update/",
                           "/update/.hidden", "/update/sites.xml%00.png", "/update//etc/passwd"}) {
    SCOPED_TRACE(path);
    httplib::Client client("127.0.0.1", server.port);
    httplib::Result result = client.Get(path);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404);
  }
  httplib::Client client("127.0.0.1", server.port);
  EXPECT_EQ(client.Get("/update/sites.xml?t=1")->body, "<Sites/>");
}

TEST_P(BadInput, GarbageOnTheConnectionLeavesTheServerServing) {
  for (const std::string& garbage :
       {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11),
        std::string("GET /api/login.php?u=") + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n",
        std::string("POST /api/task.php HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\nact=get"),
        std::string("POST /api/task.php HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")}) {
    // Sent through a socket of our own: httplib's client would refuse to
    // write such requests.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_GT(send(s, garbage.data(), garbage.size(), MSG_NOSIGNAL), 0);
    shutdown(s, SHUT_WR);
    char buffer[4096];
    while (recv(s, buffer, sizeof buffer, 0) > 0) {
    }
    close(s);
  }
  ExpectIntact();
}

INSTANTIATE_TEST_SUITE_P(Backends, BadInput, testing::Values(Backend::kSqlite, Backend::kPostgres),
                         BackendName);

}  // namespace
