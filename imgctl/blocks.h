// Large blocks of memory kept from one conversion for the next. Memory fresh
// from the system costs a page fault on every page's first touch, a good
// share of a photograph's conversion; a folder of photographs needs blocks
// of much the same sizes over and over, so a few freed blocks are kept.
#pragma once
#include <cstddef>

// A block of at least size bytes (contents undefined), or nullptr.
void* TakeBlock(size_t size);
// Hands back a block from TakeBlock; nullptr is ignored.
void GiveBlock(void* block);
