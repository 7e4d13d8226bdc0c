#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The named character references text content may use: the 252 character
// entities of HTML 4.01 and "apos".

// The code point of a reference name, 0 when unknown. The name is matched as
// written first and then lower-cased, so "&AMP;" reads as "&amp;" while
// "&Sigma;" keeps its capital letter.
uint32_t NamedEntityCode(std::string_view name);
size_t NamedEntityCount();
