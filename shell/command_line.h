// The command lines of the game and its tools, all through CLI11: --help
// prints the options, a bad option gives one line that names it and status 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <ostream>
#include <string>

// Parses argv into the options `app` was given. Returns -1 to go on, 0 after
// --help or --version (printed on `out`), 2 after a bad command line (one
// line on `err`).
inline int parseCommandLine(CLI::App& app, int argc, const char* const* argv, std::ostream& out,
                            std::ostream& err) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        // A newline inside an argument is shown as a blank, to keep one line.
        const std::string& name = app.get_name();
        std::string line = name + ": " + e.what() + " (" + name + " --help lists the options)";
        for (char& c : line)
            if (c == '\n' || c == '\r') c = ' ';
        err << line << '\n';
        return 2;
    }
    return -1;
}

// Runs a tool's whole program: whatever it throws (no memory, a file that
// cannot be written, a broken option table) ends it with one line and status 1
// rather than an abort.
template <class Program> int runProgram(const char* name, Program&& program) noexcept {
    try {
        return program();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: stopped by an unknown error\n", name);
    }
    return 1;
}
