// timeline_text.cpp -- timeline text to tracks and back, and the .track byte layout (track compiler)
#include "timeline_text.h"

#include <cerrno>
#include <cstdarg>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- state ----


static const char* const INTERPOLATION_NAMES[4] = {"step", "linear", "smooth", "ramp"};

// ---- internal functions ----

namespace {

struct Parser {
    const char* file;
    int line;
    std::vector<std::string>* errors;
    double bpm;          // 0 until a tempo line
    int beats_per_bar;
    double offset;       // seconds where bar 1 beat 1 falls
    TimelineTrack* track;  // the track keys go to, null before the first "track" line
};

void fail(Parser* p, const char* format, ...) __attribute__((format(printf, 2, 3)));
void fail(Parser* p, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char full[700];
    snprintf(full, sizeof full, "%s:%d: %s", p->file, p->line, text);
    p->errors->push_back(full);
}

// A number that fills the whole token.
bool parse_double(const std::string& s, double* out)
{
    if (s.empty())
        return false;
    char* end;
    errno = 0;
    *out = strtod(s.c_str(), &end);
    return *end == 0 && errno != ERANGE;
}

bool parse_whole(const std::string& s, long long* out)
{
    if (s.empty())
        return false;
    char* end;
    errno = 0;
    *out = strtoll(s.c_str(), &end, 10);
    return *end == 0 && errno != ERANGE;
}

bool row_from_seconds(Parser* p, double seconds, const std::string& token, int32_t* row)
{
    double rows = std::floor(seconds * TIMELINE_ROWS_PER_SECOND + 0.5);
    if (!std::isfinite(rows) || rows < INT32_MIN || rows > INT32_MAX) {
        fail(p, "time '%s' is out of range", token.c_str());
        return false;
    }
    *row = (int32_t)rows;
    return true;
}

// Rows ("40"), seconds ("12.5s", rounded to the nearest row) or bar:beat ("3:2.5", counted from 1).
bool parse_time(Parser* p, const std::string& token, int32_t* row)
{
    size_t colon = token.find(':');
    if (colon != std::string::npos) {
        long long bar;
        double beat;
        if (!parse_whole(token.substr(0, colon), &bar) || !parse_double(token.substr(colon + 1), &beat) ||
            !std::isfinite(beat)) {
            fail(p, "bad bar:beat time '%s'", token.c_str());
            return false;
        }
        if (p->bpm <= 0) {
            fail(p, "bar:beat time '%s' needs a tempo line before it", token.c_str());
            return false;
        }
        if (bar < 1 || beat < 1 || beat >= p->beats_per_bar + 1) {
            fail(p, "bar:beat time '%s': bars count from 1, beats from 1 to %d", token.c_str(), p->beats_per_bar);
            return false;
        }
        double beats = (double)(bar - 1) * p->beats_per_bar + (beat - 1);
        return row_from_seconds(p, p->offset + beats * 60.0 / p->bpm, token, row);
    }
    if (!token.empty() && token.back() == 's') {
        double seconds;
        if (!parse_double(token.substr(0, token.size() - 1), &seconds) || !std::isfinite(seconds)) {
            fail(p, "bad time in seconds '%s'", token.c_str());
            return false;
        }
        return row_from_seconds(p, seconds, token, row);
    }
    long long r;
    if (!parse_whole(token, &r)) {
        double d;
        if (parse_double(token, &d))
            fail(p, "row '%s' must be a whole number (write %ss for seconds)", token.c_str(), token.c_str());
        else
            fail(p, "bad time '%s' (a row, seconds like 12.5s, or bar:beat like 3:2)", token.c_str());
        return false;
    }
    if (r < INT32_MIN || r > INT32_MAX) {
        fail(p, "row '%s' is out of range", token.c_str());
        return false;
    }
    *row = (int32_t)r;
    return true;
}

bool parse_interpolation(Parser* p, const std::string& token, int* type)
{
    for (int i = 0; i < 4; i++)
        if (token == INTERPOLATION_NAMES[i]) {
            *type = i;
            return true;
        }
    // Any signed byte is written as it is; the show holds 0 after a key of a type other than 0..3.
    long long n;
    if (parse_whole(token, &n) && n >= -128 && n <= 127) {
        *type = (int)n;
        return true;
    }
    fail(p, "unknown interpolation '%s' (step, linear, smooth, ramp, or a number -128..127)", token.c_str());
    return false;
}

void parse_track_line(Parser* p, const std::vector<std::string>& words, Timeline* out)
{
    if (words.size() != 2) {
        fail(p, "a track line is 'track NAME'");
        return;
    }
    p->track = nullptr;
    for (int i = 0; i < TIMELINE_TRACKS; i++)
        if (words[1] == TIMELINE_TRACK_NAMES[i]) {
            TimelineTrack* t = &out->tracks[i];
            if (t->line)
                fail(p, "track %s is already given at line %d", words[1].c_str(), t->line);
            else
                t->line = p->line;
            p->track = t;
            return;
        }
    fail(p, "unknown track '%s' (scene, part, time, var, overlay, greet)", words[1].c_str());
}

void parse_tempo_line(Parser* p, const std::vector<std::string>& words)
{
    double bpm;
    long long beats = 4;
    if (words.size() < 2 || words.size() > 3 || !parse_double(words[1], &bpm) || !(bpm > 0 && bpm < 10000) ||
        (words.size() == 3 && (!parse_whole(words[2], &beats) || beats < 1 || beats > 64))) {
        fail(p, "a tempo line is 'tempo BPM [BEATS_PER_BAR]' with BPM above 0 and 1 to 64 beats");
        return;
    }
    p->bpm = bpm;
    p->beats_per_bar = (int)beats;
}

void parse_offset_line(Parser* p, const std::vector<std::string>& words)
{
    double seconds;
    if (words.size() != 2 || words[1].empty() || words[1].back() != 's' ||
        !parse_double(words[1].substr(0, words[1].size() - 1), &seconds) || !std::isfinite(seconds)) {
        fail(p, "an offset line is 'offset SECONDS' like 'offset 0.5s'");
        return;
    }
    p->offset = seconds;
}

void parse_key_line(Parser* p, const std::vector<std::string>& words)
{
    if (!p->track) {
        if (p->errors->empty() || p->errors->back().find("unknown track") == std::string::npos)
            fail(p, "key before any 'track' line");
        return;
    }
    if (words.size() < 2 || words.size() > 3) {
        fail(p, "a key is 'TIME VALUE [INTERPOLATION]', found %zu fields", words.size());
        return;
    }
    TimelineKey key = {0, 0.0f, 0, p->line};
    if (!parse_time(p, words[0], &key.row))
        return;
    char* end;
    errno = 0;
    key.value = strtof(words[1].c_str(), &end);
    if (*end != 0) {
        fail(p, "bad number '%s' for the value", words[1].c_str());
        return;
    }
    if (errno == ERANGE && std::isinf(key.value)) {
        fail(p, "value '%s' is too large for a float", words[1].c_str());
        return;
    }
    if (!std::isfinite(key.value)) {  // "inf" and "nan" read as numbers, and the show refuses them
        fail(p, "value '%s' is not a finite number", words[1].c_str());
        return;
    }
    if (words.size() == 3 && !parse_interpolation(p, words[2], &key.type))
        return;
    std::vector<TimelineKey>& keys = p->track->keys;
    if (!keys.empty() && key.row <= keys.back().row) {
        fail(p, "rows not increasing in track %s: row %d comes after row %d (line %d)", p->track->name.c_str(),
             key.row, keys.back().row, keys.back().line);
        return;
    }
    keys.push_back(key);
}

std::vector<std::string> split_words(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isspace((unsigned char)line[i]))
            i++;
        size_t start = i;
        while (i < line.size() && !isspace((unsigned char)line[i]))
            i++;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

void put32(std::vector<uint8_t>* out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out->push_back((uint8_t)(v >> (8 * i)));
}

uint32_t get32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

}  // namespace

// ---- public functions ----

int timeline_parse(const std::string& text, const char* file, Timeline* out, std::vector<std::string>* errors)
{
    size_t first_error = errors->size();
    for (int i = 0; i < TIMELINE_TRACKS; i++)
        out->tracks[i] = TimelineTrack{TIMELINE_TRACK_NAMES[i], {}, 0};
    Parser p = {file, 0, errors, 0.0, 4, 0.0, nullptr};
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        p.line++;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::vector<std::string> words = split_words(line);
        if (words.empty())
            continue;
        if (words[0] == "track")
            parse_track_line(&p, words, out);
        else if (words[0] == "tempo")
            parse_tempo_line(&p, words);
        else if (words[0] == "offset")
            parse_offset_line(&p, words);
        else
            parse_key_line(&p, words);
    }
    return errors->size() == first_error;
}

std::vector<uint8_t> timeline_encode_track(const TimelineTrack& track)
{
    std::vector<uint8_t> out;
    put32(&out, (uint32_t)track.keys.size());
    for (const TimelineKey& k : track.keys) {
        put32(&out, (uint32_t)k.row);
        uint32_t bits;
        memcpy(&bits, &k.value, 4);
        put32(&out, bits);
        out.push_back((uint8_t)(int8_t)k.type);
    }
    return out;
}

int timeline_decode_track(const uint8_t* bytes, size_t size, TimelineTrack* track, std::string* problem,
                          size_t* trailing)
{
    track->keys.clear();
    *trailing = 0;
    if (size < TRACK_COUNT_BYTES) {
        *problem = "file too short for a key count (" + std::to_string(size) + " bytes)";
        return 0;
    }
    int32_t n = (int32_t)get32(bytes);
    if (n < 0) {
        *problem = "negative key count (" + std::to_string(n) + ")";
        return 0;
    }
    if ((size_t)n > (size - TRACK_COUNT_BYTES) / TRACK_KEY_BYTES) {
        *problem = "keys truncated: key count " + std::to_string(n) + " needs " +
                   std::to_string(TRACK_COUNT_BYTES + (size_t)n * TRACK_KEY_BYTES) + " bytes, the file has " + std::to_string(size);
        return 0;
    }
    for (int32_t i = 0; i < n; i++) {
        const uint8_t* rec = bytes + TRACK_COUNT_BYTES + (size_t)i * TRACK_KEY_BYTES;
        TimelineKey k;
        k.row = (int32_t)get32(rec + TRACK_KEY_ROW);
        uint32_t bits = get32(rec + TRACK_KEY_VALUE);
        memcpy(&k.value, &bits, 4);
        k.type = (int8_t)rec[TRACK_KEY_TYPE];
        k.line = 0;
        if (i > 0 && k.row <= track->keys.back().row) {
            *problem = "rows not strictly increasing at key " + std::to_string(i) + " (row " + std::to_string(k.row) +
                       " after row " + std::to_string(track->keys.back().row) + ")";
            track->keys.clear();
            return 0;
        }
        track->keys.push_back(k);
    }
    *trailing = size - TRACK_COUNT_BYTES - (size_t)n * TRACK_KEY_BYTES;
    return 1;
}

std::string timeline_format_track(const TimelineTrack& track)
{
    std::string out = "track " + track.name + "\n";
    if (track.keys.empty())
        out += "    # no keys: 0 at every row\n";
    for (const TimelineKey& k : track.keys) {
        char value[32], line[128], type[8];
        // The fewest digits that read back bit for bit (nine always do).
        for (int digits = 6; digits <= 9; digits++) {
            snprintf(value, sizeof value, "%.*g", digits, (double)k.value);
            float back = strtof(value, nullptr);
            if (memcmp(&back, &k.value, 4) == 0)
                break;
        }
        if (k.type >= 0 && k.type < 4)
            snprintf(type, sizeof type, "%s", INTERPOLATION_NAMES[k.type]);
        else
            snprintf(type, sizeof type, "%d", k.type);
        snprintf(line, sizeof line, "    %-8d %-12s %-7s", k.row, value, type);
        out += line;
        // The time the row stands for, as a reading aid.
        snprintf(line, sizeof line, "    # %.2fs\n", (double)k.row / TIMELINE_ROWS_PER_SECOND);
        out += line;
    }
    return out;
}

std::string timeline_track_name_from_path(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 6 && name.compare(name.size() - 6, 6, ".track") == 0)
        name.resize(name.size() - 6);
    if (name.compare(0, 5, "sync_") == 0)
        name = name.substr(5);
    return name;
}
