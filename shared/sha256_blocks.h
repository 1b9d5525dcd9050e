#pragma once
// The SHA-256 compression function on the processor's SHA extensions. Wine's CNG hashes
// in plain C at about a fifth of their speed, and the updater hashes every file it
// downloads and every installed file it may keep.

#include <cstddef>
#include <cstdint>

// Whether this processor has the SHA extensions (and the SSE levels they come with).
bool HasShaExtensions();

// Runs blockCount 64-byte blocks through the state (a to h, host byte order). Only when
// HasShaExtensions().
void Sha256Blocks(uint32_t state[8], const unsigned char* blocks, size_t blockCount);
