// A nestable string tokenizer in the manner of strtok: a tokenization can be
// suspended by starting another one on a different string and resumed by
// closing the inner one. The state (current position and save stack) is
// per thread, so loads on different threads do not disturb each other.
#pragma once

#include "svgfilter/FilterStatus.h"

namespace svgflt {

// With a non-null `text`, saves the current position and starts tokenizing
// `text`; with null `text`, continues where the tokenization stands. Skips
// delimiters, writes a NUL over the delimiter that ends the token and
// returns the token, or null when nothing is left.
// MyStrtok(nullptr, nullptr) closes a nested tokenization: it restores the
// saved position (the outer tokenization carries on) and returns null.
char* MyStrtok(char* text, const char* delimiters);

// kErrNoMemory when a nested start could not save the position since the
// last reset (that nested tokenization then yielded no tokens), else kOk.
[[nodiscard]] Status MyStrtokStatus();

// Frees the save stack and empties the state of this thread.
void MyStrtokReset();

}  // namespace svgflt
