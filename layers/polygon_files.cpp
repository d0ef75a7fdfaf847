#include "layers/polygon_files.h"

#include "layers/created_files.h"

void write_empty_polygon_file() {
    std::FILE* f = open_created_file("empty.gpc", "w");
    std::fputs("0\n", f);
    std::fclose(f);
}

namespace {

// Strip vertices alternate left and right, left first, so the quad that starts
// at vertex j needs j, j+1, j+2 and j+3. In a strip with an odd vertex count
// the last vertex has no partner across the strip: the piece it would close is
// a triangle and is not written, so only j with j + 3 < n count. For an even
// n this is the same as j < n - 2.
long long complete_quads(int num_vertices) {
    if (num_vertices < 4) return 0;
    return (static_cast<long long>(num_vertices) - 2) / 2;
}

}  // namespace

long long count_quads(const gpc_tristrip* strips) {
    long long total = 0;
    for (int s = 0; s < strips->num_strips; ++s) total += complete_quads(strips->strip[s].num_vertices);
    return total;
}

void write_quads(std::FILE* file, const gpc_tristrip* strips) {
    std::fprintf(file, "%lld\n", count_quads(strips));
    constexpr int precision = 15;
    for (int s = 0; s < strips->num_strips; ++s) {
        const gpc_vertex_list& strip = strips->strip[s];
        const long long quads = complete_quads(strip.num_vertices);
        for (long long q = 0; q < quads; ++q) {
            const long long j = 2 * q;
            const gpc_vertex* v = strip.vertex;
            std::fputs("4\n", file);
            for (const long long k : {j, j + 1, j + 3, j + 2})
                std::fprintf(file, " %.*lf %.*lf\n", precision, v[k].x, precision, v[k].y);
        }
    }
}
