// Fuzz target: the element reader over arbitrary bytes, with several names and buffer sizes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "nvtd/soap/element_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"Username", "Action", "Body", "User", "a", "Category"};
  if (size < 2) return 0;
  const char* name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
  int out_size = data[1];
  // An exact-size copy, so reading one byte past the given length is caught.
  std::vector<char> text(data + 2, data + size);
  std::vector<char> out(out_size > 0 ? out_size : 1);
  const char* r = nvtd::get_element_text(text.data(), static_cast<int>(text.size()), name,
                                         out.data(), out_size);
  if (r != nullptr && std::strlen(r) >= static_cast<size_t>(out_size)) __builtin_trap();
  return 0;
}
