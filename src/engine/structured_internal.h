#pragma once

#include <string>
#include <vector>

#include "engine/structured.h"

// The stages of the structured-data reader. Texts here are UTF-8; the
// reader converts at its edges.

// Values found by one source; empty fields were not found.
struct FoundValues {
  std::string name;
  std::string image;
  std::string price;
  std::string currency;
  std::string availability;
  std::string id;
  bool priceShown = false;  // the price is an element's text, not a machine number
};

// What the HTML walk collects: the text of every JSON-LD block, the
// microdata of the product and the Open Graph tags, and the canonical link.
struct PageSources {
  std::vector<std::string> jsonBlocks;
  FoundValues microdata;
  FoundValues openGraph;
  std::string canonical;
};

// Parses the page with the HTML parser (any tag soup) and walks it once
// (engine/pagewalk).
PageSources WalkHtml(const std::string& utf8Page);

// The first schema.org Product of the JSON-LD blocks that parse; blocks that
// don't are skipped.
FoundValues ReadJsonLd(const std::vector<std::string>& blocks);

// Every value with the first source that has it, in the order JSON-LD,
// microdata, Open Graph (texts come out in the local code page).
StructuredProduct StructuredFromSources(const PageSources& sources, const FoundValues& jsonLd);
