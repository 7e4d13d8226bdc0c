// libFuzzer target for the XML reader: the file pipeline (encoding detection
// and conversion), the parse of a local text, and walks with the cursor.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/site.h"
#include "text/xml.h"

namespace {

// Visits every element with the cursor, reading names and texts, and searches
// for a name taken from the input on the way.
void Walk(XmlDocument& doc, const std::string& name) {
  XmlDocument copy(doc);
  int depth = 0;
  for (;;) {
    if (copy.FindElement()) {
      copy.GetTagName();
      copy.GetElementText();
      copy.FindChildElement(name.c_str());
      copy.GetChildText();
      copy.GetChildTagName();
      copy.EnterElement();
      ++depth;
    } else if (depth > 0) {
      copy.LeaveElement();
      --depth;
    } else {
      break;
    }
  }
  while (doc.FindChildElement(name.c_str())) {
    doc.EnterElement();
    while (doc.FindChildElement()) doc.GetChildText();
    doc.LeaveElement();
  }
}

// A file that holds the bytes, for the readers that take a path.
std::string FileWith(const std::string& bytes, int& fd) {
  fd = memfd_create("xml_fuzz", 0);
  if (fd < 0) return "";
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return "";
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 4;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string name = bytes.substr(0, bytes.find_first_of(" <>/\0", 0, 5)).substr(0, 16);
  XmlDocument doc;
  int fd = -1;
  switch (mode) {
    case 0:
      doc.SetText(bytes);
      break;
    case 1:
      doc.LoadFromMemory(bytes);
      break;
    case 2:
      doc.LoadFile(FileWith(bytes, fd));
      break;
    default: {
      CSiteList sites;
      sites.LoadSites(FileWith(bytes, fd));
      sites.FindSiteInPage(bytes);
      break;
    }
  }
  if (fd >= 0) close(fd);
  Walk(doc, name);
  XmlUnescape(bytes);
  XmlEscape(bytes);
  return 0;
}
