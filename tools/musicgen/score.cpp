// The text score: a header of key lines, the instrument table, then each
// pattern as one text line per row, channels separated by '|', every cell
// written as a tracker shows it:
//
//   note  instrument  volume column  effect
//   C#5   01          40             F05
//   ---   ..          ..             ...      (empty)
//   ===                                       (key off)
//
// Instruments are decimal, the volume column is its raw byte in hex (10 ... 50
// set the volume to 0 ... 64), effects are one digit (0-9, A-Z as in XM
// trackers) and a hex parameter.
#include "tools/musicgen/musicgen.h"

#include <cstdlib>
#include <sstream>

namespace {

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses a whole decimal number in [low, high]; false if it is not one.
bool parseNumber(const std::string& word, int low, int high, int* value) {
    if (word.empty() || word.size() > 6) return false;
    size_t start = word[0] == '-' ? 1 : 0;
    if (start == word.size()) return false;
    for (size_t i = start; i < word.size(); i++)
        if (word[i] < '0' || word[i] > '9') return false;
    int n = std::atoi(word.c_str());
    if (n < low || n > high) return false;
    *value = n;
    return true;
}

bool parseHexByte(const std::string& word, int* value) {
    if (word.size() != 2 || hexDigit(word[0]) < 0 || hexDigit(word[1]) < 0) return false;
    *value = hexDigit(word[0]) * 16 + hexDigit(word[1]);
    return true;
}

bool parseNote(const std::string& word, uint8_t* note) {
    if (word == "---") {
        *note = 0;
        return true;
    }
    if (word == "===") {
        *note = 97;
        return true;
    }
    static const char names[] = "C-C#D-D#E-F-F#G-G#A-A#B-";
    if (word.size() != 3 || word[2] < '0' || word[2] > '7') return false;
    for (int semitone = 0; semitone < 12; semitone++) {
        if (word[0] == names[semitone * 2] && word[1] == names[semitone * 2 + 1]) {
            *note = uint8_t((word[2] - '0') * 12 + semitone + 1);
            return true;
        }
    }
    return false;
}

bool parseCell(const std::string& text, ScoreCell* cell) {
    std::vector<std::string> w = splitWords(text);
    if (w.size() != 4) return false;
    *cell = ScoreCell{};
    if (!parseNote(w[0], &cell->note)) return false;
    int value = 0;
    if (w[1] != "..") {
        if (w[1].size() != 2 || !parseNumber(w[1], 1, 99, &value)) return false;
        cell->instrument = uint8_t(value);
    }
    if (w[2] != "..") {
        if (!parseHexByte(w[2], &value) || value < 0x10) return false;
        cell->volume = uint8_t(value);
    }
    if (w[3] != "...") {
        char kind = w[3][0];
        int effect = kind >= 'G' && kind <= 'Z' ? kind - 'A' + 10 : hexDigit(kind);
        if (w[3].size() != 3 || effect < 0 || !parseHexByte(w[3].substr(1), &value)) return false;
        cell->effect = uint8_t(effect);
        cell->parameter = uint8_t(value);
    }
    return true;
}

// One setting of an instrument line at w[i]: a key and its value, or split
// with a note and a pan. Returns the words used, 0 for a fault.
size_t parseInstrumentSetting(const std::vector<std::string>& w, size_t i, ScoreInstrument* in) {
    if (i + 1 >= w.size()) return 0;
    const std::string& key = w[i];
    const std::string& value = w[i + 1];
    if (key == "split") {
        uint8_t note = 0;
        bool ok = i + 2 < w.size() && parseNote(value, &note) && note >= 2 && note <= 96 &&
                  parseNumber(w[i + 2], 0, 255, &in->splitPan);
        in->splitNote = note;
        return ok ? 3 : 0;
    }
    bool ok = false;
    if (key == "volume") ok = parseNumber(value, 0, 64, &in->volume);
    if (key == "pan") ok = parseNumber(value, 0, 255, &in->pan);
    if (key == "relnote") ok = parseNumber(value, -96, 95, &in->relativeNote);
    if (key == "finetune") ok = parseNumber(value, -128, 127, &in->finetune);
    return ok ? 2 : 0;
}

// instrument N VOICE [volume V] [pan P] [relnote R] [finetune F] [split NOTE PAN] "name"
bool parseInstrument(const std::string& line, Score* score) {
    size_t quote = line.find('"');
    size_t endQuote = quote == std::string::npos ? quote : line.find('"', quote + 1);
    if (endQuote == std::string::npos || endQuote + 1 != line.size() || endQuote - quote > 23)
        return false;
    std::vector<std::string> w = splitWords(line.substr(0, quote));
    int number = 0;
    if (w.size() < 3 || !parseNumber(w[1], 1, 128, &number) ||
        number != int(score->instruments.size()) + 1)
        return false;
    ScoreInstrument in{line.substr(quote + 1, endQuote - quote - 1), w[2], 64, 128, 0, 0, 0, 128};
    for (size_t i = 3, used = 0; i < w.size(); i += used) {
        used = parseInstrumentSetting(w, i, &in);
        if (used == 0) return false;
    }
    score->instruments.push_back(in);
    return true;
}

bool parseHeaderLine(const std::vector<std::string>& w, const std::string& line, Score* score) {
    const std::string& key = w[0];
    if (key == "title") {
        size_t quote = line.find('"');
        if (quote == std::string::npos || line.back() != '"' || line.size() - quote - 2 > 20)
            return false;
        score->title = line.substr(quote + 1, line.size() - quote - 2);
        return true;
    }
    if (key == "order") {
        score->orders.clear();
        for (size_t i = 1; i < w.size(); i++) {
            int pattern = 0;
            if (!parseNumber(w[i], 0, 255, &pattern)) return false;
            score->orders.push_back(pattern);
        }
        return !score->orders.empty() && score->orders.size() <= 256;
    }
    if (w.size() != 2) return false;
    if (key == "channels") return parseNumber(w[1], 1, 32, &score->channels);
    if (key == "speed") return parseNumber(w[1], 1, 31, &score->speed);
    if (key == "bpm") return parseNumber(w[1], 32, 255, &score->bpm);
    if (key == "restart") return parseNumber(w[1], 0, 255, &score->restart);
    return false;
}

bool parseRow(const std::string& line, const Score& score, ScorePattern* pattern) {
    std::istringstream in(line);
    std::string number;
    int row = 0;
    in >> number;
    if (!parseNumber(number, 0, 255, &row) || row != int(pattern->cells.size()) / score.channels)
        return false;
    std::string rest;
    std::getline(in, rest);
    std::istringstream cells(rest);
    std::string text;
    int channel = 0;
    while (std::getline(cells, text, '|')) {
        ScoreCell cell{};
        if (channel == score.channels || !parseCell(text, &cell)) return false;
        if (cell.instrument > score.instruments.size()) return false;
        pattern->cells.push_back(cell);
        channel++;
    }
    return channel == score.channels;
}

bool fail(std::string* error, int line, const std::string& why) {
    *error = "line " + std::to_string(line) + ": " + why;
    return false;
}

} // namespace

bool parseScore(const std::string& text, Score* score, std::string* error) {
    *score = Score{"", 0, 6, 125, 0, {}, {}, {}};
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    ScorePattern* pattern = nullptr;
    while (std::getline(in, line)) {
        lineNumber++;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        std::vector<std::string> w = splitWords(line);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0][0] >= '0' && w[0][0] <= '9') {
            if (pattern == nullptr || int(pattern->cells.size()) == pattern->rows * score->channels)
                return fail(error, lineNumber, "row outside a pattern or past its end");
            if (!parseRow(line, *score, pattern)) return fail(error, lineNumber, "bad row");
        } else if (w[0] == "pattern") {
            int number = 0, rows = 0;
            if (pattern != nullptr && int(pattern->cells.size()) != pattern->rows * score->channels)
                return fail(error, lineNumber, "previous pattern is short of rows");
            if (score->channels == 0 || w.size() != 4 || w[2] != "rows" ||
                !parseNumber(w[1], 0, 255, &number) || number != int(score->patterns.size()) ||
                !parseNumber(w[3], 1, 256, &rows))
                return fail(error, lineNumber, "bad pattern header");
            score->patterns.push_back(ScorePattern{rows, {}});
            pattern = &score->patterns.back();
        } else if (pattern != nullptr) {
            return fail(error, lineNumber, "header line after the patterns");
        } else if (w[0] == "instrument") {
            if (!parseInstrument(line, score)) return fail(error, lineNumber, "bad instrument");
        } else if (!parseHeaderLine(w, line, score)) {
            return fail(error, lineNumber, "bad line");
        }
    }
    if (pattern == nullptr || int(pattern->cells.size()) != pattern->rows * score->channels)
        return fail(error, lineNumber, "the last pattern is short of rows");
    if (score->orders.empty() || score->restart >= int(score->orders.size()))
        return fail(error, lineNumber, "missing order list or restart beyond it");
    for (int order : score->orders) {
        if (order >= int(score->patterns.size()))
            return fail(error, lineNumber, "order names a missing pattern");
    }
    return true;
}
