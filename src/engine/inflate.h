#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Inflation of gzip- and deflate-encoded HTTP bodies.
//
// The result is exactly what inflating one byte of input into one byte of
// output space at a time gives, which is what stored pages were always
// decoded with: the output is cut at 20 times the input, a broken or
// truncated stream gives what was decoded before the break, and a stream
// that ends early keeps only the output produced by the time its last input
// byte was taken in. The work itself is done in large blocks.
//
// `limit` caps the output further (the caller's memory bound); pass a value
// one above the largest size it accepts to tell a cut from a fit.

// Accepts a gzip or a zlib header (detected automatically).
std::string Gunzip(std::string_view data, size_t limit = SIZE_MAX);

// Expects a zlib header: raw deflate data gives the empty result.
std::string InflateBody(std::string_view data, size_t limit = SIZE_MAX);

// The output space the decoders grant: 20 times the input, at most `limit`.
size_t InflateCapacity(size_t inputLength, size_t limit = SIZE_MAX);

// Whether a gzip (or zlib) stream decodes to its end: false for a stream cut
// short or broken. Needs no memory for the output.
bool GzipEndsWhole(std::string_view data);
