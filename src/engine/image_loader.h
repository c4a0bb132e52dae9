#pragma once
// Finding and loading the image: the trailer at the end of a file gives the
// image's length; the loader walks its sections once.

#include <cstdint>
#include <string>
#include <vector>

#include "interp/interpreter.h"

namespace basrt {

enum class LoadStatus {
  kOk,
  kNoImage,    // the trailer is 0: nothing to run
  kMalformed,  // refused; the message says why
};

struct LoadResult {
  LoadStatus status = LoadStatus::kOk;
  std::string message;
};

// Reads the image that ends `path` (the last four bytes give its length).
// A pipe or a device is read to its end first.
LoadResult read_appended_image(const std::string& path, std::vector<std::uint8_t>& image);
// The same on bytes already in memory.
LoadResult extract_appended_image(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& image);

// Loads an image into the interpreter: the procedure blocks, the resource
// table, the data pool; leaves the code stream at the first statement of the
// main code. Sections that run past the image's end, negative lengths and
// more than 201 resource blocks are refused.
LoadResult load_image(Interp& ip, const std::uint8_t* image, std::int64_t size);

// Copies the payload of the resource block whose length field is at
// `position` into the scratch stream; the scratch stream is left empty when
// no block fits there. The code stream's position does not move.
void fetch_resource_at(Interp& ip, std::int64_t position);
// The same for resource number r; false, with nothing fetched, when the
// image has no resource r.
bool fetch_resource(Interp& ip, std::int64_t r);

}  // namespace basrt
