#include "layers/polygon_files.h"

#include <array>
#include <charconv>

#include "driver/run_settings.h"
#include "layers/created_files.h"

void write_empty_polygon_file() {
    std::FILE* f = open_created_file("empty.gpc", "w");
    std::fputs("0\n", f);
    close_written_or_exit(f, "empty.gpc");
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

constexpr int PRECISION = 15;

// One vertex line " %.*lf %.*lf\n" with precision 15. std::to_chars gives
// exactly the digits that printf gives for this format, only faster; the
// buffer holds the longest double in fixed notation, and printf remains for
// the case that it should not.
void write_vertex_line(std::FILE* file, const gpc_vertex& v) {
    std::array<char, 2 * 340> line{};
    char* p = line.data();
    char* const end = line.data() + line.size();
    for (const double value : {v.x, v.y}) {
        *p++ = ' ';
        const auto r = std::to_chars(p, end - 1, value, std::chars_format::fixed, PRECISION);
        if (r.ec != std::errc()) {
            std::fprintf(file, " %.*lf %.*lf\n", PRECISION, v.x, PRECISION, v.y);
            return;
        }
        p = r.ptr;
    }
    *p++ = '\n';
    std::fwrite(line.data(), 1, static_cast<std::size_t>(p - line.data()), file);
}

}  // namespace

long long count_quads(const gpc_tristrip* strips) {
    long long total = 0;
    for (int s = 0; s < strips->num_strips; ++s) total += complete_quads(strips->strip[s].num_vertices);
    return total;
}

void write_quads(std::FILE* file, const gpc_tristrip* strips) {
    std::fprintf(file, "%lld\n", count_quads(strips));
    for (int s = 0; s < strips->num_strips; ++s) {
        const gpc_vertex_list& strip = strips->strip[s];
        const long long quads = complete_quads(strip.num_vertices);
        for (long long q = 0; q < quads; ++q) {
            const long long j = 2 * q;
            const gpc_vertex* v = strip.vertex;
            std::fputs("4\n", file);
            for (const long long k : {j, j + 1, j + 3, j + 2}) write_vertex_line(file, v[k]);
        }
    }
}
