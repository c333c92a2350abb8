#include "corpus_cases.h"

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "flashgrab/display_list.h"
#include "flashgrab/renderer.h"
#include "support/test_support.h"

namespace flashgrab::test {
namespace {

std::vector<std::string> splitOn(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) out.push_back(part);
    return out;
}

std::vector<std::string> listOf(const std::string& text) {
    std::vector<std::string> out;
    for (auto& item : splitOn(text, ','))
        if (!item.empty()) out.push_back(item);
    return out;
}

}  // namespace

std::vector<CorpusCase> readManifest(const std::string& manifestPath) {
    std::ifstream file(manifestPath);
    std::string line;
    std::getline(file, line);
    std::map<std::string, std::size_t> column;
    auto header = splitOn(line, '\t');
    for (std::size_t i = 0; i < header.size(); ++i) column[header[i]] = i;
    std::vector<CorpusCase> cases;
    while (std::getline(file, line)) {
        auto cells = splitOn(line, '\t');
        cells.resize(header.size());
        CorpusCase c;
        c.name = cells[column["case"]];
        c.script = cells[column["script"]];
        c.fills = listOf(cells[column["fills"]]);
        c.features = listOf(cells[column["features"]]);
        c.stageSized = cells[column["png_matches_stage"]].rfind("yes", 0) == 0;
        c.knownFailure = !cells[column["known_failure"]].empty();
        std::string primary = cells[column["primary_image"]];
        // "<image>: after iteration N (...)", entries separated by " | "
        const std::string& images = cells[column["expected_images"]];
        std::string key = primary + ": after iteration ";
        auto at = images.find(key);
        if (at != std::string::npos) c.iterations = std::atoi(images.c_str() + at + key.size());
        cases.push_back(c);
    }
    return cases;
}

namespace {

// A case that ships a fonts.conf was drawn with it in force and with only the fonts beside it (its
// "serif" is the Noto Sans there, whose ascent is three quarters of the system's Noto Sans's): its
// device fonts are looked up the same way.
std::string caseFontConfig(const std::string& caseFolder, const torvane::test::TempFolder& scratch) {
    const std::string own = caseFolder + "/fonts.conf";
    if (!std::ifstream(own)) return {};
    const std::string file = scratch / "fonts.conf";
    torvane::test::writeFile(file, "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + caseFolder + "</dir><include>" + own +
                                       "</include><cachedir>" + (scratch / "cache") + "</cachedir></fontconfig>\n");
    return file;
}

}  // namespace

Comparison compareCase(const std::string& caseFolder, const CorpusCase& c, const std::string& dumpFolder) {
    Comparison result;
    cairo_surface_t* expected = cairo_image_surface_create_from_png((caseFolder + "/expected.png").c_str());
    auto movie = loadMovie(caseFolder + "/test.swf");
    if (cairo_surface_status(expected) != CAIRO_STATUS_SUCCESS || !movie) {
        cairo_surface_destroy(expected);
        return result;
    }
    std::ifstream toml(caseFolder + "/test.toml");
    std::string settings((std::istreambuf_iterator<char>(toml)), std::istreambuf_iterator<char>());
    bool low = settings.find("quality = \"low\"") != std::string::npos;

    int width = cairo_image_surface_get_width(expected);
    int height = cairo_image_surface_get_height(expected);
    torvane::test::TempFolder scratch;
    Renderer renderer(*movie, width, height, !low, caseFontConfig(caseFolder, scratch));
    Player player(*movie);
    // FLASHGRAB_TRACE shows the case's trace() output, to see where a script goes another way.
    if (std::getenv("FLASHGRAB_TRACE")) player.setTraceOutput(stderr);
    for (int i = 0; i < c.iterations; ++i) player.advance();
    renderer.render(player.root());
    if (!dumpFolder.empty())
        cairo_surface_write_to_png(renderer.surface(), (dumpFolder + "/" + c.name + ".png").c_str());

    cairo_surface_flush(expected);
    const unsigned char* a = cairo_image_surface_get_data(renderer.surface());
    const unsigned char* b = cairo_image_surface_get_data(expected);
    int strideA = cairo_image_surface_get_stride(renderer.surface());
    int strideB = cairo_image_surface_get_stride(expected);
    long within = 0;
    double errorSum = 0;
    for (int y = 0; y < height; ++y) {
        auto* rowA = reinterpret_cast<const std::uint32_t*>(a + static_cast<std::ptrdiff_t>(y) * strideA);
        auto* rowB = reinterpret_cast<const std::uint32_t*>(b + static_cast<std::ptrdiff_t>(y) * strideB);
        for (int x = 0; x < width; ++x) {
            int worst = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                int d =
                    std::abs(static_cast<int>((rowA[x] >> shift) & 0xFF) - static_cast<int>((rowB[x] >> shift) & 0xFF));
                worst = std::max(worst, d);
                errorSum += d;
            }
            if (worst <= 24) ++within;
        }
    }
    double pixels = static_cast<double>(width) * height;
    result.rendered = true;
    result.withinTolerance = static_cast<double>(within) / pixels;
    result.meanError = errorSum / (pixels * 3);
    cairo_surface_destroy(expected);
    return result;
}

}  // namespace flashgrab::test
