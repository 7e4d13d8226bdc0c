// Input no one should write but anyone can: the reader must neither crash nor
// take time or memory out of proportion to the input.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <random>
#include <string>

#include "text/xml.h"

namespace {

// Walks every element with the cursor; returns how many there are.
size_t CountElements(XmlDocument& doc) {
  doc.ResetPosition();
  size_t count = 0;
  int depth = 0;
  for (;;) {
    if (doc.FindElement()) {
      ++count;
      doc.GetElementText();
      doc.EnterElement();
      ++depth;
    } else if (depth > 0) {
      doc.LeaveElement();
      --depth;
    } else {
      return count;
    }
  }
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

constexpr size_t kDeep = 100000;

TEST(XmlHostile, DeepNesting) {
  XmlDocument doc;
  EXPECT_TRUE(doc.SetText(Repeat("<a>", kDeep) + "x" + Repeat("</a>", kDeep)));
  EXPECT_EQ(CountElements(doc), kDeep);
  // Down to the bottom and up again with the cursor.
  doc.ResetPosition();
  size_t depth = 0;
  while (doc.FindChildElement("a")) {
    doc.EnterElement();
    ++depth;
  }
  EXPECT_EQ(depth, kDeep - 1);
  EXPECT_EQ(doc.GetElementText(), "x");
  while (doc.LeaveElement()) --depth;
  EXPECT_EQ(depth, 0u);
}

TEST(XmlHostile, DeepUnendedAndLoneTags) {
  XmlDocument doc;
  // Never closed: every element ends after its start tag, all become siblings.
  EXPECT_FALSE(doc.SetText(Repeat("<a>", kDeep)));
  EXPECT_EQ(CountElements(doc), kDeep);
  doc.ResetPosition();
  EXPECT_TRUE(doc.FindChildElement() == false);  // the first has no children now
  // End tags that match nothing under a deep stack.
  EXPECT_FALSE(doc.SetText(Repeat("<a><b>", kDeep / 2) + Repeat("</c>", kDeep)));
  EXPECT_EQ(CountElements(doc), kDeep);
  // End tags that each close half the stack.
  EXPECT_FALSE(
      doc.SetText(Repeat("<a>", kDeep / 2) + Repeat("<b>", kDeep / 2) + Repeat("</a>", kDeep / 2)));
  EXPECT_EQ(CountElements(doc), kDeep);
  // Quotes that never close.
  EXPECT_FALSE(doc.SetText("<r>" + Repeat("<a b=\"", kDeep)));
  EXPECT_FALSE(doc.SetText(Repeat("<a b='x>", kDeep)));
}

TEST(XmlHostile, EveryTruncationOfADocument) {
  const std::string full =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><!DOCTYPE s [<!ENTITY e \"v\">]>"
      "<Sites><Version>7</Version><!-- c --><SiteList><Site><Name a='1' b=\"&gt;\">"
      "\xE4\xBB\xB7 &amp; &#20215;</Name><![CDATA[x]]><?pi z?><Flag/></Site></SiteList></Sites>";
  for (size_t n = 0; n <= full.size(); ++n) {
    XmlDocument doc;
    bool ok = doc.LoadFromMemory(full.substr(0, n));
    EXPECT_EQ(ok, n == full.size()) << n;
    CountElements(doc);
    XmlDocument text;
    text.SetText(full.substr(0, n));
    CountElements(text);
  }
}

TEST(XmlHostile, BinaryGarbage) {
  std::mt19937 random(20260101);
  const std::string alphabet = "<>/!?-[]\"'=&#;xa \n\0\xFF\xFE\xEF\xBB\xBF";
  for (int round = 0; round < 300; ++round) {
    std::string bytes(static_cast<size_t>(random() % 4000), '\0');
    for (char& c : bytes)
      c = round % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    XmlDocument doc;
    doc.LoadFromMemory(bytes);
    CountElements(doc);
    XmlDocument copy(doc);
    while (copy.FindChildElement()) copy.GetChildText();
  }
}

long MaxResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(XmlHostile, FiftyMegabytes) {
  const std::string record =
      "<Task><Url>http://item.example.com/1.html?a=1&amp;b=2</Url><ProductName>\xE4\xBB\xB7"
      "\xE6\xA0\xBC &lt;x&gt;</ProductName><Status>true</Status><Price>12.50</Price></Task>";
  const size_t count = 50 * 1000 * 1000 / record.size();
  std::string bytes = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";
  bytes += Repeat(record, count);
  bytes += "</TaskList>";
  long before = MaxResidentKilobytes();
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory(bytes));
  size_t tasks = 0;
  while (doc.FindChildElement("Task")) {
    doc.EnterElement();
    if (doc.FindChildElement("ProductName") && doc.GetChildText() == "\xBC\xDB\xB8\xF1 <x>")
      ++tasks;
    doc.LeaveElement();
  }
  EXPECT_EQ(tasks, count);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Input, its converted copy and the index together stay a small multiple.
  long grownBytes = (MaxResidentKilobytes() - before) * 1024;
  EXPECT_LT(grownBytes, static_cast<long>(bytes.size()) * 5) << grownBytes;
#else
  (void)before;
#endif
}

TEST(XmlHostile, DenseMarkupStaysWithinBounds) {
  // One node per four bytes, the densest index a text can ask for.
  std::string text = "<r>" + Repeat("<a/>", 5 * 1000 * 1000) + "</r>";
  long before = MaxResidentKilobytes();
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(text));
  EXPECT_EQ(doc.Nodes().size(), 5u * 1000 * 1000 + 2);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  long grownBytes = (MaxResidentKilobytes() - before) * 1024;
  EXPECT_LT(grownBytes, static_cast<long>(text.size()) * 6) << grownBytes;
#else
  (void)before;
#endif
}

}  // namespace
