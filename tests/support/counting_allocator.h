// A replacement of the global allocator that counts what is held, for the programs that
// measure memory (the plug-in's memory test, the export benchmark). Linking the target
// cmp_counting_allocator replaces operator new and delete in the whole program.
#pragma once

namespace cmp {

// Bytes allocated through operator new and not yet freed.
long long LiveBytes();
// The most LiveBytes() has been since the last ResetPeakBytes().
long long PeakBytes();
// Starts a new peak from what is held now.
void ResetPeakBytes();

}  // namespace cmp
