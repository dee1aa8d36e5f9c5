// The fuzz targets' command lines: the bytes split at zero bytes into
// arguments after the program's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> fuzzArguments(const char* program, const uint8_t* data,
                                              size_t size) {
    std::vector<std::string> words(1, program);
    words.emplace_back();
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back().push_back(static_cast<char>(data[i]));
    }
    return words;
}
