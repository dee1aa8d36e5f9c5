// soccer-musicgen SCOREDIR OUTDIR: writes music.xm, kick.xm and challenge.xm
// from the scores in SCOREDIR.
#include "tools/musicgen/musicgen.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: soccer-musicgen SCOREDIR OUTDIR\n");
        return 2;
    }
    std::string error;
    if (!generateModules(argv[1], argv[2], &error)) {
        std::fprintf(stderr, "soccer-musicgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
