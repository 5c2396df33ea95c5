#pragma once

// The display rules of a terminal text, kept apart from the edit control that holds the text so
// that they can be checked on a plain string.
//
// A run of received text is always added at the end. A backspace erases the character before it
// in the run, or one character already shown when nothing precedes it in the run; every LF is
// dropped and every CR becomes CR LF, so each CR received gives one line break; a text that has
// reached kTrimThreshold characters loses its first kTrimCount characters before the run is
// added, which bounds the text at a little above kTrimThreshold.

#include <cstddef>
#include <string>
#include <string_view>

namespace drel {

inline constexpr size_t kTrimThreshold = 16384;
inline constexpr size_t kTrimCount = 4097;

// A change to a terminal text: cut `cutFront` characters from the start, then replace the last
// `eraseCount` characters with `append`.
struct TextEdit {
    size_t cutFront = 0;
    size_t eraseCount = 0;
    std::string append;
};

// The change that showing `run` makes to a text of `currentLength` characters. Any thread.
TextEdit PlanShowText(size_t currentLength, std::string_view run);

// Folds the showing of `run` into `pending`, a change planned for a text of `baseLength`
// characters (cutFront + eraseCount <= baseLength): afterwards `pending` makes of that text
// exactly what `pending` followed by showing `run` made of it. What the trim cuts from text
// that `pending` appends is dropped from `append` at once, so `append` never holds more than
// the longest text the rules leave (kTrimThreshold - 1 plus the expansion of one run).
// Any thread; touches nothing but its arguments.
void FoldShowText(TextEdit& pending, size_t baseLength, std::string_view run);

// The length of a text of `baseLength` characters once `edit` has been carried out on it.
// Any thread.
size_t LengthAfter(size_t baseLength, const TextEdit& edit);

// Carries out `edit` on `text`. Cuts and erases reach no further than the text. Any thread.
void ApplyTextEdit(std::string& text, const TextEdit& edit);

}  // namespace drel
