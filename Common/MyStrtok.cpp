#include "Common/MyStrtok.h"

#include <cstddef>
#include <cstring>

#include "Common/KernelMemory.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/MyStrtok";

// The save stack starts with this many entries and grows by as many.
constexpr std::size_t kSaveStackStep = 100;

struct TokenizerState {
  char* position = nullptr;
  char** saved = nullptr;  // kernel block of `capacity` entries
  std::size_t depth = 0;
  std::size_t capacity = 0;
  // Nested starts whose position could not be saved. Such a start yields
  // no tokens and leaves the position alone, and its closing call only
  // counts down here, so pushes and pops stay balanced.
  std::size_t unsaved = 0;
  bool pushFailed = false;
};

thread_local TokenizerState state;

bool PushPosition() {
  if (state.depth == state.capacity) {
    char** grown = SVGFLT_GROW(char*, state.saved, state.capacity, state.capacity + kSaveStackStep);
    if (grown == nullptr) return false;
    state.saved = grown;
    state.capacity += kSaveStackStep;
  }
  state.saved[state.depth++] = state.position;
  return true;
}

}  // namespace

char* MyStrtok(char* text, const char* delimiters) {
  if (text == nullptr && delimiters == nullptr) {
    if (state.unsaved > 0) {
      --state.unsaved;
    } else if (state.depth > 0) {
      state.position = state.saved[--state.depth];
    } else {
      state.position = nullptr;
    }
    return nullptr;
  }
  if (text != nullptr) {
    // Inside a start that could not be saved, inner starts are not saved either.
    if (state.unsaved > 0 || !PushPosition()) {
      ++state.unsaved;
      state.pushFailed = true;
      return nullptr;
    }
    state.position = text;
  }
  // Continuing inside a start that could not be saved yields nothing.
  if (state.unsaved > 0 || state.position == nullptr || delimiters == nullptr) return nullptr;

  char* cursor = state.position + std::strspn(state.position, delimiters);
  if (*cursor == '\0') {
    state.position = nullptr;
    return nullptr;
  }
  char* end = cursor + std::strcspn(cursor, delimiters);
  if (*end == '\0') {
    state.position = end;
  } else {
    *end = '\0';
    state.position = end + 1;
  }
  return cursor;
}

Status MyStrtokStatus() { return state.pushFailed ? kErrNoMemory : kOk; }

void MyStrtokReset() {
  KernelRelease(state.saved);
  state = TokenizerState{};
}

}  // namespace svgflt
