#pragma once
// How deep the elements of an XML text nest, counted in one pass without parsing it. rapidxml
// parses an element inside its parent's call, so a text that nests deep enough takes it past the
// end of the stack; its readers ask this first and refuse such a text.
#include <cstddef>
#include <string_view>

namespace platform {

// Deeper than any layout or catalogue is written, shallow enough for a worker thread's stack
// under the address sanitizer.
inline constexpr size_t kMaxXmlDepth = 128;

// The deepest nesting of elements in `text`, counted as rapidxml would read it (comments, CDATA,
// processing instructions, declarations and quoted attribute values hold no elements); counting
// stops once it passes `limit`. Never less than what rapidxml reaches before it finds an error.
size_t XmlNestingDepth(std::string_view text, size_t limit = kMaxXmlDepth);

}  // namespace platform
