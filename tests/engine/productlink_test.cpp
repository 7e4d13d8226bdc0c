// A product page that names no identifier of its own is known by its link
// without what a visitor's way to it added.
#include "engine/productlink.h"

#include <gtest/gtest.h>

#include "engine/generic.h"

namespace {

TEST(ProductLink, TrackingParametersAndFragmentGo) {
  const struct {
    const char* link;
    const char* expected;
  } cases[] = {
      {"https://s.example/p/12?utm_source=x&utm_medium=y#reviews", "https://s.example/p/12"},
      {"https://s.example/item?id=7&spm=a1.b2&color=red&from=share",
       "https://s.example/item?id=7&color=red"},
      {"https://s.example/i?SCM=1&REF=2&fbclid=3&gclid=4&pk_campaign=5", "https://s.example/i"},
      {"https://s.example/i?id=7&amp;utm_term=z&amp;size=m", "https://s.example/i?id=7&size=m"},
      {"https://s.example/i?from_page=2&refer=3&utm_=4",
       "https://s.example/i?from_page=2&refer=3&utm_=4"},
      {"https://s.example/i?&&id=1&", "https://s.example/i?id=1"},
      {"https://s.example/plain", "https://s.example/plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(LinkWithoutTracking(c.link), c.expected) << c.link;
}

TEST(ProductLink, APageWithoutAnIdIsKnownByItsLink) {
  const std::string page =
      R"(<script type="application/ld+json">{"@type":"Product","name":"Mug","offers":{"price":"5"}}</script>)";
  const GenericProduct product = ReadGenericProduct(page, "https://s.example/mug?utm_source=a#top");
  EXPECT_EQ(product.info.id, "https://s.example/mug");
  EXPECT_EQ(product.data.id.source, "url");
  EXPECT_TRUE(AcceptGenericProduct(product));
  EXPECT_FALSE(AcceptGenericProduct(ReadGenericProduct(page)));
}

}  // namespace
