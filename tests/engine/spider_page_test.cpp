// GetPage against in-process servers: status, character sets, encodings,
// framing and the zero-byte cut.
#include <string>

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/files.h"
#include "engine/inflate.h"
#include "engine/spider.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

const std::string kUtf8Text = "<b>\xe4\xbb\xb7\xe6\xa0\xbc 199</b>";  // "价格 199" in UTF-8
const std::string kGbkText = "<b>\xbc\xdb\xb8\xf1 199</b>";           // the same in GBK

// Markup that compresses about as well as a real page (well under 20 times).
std::string Markup(int items) {
  std::string text = "<html><ul>";
  unsigned seed = 17;
  for (int i = 0; i < items; ++i) {
    seed = seed * 1103515245 + 12345;
    text +=
        "<li id=\"" + std::to_string(seed % 100000) + "\">" + std::to_string(seed >> 8) + "</li>";
  }
  return text + "</ul></html>";
}

void Reply(httplib::Response& response, const std::string& body, const std::string& contentType,
           const std::string& encoding = std::string()) {
  if (!encoding.empty()) response.set_header("Content-Encoding", encoding);
  response.set_content(body, contentType.c_str());
}

class SpiderPageTest : public ::testing::Test {
 protected:
  TempDir m_home{true};
  TestHttpServer m_server;
  RawHttpServer m_raw;
  CSpider m_spider;
};

TEST_F(SpiderPageTest, SendsTheBrowserHeadersAndReturnsTheBody) {
  m_server.Page("/item", kGbkText, "text/html; charset=gbk");
  std::string page =
      m_spider.GetPage(m_server.Url("/item"), "gbk", "\r\nX-Shop: 1", "http://shop.example/list");
  EXPECT_EQ(page, kGbkText);
  httplib::Headers headers = m_server.LastHeaders("/item");
  auto header = [&](const char* name) {
    auto it = headers.find(name);
    return it == headers.end() ? std::string("<missing>") : it->second;
  };
  EXPECT_EQ(header("User-Agent"), kBrowserAgent);
  EXPECT_EQ(header("Accept-Encoding"), "gzip");
  EXPECT_EQ(header("Accept-Language"), "zh-cn");
  EXPECT_EQ(header("Accept"), "*/*");
  EXPECT_EQ(header("X-Shop"), "1");
  EXPECT_EQ(header("Referer"), "http://shop.example/list");
}

TEST_F(SpiderPageTest, EmptyLinkAndFailedStatusGiveNothing) {
  m_server.Get("/gone", [](const httplib::Request&, httplib::Response& response) {
    response.status = 404;
    response.set_content("not here", "text/html");
  });
  m_server.Get("/error", [](const httplib::Request&, httplib::Response& response) {
    response.status = 500;
    response.set_content("broken", "text/html");
  });
  EXPECT_EQ(m_spider.GetPage("", "gbk"), "");
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/gone"), "gbk"), "");
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/error"), "gbk"), "");
  EXPECT_EQ(m_server.Requests("/gone"), 1);

  std::string file = m_home.File("gone.html");
  EXPECT_TRUE(m_spider.DownloadFile(m_server.Url("/gone"), file));
  EXPECT_FALSE(FileExists(file));
}

TEST_F(SpiderPageTest, ReplyCharsetOverridesTheExpectedOne) {
  struct Case {
    const char* contentType;
    const char* expected;
    std::string body;
    std::string page;
  } cases[] = {
      {"text/html; charset=utf-8", "gbk", kUtf8Text, kGbkText},     // converted anyway
      {"text/html; charset=UTF-8", "GB2312", kUtf8Text, kGbkText},  // any case
      {"text/html; charset=GBK", "utf-8", kGbkText, kGbkText},      // left alone anyway
      {"text/html", "UTF-8", kUtf8Text, kGbkText},                  // no charset: the expected
      {"text/html", "gb2312", kGbkText, kGbkText},
      {"text/html; charset=utf8", "gbk", kUtf8Text, kGbkText},  // "utf8" is UTF-8 too
  };
  int n = 0;
  for (const Case& c : cases) {
    Case copy = c;
    std::string path = "/charset/" + std::to_string(n++);
    m_server.Get(path, [copy](const httplib::Request&, httplib::Response& response) {
      Reply(response, copy.body, copy.contentType);
    });
    EXPECT_EQ(m_spider.GetPage(m_server.Url(path), c.expected), c.page)
        << c.contentType << " / " << c.expected;
  }
}

TEST_F(SpiderPageTest, EncodedBodiesWithContentLength) {
  std::string text = Markup(300) + kUtf8Text;
  std::string expected = Utf8ToLocal(text);
  m_server.Get("/gzip", [&](const httplib::Request&, httplib::Response& response) {
    Reply(response, GzipText(text), "text/html; charset=utf-8", "gzip");
  });
  m_server.Get("/deflate", [&](const httplib::Request&, httplib::Response& response) {
    Reply(response, ZlibText(text), "text/html; charset=utf-8", "deflate");
  });
  m_server.Get("/raw-deflate", [&](const httplib::Request&, httplib::Response& response) {
    Reply(response, RawDeflateText(text), "text/html; charset=utf-8", "deflate");
  });
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/gzip"), "gbk"), expected);
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/deflate"), "gbk"), expected);
  // Deflate without its zlib header does not decode.
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/raw-deflate"), "gbk"), "");
}

TEST_F(SpiderPageTest, EncodedBodiesWithoutContentLength) {
  std::string text = Markup(200);
  std::string deflated = ZlibText(text);
  m_raw.Reply("/gzip",
              RawHttpServer::Response("Content-Type: text/html\r\nContent-Encoding: gzip\r\n"
                                      "Connection: close\r\n",
                                      GzipText(text)));
  m_raw.Reply("/deflate",
              RawHttpServer::Response("Content-Type: text/html\r\nContent-Encoding: deflate\r\n"
                                      "Connection: close\r\n",
                                      deflated));
  m_raw.Reply("/zero-length",
              RawHttpServer::Response("Content-Type: text/html\r\nContent-Encoding: deflate\r\n"
                                      "Content-Length: 0\r\n",
                                      ""));
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/gzip"), "gbk"), text);
  // Without a length only gzip is recognised: the deflate bytes come back as
  // they are, up to their first zero byte.
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/deflate"), "gbk"),
            deflated.substr(0, deflated.find('\0')));
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/zero-length"), "gbk"), "");

  m_server.Get("/chunked", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    std::string gzip = GzipText(text);
    response.set_chunked_content_provider("text/html", [gzip](size_t, httplib::DataSink& sink) {
      sink.write(gzip.data(), gzip.size() / 2);
      sink.write(gzip.data() + gzip.size() / 2, gzip.size() - gzip.size() / 2);
      sink.done();
      return true;
    });
  });
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/chunked"), "gbk"), text);
}

TEST_F(SpiderPageTest, BodyIsCutAtItsFirstZeroByte) {
  std::string withZero = std::string("before", 6) + '\0' + "after";
  m_server.Page("/zero", withZero);
  m_server.Get("/gzip-zero", [&](const httplib::Request&, httplib::Response& response) {
    Reply(response, GzipText(withZero), "text/html", "gzip");
  });
  m_raw.Reply("/raw-zero", RawHttpServer::Response("Connection: close\r\n", withZero));
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/zero"), "gbk"), "before");
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/gzip-zero"), "gbk"), "before");
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/raw-zero"), "gbk"), "before");
}

TEST_F(SpiderPageTest, BrokenGzipGivesWhatDecodedBeforeTheBreak) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "<li>" + std::to_string(i * 7919 % 10007) + "</li>";
  std::string gzip = GzipText(text);
  std::string half = gzip.substr(0, gzip.size() / 2);
  // The server promises the whole length but closes after half of it.
  m_raw.Reply("/short", RawHttpServer::Response("Content-Encoding: gzip\r\nContent-Length: " +
                                                    std::to_string(gzip.size()) + "\r\n",
                                                half));
  std::string page = m_spider.GetPage(m_raw.Url("/short"), "gbk");
  EXPECT_FALSE(page.empty());
  EXPECT_EQ(page, Gunzip(half));
  EXPECT_EQ(text.compare(0, page.size(), page), 0);
}

TEST_F(SpiderPageTest, FollowsRedirects) {
  m_server.Get("/old", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(m_server.Url("/new"));
  });
  m_server.Page("/new", "moved here");
  EXPECT_EQ(m_spider.GetPage(m_server.Url("/old"), "gbk"), "moved here");
}

TEST(RegexGroup1Test, FirstMatchGroupOne) {
  struct Case {
    const char* text;
    const char* pattern;
    const char* group;
  } cases[] = {
      {"text/html; charset=UTF-8", "charset=(.*?)$", "UTF-8"},
      {"TEXT/HTML; CHARSET=gbk", "charset=(.*?)$", "gbk"},  // ignoring case
      {"text/html", "charset=(.*?)$", ""},
      {"a=1; path=/", "^(.*?;)", "a=1;"},
      {"<p>1</p>\n<p>2</p>", "<p>(.*?)</p>", "1"},  // the first match only
      {"<i>\nx\n</i>", "<i>(.*)</i>", "\nx\n"},     // "." takes line breaks
      {"ab", "a(x)?b", ""},                         // group 1 took no part
      {"ab", "ab", ""},                             // no group 1
  };
  for (const Case& c : cases) EXPECT_EQ(RegexGroup1(c.text, c.pattern), c.group) << c.pattern;
}

// Replies as other servers write them: header names in any case, a quoted
// charset or "utf8"; a gzip file cut short is no file; a link with blanks
// goes out encoded.
TEST_F(SpiderPageTest, RepliesInEveryLegalSpellingAndLinksWithBlanks) {
  const std::string utf8 = "\xE7\x94\xB5";  // 电
  const std::string gzip = GzipText("<p>" + utf8 + "</p>");
  m_raw.Reply("/lower",
              RawHttpServer::Response(
                  "content-encoding: gzip\r\ncontent-type: text/html; charset=\"UTF-8\"\r\n"
                  "Content-Length: " +
                      std::to_string(gzip.size()) + "\r\n",
                  gzip));
  m_raw.Reply("/utf8", RawHttpServer::Response("Content-Type: text/html; charset=utf8\r\n",
                                               "<p>" + utf8 + "</p>"));
  const std::string cut = gzip.substr(0, gzip.size() / 2);
  m_raw.Reply(
      "/cut",
      RawHttpServer::Response(
          "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(cut.size()) + "\r\n", cut));
  m_raw.Reply("/a%20b", RawHttpServer::Response("Content-Length: 2\r\n", "ok"));

  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/lower"), "gbk"), "<p>" + Utf8ToLocal(utf8) + "</p>");
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/utf8"), "gbk"), "<p>" + Utf8ToLocal(utf8) + "</p>");
  m_home.Write("kept.html", "old");
  EXPECT_FALSE(m_spider.DownloadFile(m_raw.Url("/cut"), m_home.File("kept.html")));
  EXPECT_EQ(m_home.Read("kept.html"), "old");
  EXPECT_EQ(m_spider.GetPage(m_raw.Url("/a b"), "gbk"), "ok");
}

}  // namespace
