#include "driver/run.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The stages allocate and free large arrays over and over. By default
    // glibc gives arrays above 128 KiB back to the system at once, and every
    // new one is then faulted in page by page again; keeping them in the heap
    // for reuse spares a tenth of the run on big layouts.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    // The layer recipe runs on two threads, and both allocate from one
    // arena: memory that a large step on one thread gives back serves the
    // next large step on either, instead of staying with the thread that
    // freed it.
    mallopt(M_ARENA_MAX, 1);
#endif
    return driver::run_cif2kavrit(argc, argv);
}
