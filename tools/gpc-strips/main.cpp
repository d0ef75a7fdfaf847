// gpc-strips CASE_DIR: prints the strip set of one polygon-corpus case in the
// corpus's own format, for comparison with its expected.strips.
#include <cstdio>

#include "tools/gpc-strips/corpus_case.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CASE_DIR\n", argv[0]);
        return 2;
    }
    gpc_tristrip strips{0, nullptr};
    std::string error;
    CorpusCase c;
    if (!load_corpus_case(argv[1], &c, &error) || !run_corpus_case(c, &strips, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::fputs(format_strips(strips).c_str(), stdout);
    gpc_free_tristrip(&strips);
    return 0;
}
