#include <gtest/gtest.h>

#include <string>

#include "text/xml.h"

namespace {

// Every element in document order as depth:name[=text], walked with the
// cursor alone.
std::string Outline(XmlDocument doc) {
  doc.ResetPosition();
  std::string out;
  int depth = 0;
  for (;;) {
    if (doc.FindElement()) {
      out += std::to_string(depth) + ":" + doc.GetTagName();
      std::string text = doc.GetElementText();
      if (!text.empty()) out += "=" + text;
      out += " ";
      doc.EnterElement();
      ++depth;
      continue;
    }
    if (depth == 0) break;
    doc.LeaveElement();
    --depth;
  }
  return out;
}

struct ParseCase {
  const char* text;
  bool wellFormed;
  const char* outline;
  const char* note;  // a note the log must hold, or ""
};

TEST(XmlParse, LenientStructure) {
  const ParseCase cases[] = {
      {"<a><b>x</b><c/></a>", true, "0:a 1:b=x 1:c ", ""},
      {"<?xml version=\"1.0\"?><!-- c --><a>1<!-- skip -->2<?pi x?>3</a>", true, "0:a=123 ", ""},
      {"<a><![CDATA[<&amp;>]]></a>", true, "0:a=<&amp;> ", ""},
      {"<!DOCTYPE a [<!ENTITY x \"y>\">]><a>t</a>", true, "0:a=t ", ""},
      {"<a b=\"1>2\" c='x'>t</a>", true, "0:a=t ", ""},
      // Unended start tag: what followed it becomes its following siblings.
      {"<a><b><c>x</c><d/></a>", false, "0:a 1:b 1:c=x 1:d ", "unended_start_tag"},
      {"<a><br>t</a>", false, "0:a 1:br ", "unended_start_tag"},
      // Lone end tag: skipped.
      {"<a>x</b>y</a>", false, "0:a=xy ", "lone_end_tag"},
      // An end tag further up closes everything opened after it.
      {"<r><a><b><c>1</c></a><d/></r>", false, "0:r 1:a 2:b 2:c=1 1:d ", "unended_start_tag"},
      {"<a/><b/>", false, "0:a 0:b ", "root_has_sibling"},
      {"", false, "", "no_root_element"},
      {"just text", false, "", "no_root_element"},
      {"<!-- only -->", false, "", "no_root_element"},
      // Markup-like text that is no markup stays text.
      {"<a>1 < 2 <= 3</a>", true, "0:a=1 < 2 <= 3 ", "first_tag_syntax"},
      // Cut off: "a" never ends, so what it held moves up beside it.
      {"<a>x<!-- never closed</a>", false, "0:a ", "comment_tag_syntax"},
      {"<a><![CDATA[open", false, "0:a ", "cdata_section_syntax"},
      {"<a>x</a><!foo>", true, "0:a=x ", "exclamation_tag_syntax"},
      {"<a>x</a><?pi", true, "0:a=x ", "unterminated_tag_syntax"},
      {"<a><b c=\"1", false, "0:a ", "unterminated_tag_syntax"},
      {"<!DOCTYPE a [ <a/>", false, "", "doctype_tag_syntax"},
      {"<a\tkey = 'v' />", true, "0:a ", ""},
  };
  for (const ParseCase& c : cases) {
    XmlDocument doc;
    EXPECT_EQ(doc.SetText(c.text), c.wellFormed) << c.text;
    EXPECT_EQ(doc.IsWellFormed(), c.wellFormed) << c.text;
    EXPECT_EQ(Outline(doc), c.outline) << c.text;
    if (*c.note) {
      EXPECT_NE(doc.ResultLog().find(std::string("<") + c.note), std::string::npos)
          << c.text << " log: " << doc.ResultLog();
    }
  }
}

TEST(XmlParse, NamesMatchExactlyAndSearchOnlyForward) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(
      "<TaskList><TaskListX/><Task><ImageLink>i</ImageLink><Name>n</Name><Url>u</Url></Task>"
      "<Task><Url>v</Url></Task></TaskList>"));
  std::string urls;
  while (doc.FindChildElement("Task")) {
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_FALSE(doc.FindChildElement("task"));
    if (doc.FindChildElement("Url")) urls += doc.GetChildText();
    // Already past it: a later search does not go back.
    EXPECT_FALSE(doc.FindChildElement("ImageLink"));
    EXPECT_EQ(doc.GetChildText(),
              doc.GetChildTagName() == "Url" ? urls.substr(urls.size() - 1) : "");
    ASSERT_TRUE(doc.LeaveElement());
  }
  EXPECT_EQ(urls, "uv");
  EXPECT_EQ(doc.GetChildTagName(), "Task");
  EXPECT_FALSE(doc.LeaveElement());  // at the top
}

TEST(XmlParse, CursorWithoutCurrentElement) {
  XmlDocument doc;
  EXPECT_FALSE(doc.EnterElement());
  EXPECT_FALSE(doc.LeaveElement());
  EXPECT_FALSE(doc.FindChildElement("a"));
  EXPECT_EQ(doc.GetChildText(), "");
  ASSERT_TRUE(doc.SetText("<r><a>1</a></r>"));
  EXPECT_EQ(doc.GetChildText(), "");        // no current child yet
  EXPECT_FALSE(doc.FindChildElement("r"));  // the root is not its own child
  EXPECT_EQ(doc.GetTagName(), "r");
  EXPECT_TRUE(doc.FindChildElement("a"));
  EXPECT_EQ(doc.GetChildText(), "1");
  // SetText returns the cursor to the top.
  doc.SetText("<s><a>2</a></s>");
  EXPECT_EQ(doc.GetTagName(), "");
  EXPECT_TRUE(doc.FindChildElement("a"));
  EXPECT_EQ(doc.GetChildText(), "2");
  EXPECT_TRUE(doc.SetText(nullptr) == false);
  EXPECT_EQ(doc.GetText(), "");
}

TEST(XmlParse, ChildTextRules) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText(
      "<r><a>x<b/>y</a><c>p&amp;q<![CDATA[&lt;]]><!-- no -->r</c><d></d><e>  sp  </e></r>"));
  ASSERT_TRUE(doc.FindChildElement("a"));
  EXPECT_EQ(doc.GetChildText(), "");  // holds an element
  ASSERT_TRUE(doc.FindChildElement("c"));
  EXPECT_EQ(doc.GetChildText(), "p&q&lt;r");
  ASSERT_TRUE(doc.FindChildElement("d"));
  EXPECT_EQ(doc.GetChildText(), "");
  ASSERT_TRUE(doc.FindChildElement("e"));
  EXPECT_EQ(doc.GetChildText(), "  sp  ");
}

TEST(XmlParse, TwoRootsCanBeWalked) {
  XmlDocument doc;
  EXPECT_FALSE(doc.SetText("<a><x>1</x></a><b><x>2</x></b>"));
  EXPECT_TRUE(doc.FindChildElement("x"));
  EXPECT_EQ(doc.GetChildText(), "1");
  EXPECT_TRUE(doc.FindElement("b"));
  EXPECT_TRUE(doc.FindChildElement("x"));
  EXPECT_EQ(doc.GetChildText(), "2");
}

TEST(XmlParse, CopyHasItsOwnCursor) {
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<r><a>1</a><b>2</b></r>"));
  ASSERT_TRUE(doc.FindChildElement("a"));
  XmlDocument copy(doc);
  EXPECT_EQ(copy.GetChildText(), "1");
  ASSERT_TRUE(copy.FindChildElement("b"));
  EXPECT_EQ(copy.GetChildText(), "2");
  EXPECT_EQ(doc.GetChildText(), "1");
  doc.SetText("<other/>");
  EXPECT_EQ(copy.GetChildText(), "2");
  XmlDocument assigned;
  assigned = copy;
  EXPECT_EQ(assigned.GetChildTagName(), "b");
}

TEST(XmlParse, GbkNamesAndTextPassThrough) {
  // "价格" in GBK; its second byte pair holds 0x5B ("[") and ASCII-looking bytes.
  const std::string price = "\xBC\xDB\xB8\xF1";
  XmlDocument doc;
  ASSERT_TRUE(doc.SetText("<r><" + price + ">" + price + "</" + price + "></r>"));
  ASSERT_TRUE(doc.FindChildElement(price.c_str()));
  EXPECT_EQ(doc.GetChildText(), price);
}

TEST(XmlParse, LogStopsGrowing) {
  std::string text = "<a>";
  for (int i = 0; i < 5000; ++i) text += "</zz>";
  text += "</a>";
  XmlDocument doc;
  EXPECT_FALSE(doc.SetText(text));
  EXPECT_LT(doc.ResultLog().size(), 1200u);
  EXPECT_NE(doc.ResultLog().find("<lone_end_tag tagname=\"zz\""), std::string::npos);
}

}  // namespace
