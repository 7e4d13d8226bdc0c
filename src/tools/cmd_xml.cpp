// vantrelctl xml: how the XML reader sees a file.
#include <cstdio>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "text/xml.h"
#include "tools/command.h"

namespace {

// One line per element in document order, walked with the cursor so that
// the depth of the document never reaches the call stack.
void PrintOutline(XmlDocument& doc) {
  std::string indent;
  for (;;) {
    if (doc.FindElement()) {
      std::string line = indent + LocalToUtf8(doc.GetTagName());
      std::string text = doc.GetElementText();
      if (!text.empty()) line += " = " + LocalToUtf8(text);
      std::printf("%s\n", line.c_str());
      doc.EnterElement();
      indent += "  ";
    } else if (!indent.empty()) {
      doc.LeaveElement();
      indent.resize(indent.size() - 2);
    } else {
      return;
    }
  }
}

int RunXml(const std::vector<std::string>& args) {
  bool log = false;
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (arg == "--log")
      log = true;
    else
      files.push_back(arg);
  }
  if (files.size() != 1) {
    std::fprintf(stderr, "usage: vantrelctl xml [--log] FILE\n");
    return 2;
  }
  std::string bytes;
  if (!ReadInput(files[0], bytes)) {
    std::fprintf(stderr, "vantrelctl xml: cannot read %s\n", files[0].c_str());
    return 1;
  }
  XmlDocument doc;
  bool wellFormed = doc.LoadFromMemory(bytes);
  std::printf("wellformed: %s\n", wellFormed ? "yes" : "no");
  PrintOutline(doc);
  if (log) std::printf("log: %s\n", doc.ResultLog().c_str());
  return wellFormed ? 0 : 1;
}

}  // namespace

VANTREL_COMMAND(xml, "xml", "[--log] FILE",
                "Reads FILE (standard input for \"-\") as the program reads its XML files:\n"
                "the encoding is taken from a byte-order mark, the declaration or an HTML\n"
                "meta element, else guessed, and the text converted; the parse is lenient.\n"
                "Prints \"wellformed: yes\" or \"wellformed: no\", then one line per element in\n"
                "document order, indented two blanks per level of depth: the tag name and,\n"
                "when the element holds text and no element, \" = \" and that text with\n"
                "references decoded (UTF-8, as it stands, line breaks included). An end tag\n"
                "that never comes ends its element right after the start tag, so what\n"
                "followed moves up beside it. --log adds a last line \"log: \" with the\n"
                "reader's notes. Exit status 0 when well-formed, 1 when not or unreadable.",
                RunXml);
