#pragma once

// A model of the terminal's display rules written apart from the program's, for fuzz targets to
// compare the program's text with.

#include <cstddef>
#include <string>
#include <string_view>

namespace drel::fuzz {

// Shows `bytes` on `text` by the terminal's rules as a user sees them: a zero byte is left out;
// a text of 16384 characters or more first loses its first 4097; each BS, taken from the first,
// erases the character before it in the run, or one shown character when nothing is left
// before it in the run; then every LF goes and every CR becomes CR LF; the run lands at the
// end.
void ModelShow(std::string& text, std::string_view bytes);

// Text of `length` characters in lines of 63 characters and CR LF.
std::string Filler(size_t length);

}  // namespace drel::fuzz
