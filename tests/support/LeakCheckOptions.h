#pragma once

// Included by each test binary's main, once.
#if defined(__SANITIZE_ADDRESS__)
// This toolchain's LeakSanitizer can take a block of dynamic thread-local storage (of an image
// plugin the test loaded) for one laid out as an old C library did, and crash in its exit check;
// whether it does depends only on where the heap put the block. The leak check still scans the
// stacks, the static thread-local storage and the heap.
extern "C" const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
#endif
