// Price images fetched over HTTP from a server the test starts on 127.0.0.1.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/programdir.h"
#include "engine/priceimg.h"
#include "support/drawn_images.h"
#include "support/tempdir.h"

namespace {

class PriceImgDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirectories(m_home.File("tpl"));
    for (char c : std::string("0123456789.")) {
      std::string name = c == '.' ? "pot" : std::string(1, c);
      WriteImage(m_home.File("tpl/" + name + ".png"), DrawTemplate(TestFont().at(c)), "png");
    }
    for (const std::string& text : m_texts) {
      std::string bytes = EncodePng(DrawText(text));
      m_server.Get("/" + text + ".png", [bytes](const httplib::Request&, httplib::Response& res) {
        // A slow, chunked reply keeps the downloads of the threads overlapping.
        res.set_chunked_content_provider("image/png", [bytes](size_t, httplib::DataSink& sink) {
          size_t half = bytes.size() / 2;
          sink.write(bytes.data(), half);
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
          sink.write(bytes.data() + half, bytes.size() - half);
          sink.done();
          return true;
        });
      });
    }
    m_port = m_server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(m_port, 0);
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void TearDown() override {
    m_server.stop();
    if (m_thread.joinable()) m_thread.join();
  }
  std::string Link(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }

  TempDir m_home{true};
  std::vector<std::string> m_texts = {"1299.00", "45.67", "3.1", "9765.43"};
  httplib::Server m_server;
  int m_port = 0;
  std::thread m_thread;
};

TEST_F(PriceImgDownload, ReadsALinkAndLeavesNoFileBehind) {
  CPriceImg reader(m_home.File("tpl"), "png", "204,0,0");
  EXPECT_EQ(reader.RecognizePrice(Link("/45.67.png"), "shop"), "45.67");
  EXPECT_EQ(reader.RecognizePrice("HTTP://127.0.0.1:" + std::to_string(m_port) + "/3.1.png", ""),
            "3.1");
  EXPECT_EQ(reader.RecognizePrice(Link("/missing.png"), "shop"), "");
  std::error_code error;
  EXPECT_TRUE(std::filesystem::is_empty(ProgramFile("temp"), error)) << error.message();
}

// Passes that read price images at the same time each get their own image.
TEST_F(PriceImgDownload, PassesAtOnceNeverShareAnImage) {
  std::vector<int> wrong(m_texts.size(), 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < m_texts.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 10; ++round) {
        CPriceImg reader(m_home.File("tpl"), "png", "204,0,0");
        if (reader.RecognizePrice(Link("/" + m_texts[t] + ".png"), "shop") != m_texts[t]) {
          ++wrong[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < m_texts.size(); ++t) EXPECT_EQ(wrong[t], 0) << m_texts[t];
}

}  // namespace
