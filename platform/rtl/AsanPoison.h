// Marks memory that sits in a free list as unusable for AddressSanitizer, so
// a use after free of a pooled block is still reported. Without the
// sanitizer both macros do nothing.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif
