// Transform lists and the transform stack: parsing the `transform` family of
// attributes into a list of steps, and folding lists into affine matrices
// on a stack of nodes while the document is converted.
#pragma once

#include <cstdint>

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// Parses a transform attribute into *out, replacing (and freeing) the list
// it held: kOk (malformed text gives steps with 0 for unreadable numbers),
// kErrMissing for a null argument, kErrNoMemory (nothing stored).
[[nodiscard]] Status ParseTransformList(const char* text, TransformList* out);
// Frees every step of the list and empties it.
void FreeTransformList(TransformList* list);

// The product that maps a point first through `t`, then through `p`.
[[nodiscard]] SvgMatrix MultiplyMatrix(const SvgMatrix& p, const SvgMatrix& t);
// `start` with every step of `list` folded in, the first step outermost.
// Rotation centres and skews leave the matrix unchanged.
[[nodiscard]] SvgMatrix FoldTransformList(const SvgMatrix& start, const TransformList& list);

// Pushes a node whose matrix is the top's (identity on an empty stack) with
// `list` (may be null) folded in, and whose count is `count`: kOk,
// kErrMissing, kErrNoMemory (the stack is unchanged).
[[nodiscard]] Status PushTransform(TransformNode** top, const TransformList* list, int32_t count);
// Unlinks and frees the top node; an empty stack is left alone.
void PopTransform(TransformNode** top);
// Frees every node of the stack.
void FreeTransformStack(TransformNode** top);

}  // namespace svgflt
