// litehtml-render PAGE.html OUT.png: the reference process of the cold-start
// and memory benchmarks. Shows an HTML page with litehtml on a 240x320
// surface, drawing with the client's FreeType fonts, and saves it as a PNG.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "bench/litehtml_container.h"
#include "platform/image.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: litehtml-render PAGE.html OUT.png\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    zq::Surface surface;
    surface.resize(240, 320);
    zq::bench::FtContainer container(surface);
    litehtml::context context;
    context.load_master_stylesheet(zq::bench::kLitehtmlMasterCss);
    zq::bench::litehtmlShow(bytes.str(), context, container, surface);
    return zq::savePng(surface, argv[2]) ? 0 : 1;
}
