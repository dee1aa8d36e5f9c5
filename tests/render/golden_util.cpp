// The golden-image comparison of the renderer tests (declared in
// render_test_util.h), apart from the device helpers: it needs libpng, which
// the browser build of the loops' test has not.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/device.h"
#include "tests/render/render_test_util.h"

std::string compareWithPng(const uint32_t* pixels, const std::string& goldenPath) {
    int w = 0, h = 0;
    std::vector<uint32_t> golden;
    if (!readPng(goldenPath.c_str(), w, h, golden)) return "cannot read " + goldenPath;
    if (w != 640 || h != 480) return "wrong golden size";
    int differing = 0, first = -1;
    for (int i = 0; i < 640 * 480; i++)
        if ((pixels[i] & 0xFFFFFF) != golden[size_t(i)] && differing++ == 0) first = i;
    if (differing == 0) return "";
    char message[512];
    std::snprintf(message, sizeof message,
                  "%d pixels differ from %s, first at (%d, %d): %06X instead of %06X; after a "
                  "deliberate change to the drawing or the artwork, SOCCER_UPDATE_GOLDEN=1 "
                  "redraws it",
                  differing, goldenPath.c_str(), first % 640, first / 640,
                  unsigned(pixels[first] & 0xFFFFFF), unsigned(golden[size_t(first)]));
    return message;
}

std::string compareWithGolden(const char* name) {
    const std::string path =
        std::string(SOCCER_SOURCE_DIR) + "/tests/render/golden/" + name + ".png";
    const char* update = std::getenv("SOCCER_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        return writeFramePng(path.c_str(), graphics.frame) ? "" : "cannot write " + path;
    }
    return compareWithPng(graphics.frame, path);
}
