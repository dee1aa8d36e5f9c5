// soccer-musicgen SCOREDIR OUTDIR: writes music.xm, kick.xm and challenge.xm
// from the scores in SCOREDIR.
#include <cstdio>
#include <iostream>
#include <string>

#include "shell/command_line.h"
#include "tools/musicgen/musicgen.h"

static int writeModules(int argc, char** argv) {
    std::string scoreDir, outDir;
    CLI::App app("Writes the game's modules music.xm, kick.xm and challenge.xm from the text "
                 "scores in SCOREDIR.",
                 "soccer-musicgen");
    app.add_option("SCOREDIR", scoreDir, "the folder of the .score files")->required();
    app.add_option("OUTDIR", outDir, "where the modules go")->required();
    int status = parseCommandLine(app, argc, argv, std::cout, std::cerr);
    if (status >= 0) return status;
    std::string error;
    if (!generateModules(scoreDir, outDir, &error)) {
        std::fprintf(stderr, "soccer-musicgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    return runProgram("soccer-musicgen", [&] { return writeModules(argc, argv); });
}
