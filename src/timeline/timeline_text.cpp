// timeline_text.cpp -- timeline text to tracks and back, and the .track byte layout (the track compiler)
#include "timeline/timeline_text.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- types ----

enum { LINE_WORDS = 4 };  // a line holds at most three words; the fourth only says there are too many

// Where the reader stands: the line, the tempo in force and the track keys go to.
struct Parser {
    const char* file;
    int line;
    Timeline* out;
    double bpm;          // 0 until a tempo line
    int beats_per_bar;
    double offset;       // seconds where bar 1 beat 1 falls
    int track;           // the track keys go to, -1 before the first "track" line (or after a bad one)
    int skipping;        // 1 after a "track" line that was refused: its keys are not reported again
};

// ---- state ----

static const char* const INTERPOLATION_NAMES[4] = {"step", "linear", "smooth", "ramp"};

// ---- internal functions ----

static void fail(Parser* p, const char* format, ...) __attribute__((format(printf, 2, 3)));
static void fail(Parser* p, const char* format, ...)
{
    Timeline* t = p->out;
    if (t->error_count++ >= TIMELINE_ERRORS_MAX)
        return;
    // A message too long for its slot is cut, file name first.
    char* message = t->errors[t->error_count - 1];
    int used = snprintf(message, TIMELINE_MESSAGE_MAX, "%s:%d: ", p->file, p->line);
    if (used < 0 || used >= TIMELINE_MESSAGE_MAX - 1)
        return;
    va_list args;
    va_start(args, format);
    vsnprintf(message + used, (size_t)(TIMELINE_MESSAGE_MAX - used), format, args);
    va_end(args);
}

// A number that fills the whole word.
static int parse_double(const char* s, double* out)
{
    if (!*s)
        return 0;
    char* end;
    errno = 0;
    *out = strtod(s, &end);
    return *end == 0 && errno != ERANGE;
}

static int parse_whole(const char* s, long long* out)
{
    if (!*s)
        return 0;
    char* end;
    errno = 0;
    *out = strtoll(s, &end, 10);
    return *end == 0 && errno != ERANGE;
}

// The word without its last character ("12.5s" -> "12.5"), in buf.
static const char* without_last(const char* word, char* buf)
{
    size_t n = strlen(word);
    memcpy(buf, word, n - 1);
    buf[n - 1] = 0;
    return buf;
}

static int row_from_seconds(Parser* p, double seconds, const char* token, int32_t* row)
{
    double rows = std::floor(seconds * TIMELINE_ROWS_PER_SECOND + 0.5);
    if (!std::isfinite(rows) || rows < INT32_MIN || rows > INT32_MAX) {
        fail(p, "time '%s' is out of range", token);
        return 0;
    }
    *row = (int32_t)rows;
    return 1;
}

// Rows ("40"), seconds ("12.5s", rounded to the nearest row) or bar:beat ("3:2.5", counted from 1).
static int parse_time(Parser* p, const char* token, int32_t* row)
{
    char buf[TIMELINE_WORD_MAX];
    const char* colon = strchr(token, ':');
    size_t n = strlen(token);
    if (colon) {
        long long bar;
        double beat;
        memcpy(buf, token, (size_t)(colon - token));
        buf[colon - token] = 0;
        if (!parse_whole(buf, &bar) || !parse_double(colon + 1, &beat) || !std::isfinite(beat)) {
            fail(p, "bad bar:beat time '%s'", token);
            return 0;
        }
        if (p->bpm <= 0) {
            fail(p, "bar:beat time '%s' needs a tempo line before it", token);
            return 0;
        }
        if (bar < 1 || beat < 1 || beat >= p->beats_per_bar + 1) {
            fail(p, "bar:beat time '%s': bars count from 1, beats from 1 to %d", token, p->beats_per_bar);
            return 0;
        }
        double beats = (double)(bar - 1) * p->beats_per_bar + (beat - 1);
        return row_from_seconds(p, p->offset + beats * 60.0 / p->bpm, token, row);
    }
    if (n > 0 && token[n - 1] == 's') {
        double seconds;
        if (!parse_double(without_last(token, buf), &seconds) || !std::isfinite(seconds)) {
            fail(p, "bad time in seconds '%s'", token);
            return 0;
        }
        return row_from_seconds(p, seconds, token, row);
    }
    long long r;
    if (!parse_whole(token, &r)) {
        double d;
        if (parse_double(token, &d))
            fail(p, "row '%s' must be a whole number (write %ss for seconds)", token, token);
        else
            fail(p, "bad time '%s' (a row, seconds like 12.5s, or bar:beat like 3:2)", token);
        return 0;
    }
    if (r < INT32_MIN || r > INT32_MAX) {
        fail(p, "row '%s' is out of range", token);
        return 0;
    }
    *row = (int32_t)r;
    return 1;
}

static int parse_interpolation(Parser* p, const char* token, int* type)
{
    for (int i = 0; i < 4; i++)
        if (strcmp(token, INTERPOLATION_NAMES[i]) == 0) {
            *type = i;
            return 1;
        }
    // Any signed byte is written as it is; the show holds 0 after a key of a type other than 0..3.
    long long n;
    if (parse_whole(token, &n) && n >= -128 && n <= 127) {
        *type = (int)n;
        return 1;
    }
    fail(p, "unknown interpolation '%s' (step, linear, smooth, ramp, or a number -128..127)", token);
    return 0;
}

static void parse_track_line(Parser* p, char words[][TIMELINE_WORD_MAX], int count)
{
    p->track = -1;
    p->skipping = 1;
    if (count != 2) {
        fail(p, "a track line is 'track NAME'");
        return;
    }
    Timeline* t = p->out;
    for (int i = 0; i < TIMELINE_TRACKS; i++)
        if (strcmp(words[1], SHOW_TRACK_NAMES[i]) == 0) {
            TimelineTrack* track = &t->tracks[i];
            if (track->line) {
                fail(p, "track %s is already given at line %d", words[1], track->line);
                return;  // its keys would not follow its first ones
            }
            track->line = p->line;
            track->first = t->key_count;
            p->track = i;
            p->skipping = 0;
            return;
        }
    fail(p, "unknown track '%s' (scene, part, time, var, overlay, greet)", words[1]);
}

static void parse_tempo_line(Parser* p, char words[][TIMELINE_WORD_MAX], int count)
{
    double bpm;
    long long beats = 4;
    if (count < 2 || count > 3 || !parse_double(words[1], &bpm) || !(bpm > 0 && bpm < 10000) ||
        (count == 3 && (!parse_whole(words[2], &beats) || beats < 1 || beats > 64))) {
        fail(p, "a tempo line is 'tempo BPM [BEATS_PER_BAR]' with BPM above 0 and 1 to 64 beats");
        return;
    }
    p->bpm = bpm;
    p->beats_per_bar = (int)beats;
}

static void parse_offset_line(Parser* p, char words[][TIMELINE_WORD_MAX], int count)
{
    char buf[TIMELINE_WORD_MAX];
    double seconds;
    size_t n = count == 2 ? strlen(words[1]) : 0;
    if (n == 0 || words[1][n - 1] != 's' || !parse_double(without_last(words[1], buf), &seconds) ||
        !std::isfinite(seconds)) {
        fail(p, "an offset line is 'offset SECONDS' like 'offset 0.5s'");
        return;
    }
    p->offset = seconds;
}

static void parse_key_line(Parser* p, char words[][TIMELINE_WORD_MAX], int count)
{
    if (p->track < 0) {
        if (!p->skipping)
            fail(p, "key before any 'track' line");
        return;
    }
    if (count < 2 || count > 3) {
        fail(p, "a key is 'TIME VALUE [INTERPOLATION]', found %d%s fields", count, count > 3 ? " or more" : "");
        return;
    }
    TimelineKey key = {0, 0.0f, 0, p->line};
    if (!parse_time(p, words[0], &key.row))
        return;
    char* end;
    errno = 0;
    key.value = strtof(words[1], &end);
    if (*end != 0) {
        fail(p, "bad number '%s' for the value", words[1]);
        return;
    }
    if (errno == ERANGE && std::isinf(key.value)) {
        fail(p, "value '%s' is too large for a float", words[1]);
        return;
    }
    if (!std::isfinite(key.value)) {  // "inf" and "nan" read as numbers, and the show refuses them
        fail(p, "value '%s' is not a finite number", words[1]);
        return;
    }
    if (count == 3 && !parse_interpolation(p, words[2], &key.type))
        return;
    Timeline* t = p->out;
    TimelineTrack* track = &t->tracks[p->track];
    if (track->count > 0) {
        const TimelineKey* last = &t->keys[track->first + track->count - 1];
        if (key.row <= last->row) {
            fail(p, "rows not increasing in track %s: row %d comes after row %d (line %d)", track->name, key.row,
                 last->row, last->line);
            return;
        }
    }
    if (t->key_count >= TIMELINE_KEYS_MAX) {
        fail(p, "more than %d keys in all", TIMELINE_KEYS_MAX);
        return;
    }
    t->keys[t->key_count++] = key;
    track->count++;
}

// Splits one line (comment cut off) into words; returns how many there were, counting no further
// than LINE_WORDS. A word too long to hold is reported and the line dropped (-1).
static int split_words(Parser* p, const char* line, size_t n, char words[][TIMELINE_WORD_MAX])
{
    int count = 0;
    size_t i = 0;
    while (i < n && count < LINE_WORDS) {
        while (i < n && isspace((unsigned char)line[i]))
            i++;
        size_t start = i;
        while (i < n && !isspace((unsigned char)line[i]))
            i++;
        if (i == start)
            break;
        if (i - start >= TIMELINE_WORD_MAX) {
            fail(p, "a word of %zu characters is longer than any the format has", i - start);
            return -1;
        }
        memcpy(words[count], line + start, i - start);
        words[count][i - start] = 0;
        count++;
    }
    return count;
}

static void put32(uint8_t* out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out[i] = (uint8_t)(v >> (8 * i));
}

static uint32_t get32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// ---- public functions ----

void timeline_clear(Timeline* timeline)
{
    for (int i = 0; i < TIMELINE_TRACKS; i++) {
        TimelineTrack* t = &timeline->tracks[i];
        snprintf(t->name, sizeof t->name, "%s", SHOW_TRACK_NAMES[i]);
        t->first = t->count = t->line = 0;
    }
    timeline->key_count = 0;
    timeline->bpm = 0.0;
    timeline->beats_per_bar = 4;
    timeline->offset = 0.0;
    timeline->error_count = 0;
}

int timeline_parse(const char* text, size_t size, const char* file, Timeline* out)
{
    timeline_clear(out);
    Parser p = {file, 0, out, 0.0, 4, 0.0, -1, 0};
    char words[LINE_WORDS][TIMELINE_WORD_MAX];
    size_t at = 0;
    while (at < size) {
        const char* line = text + at;
        const char* newline = (const char*)memchr(line, '\n', size - at);
        size_t n = newline ? (size_t)(newline - line) : size - at;
        at += n + 1;
        p.line++;
        const char* hash = (const char*)memchr(line, '#', n);
        if (hash)
            n = (size_t)(hash - line);
        int count = split_words(&p, line, n, words);
        if (count <= 0)
            continue;
        if (strcmp(words[0], "track") == 0)
            parse_track_line(&p, words, count);
        else if (strcmp(words[0], "tempo") == 0)
            parse_tempo_line(&p, words, count);
        else if (strcmp(words[0], "offset") == 0)
            parse_offset_line(&p, words, count);
        else
            parse_key_line(&p, words, count);
    }
    out->bpm = p.bpm;
    out->beats_per_bar = p.beats_per_bar;
    out->offset = p.offset;
    return out->error_count == 0;
}

const TimelineKey* timeline_track_keys(const Timeline* timeline, int track)
{
    return &timeline->keys[timeline->tracks[track].first];
}

size_t timeline_encode_track(const Timeline* timeline, int track, uint8_t* out, size_t capacity)
{
    const TimelineTrack* t = &timeline->tracks[track];
    size_t size = TRACK_COUNT_BYTES + (size_t)t->count * TRACK_KEY_BYTES;
    if (capacity < size)
        return 0;
    put32(out, (uint32_t)t->count);
    const TimelineKey* keys = timeline_track_keys(timeline, track);
    for (int i = 0; i < t->count; i++) {
        uint8_t* rec = out + TRACK_COUNT_BYTES + (size_t)i * TRACK_KEY_BYTES;
        uint32_t bits;
        memcpy(&bits, &keys[i].value, 4);
        put32(rec + TRACK_KEY_ROW, (uint32_t)keys[i].row);
        put32(rec + TRACK_KEY_VALUE, bits);
        rec[TRACK_KEY_TYPE] = (uint8_t)(int8_t)keys[i].type;
    }
    return size;
}

int timeline_decode_track(const uint8_t* bytes, size_t size, Timeline* timeline, int track, char* problem,
                          size_t problem_size, size_t* trailing)
{
    TimelineTrack* t = &timeline->tracks[track];
    t->first = timeline->key_count;
    t->count = 0;
    *trailing = 0;
    if (size < TRACK_COUNT_BYTES) {
        snprintf(problem, problem_size, "file too short for a key count (%zu bytes)", size);
        return 0;
    }
    int32_t n = (int32_t)get32(bytes);
    if (n < 0) {
        snprintf(problem, problem_size, "negative key count (%d)", n);
        return 0;
    }
    if ((size_t)n > (size - TRACK_COUNT_BYTES) / TRACK_KEY_BYTES) {
        snprintf(problem, problem_size, "keys truncated: key count %d needs %zu bytes, the file has %zu", n,
                 TRACK_COUNT_BYTES + (size_t)n * TRACK_KEY_BYTES, size);
        return 0;
    }
    if (n > TIMELINE_KEYS_MAX - timeline->key_count) {
        snprintf(problem, problem_size, "%d keys are more than the %d a timeline holds", n, TIMELINE_KEYS_MAX);
        return 0;
    }
    TimelineKey* keys = &timeline->keys[t->first];
    for (int32_t i = 0; i < n; i++) {
        const uint8_t* rec = bytes + TRACK_COUNT_BYTES + (size_t)i * TRACK_KEY_BYTES;
        TimelineKey* k = &keys[i];
        k->row = (int32_t)get32(rec + TRACK_KEY_ROW);
        uint32_t bits = get32(rec + TRACK_KEY_VALUE);
        memcpy(&k->value, &bits, 4);
        k->type = (int8_t)rec[TRACK_KEY_TYPE];
        k->line = 0;
        if (i > 0 && k->row <= keys[i - 1].row) {
            snprintf(problem, problem_size, "rows not strictly increasing at key %d (row %d after row %d)", i, k->row,
                     keys[i - 1].row);
            return 0;
        }
    }
    t->count = n;
    timeline->key_count += n;
    *trailing = size - TRACK_COUNT_BYTES - (size_t)n * TRACK_KEY_BYTES;
    return 1;
}

size_t timeline_format_track(const Timeline* timeline, int track, char* out, size_t capacity)
{
    const TimelineTrack* t = &timeline->tracks[track];
    if (capacity < (size_t)TIMELINE_FORMAT_LINE_MAX * ((size_t)t->count + 2))
        return 0;
    size_t used = (size_t)snprintf(out, capacity, "track %s\n", t->name);
    if (t->count == 0)
        used += (size_t)snprintf(out + used, capacity - used, "    # no keys: 0 at every row\n");
    const TimelineKey* keys = timeline_track_keys(timeline, track);
    for (int i = 0; i < t->count; i++) {
        const TimelineKey* k = &keys[i];
        char value[32], type[8];
        // The fewest digits that read back bit for bit (nine always do).
        for (int digits = 6; digits <= 9; digits++) {
            snprintf(value, sizeof value, "%.*g", digits, (double)k->value);
            float back = strtof(value, nullptr);
            if (memcmp(&back, &k->value, 4) == 0)
                break;
        }
        if (k->type >= 0 && k->type < 4)
            snprintf(type, sizeof type, "%s", INTERPOLATION_NAMES[k->type]);
        else
            snprintf(type, sizeof type, "%d", k->type);
        // The time the row stands for, as a reading aid.
        used += (size_t)snprintf(out + used, capacity - used, "    %-8d %-12s %-7s    # %.2fs\n", k->row, value, type,
                                 (double)k->row / TIMELINE_ROWS_PER_SECOND);
    }
    return used;
}

void timeline_track_name_from_path(const char* path, char* name, size_t size)
{
    const char* slash = strrchr(path, '/');
    const char* base = slash ? slash + 1 : path;
    size_t n = strlen(base);
    if (n > 6 && strcmp(base + n - 6, ".track") == 0)
        n -= 6;
    if (n >= 5 && strncmp(base, "sync_", 5) == 0) {
        base += 5;
        n -= 5;
    }
    if (n >= size)
        n = size - 1;
    memcpy(name, base, n);
    name[n] = 0;
}
