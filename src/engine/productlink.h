#pragma once

#include <string>

// Product links as the pages they name: what a visitor's way to the page
// added to its link (a fragment, tracking parameters) does not make it
// another product.

// The link with "&amp;" read as "&" and without its fragment ("#...").
std::string LinkWithoutFragment(const std::string& link);

// The link without its fragment and without the query parameters that only
// say where a visitor came from: utm_*, spm, scm, from, ref, fbclid, gclid
// and the like. A query left empty goes with its "?". A product page that
// names no identifier of its own is known by this link.
std::string LinkWithoutTracking(const std::string& link);
