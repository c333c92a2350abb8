#pragma once

// Pixel loops built twice, for the processors of today (eight pixels at a time with AVX2) and for
// any x86-64; the loader picks one when flashgrab starts. Their files are built at -O3, where GCC
// does several pixels at once. Not under AddressSanitizer, whose start-up the loader's choice
// would precede.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define FLASHGRAB_WIDE [[gnu::target_clones("avx2", "default")]]
#else
#define FLASHGRAB_WIDE
#endif
