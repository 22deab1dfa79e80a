// song.cpp -- reads the arrangement text: tempo, drum and bass patterns, melodies, sections
#include "music.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- internal functions ----

static const char* const INSTRUMENT_NAMES[INS_COUNT] = {"rain", "pad", "bass", "kick", "snare",
                                                        "hat",  "ohat", "lead", "arp"};

static int fail(const char* path, int line, const char* problem, const char* what)
{
    fprintf(stderr, "%s:%d: %s%s%s\n", path, line, problem, what ? ": " : "", what ? what : "");
    return 0;
}

// Pitch class of "A", "C#", "Bb"; the number of characters read goes to *used. -1 when not a note name.
static int pitch_class(const char* t, int* used)
{
    static const int BASE[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (t[0] < 'A' || t[0] > 'G')
        return -1;
    int n = BASE[t[0] - 'A'];
    *used = 1;
    if (t[1] == '#')
        n++, (*used)++;
    else if (t[1] == 'b')
        n--, (*used)++;
    return (n + 12) % 12;
}

// "A4", "C#5", "Bb3" -> MIDI note (A4 = 69); -1 when not a note.
static int parse_note(const char* t)
{
    int used, pc = pitch_class(t, &used);
    if (pc < 0 || t[used] < '0' || t[used] > '8' || t[used + 1])
        return -1;
    // B# and Cb cross the octave boundary by their letter, not their pitch class.
    int octave = t[used] - '0';
    if (t[0] == 'B' && t[1] == '#')
        octave++;
    if (t[0] == 'C' && t[1] == 'b')
        octave--;
    return 12 * (octave + 1) + pc;
}

// "Am", "F", "C#m" -> chord; 0 when not a chord.
static int parse_chord(const char* t, Chord* c)
{
    int used, pc = pitch_class(t, &used);
    if (pc < 0)
        return 0;
    if (!t[used])
        c->minor = 0;
    else if (!strcmp(t + used, "m"))
        c->minor = 1;
    else
        return 0;
    c->root = pc;
    return 1;
}

static const Pattern* find_pattern(const Song* s, const char* name)
{
    for (int i = 0; i < s->pattern_count; i++)
        if (!strcmp(s->patterns[i].name, name))
            return &s->patterns[i];
    return nullptr;
}

static const Melody* find_melody(const Song* s, const char* name)
{
    for (int i = 0; i < s->melody_count; i++)
        if (!strcmp(s->melodies[i].name, name))
            return &s->melodies[i];
    return nullptr;
}

static int instrument_of(const char* name)
{
    for (int i = 0; i < INS_COUNT; i++)
        if (!strcmp(INSTRUMENT_NAMES[i], name))
            return i;
    return -1;
}

// "kick=kick_four:0.7", "pad=0.5", "lead=theme" into the section's part.
static int parse_part(const Song* s, Section* sec, char* word, const char* path, int line)
{
    char* eq = strchr(word, '=');
    if (!eq)
        return fail(path, line, "expected instrument=level or instrument=name", word);
    *eq = 0;
    int ins = instrument_of(word);
    if (ins < 0)
        return fail(path, line, "unknown instrument", word);
    Part* p = &sec->parts[ins];
    p->on = 1;
    p->level = 1.0f;
    char* value = eq + 1;
    char* colon = strchr(value, ':');
    char* level_text = colon ? colon + 1 : value;
    if (colon)
        *colon = 0;
    char* end;
    float level = strtof(level_text, &end);
    int is_number = end != level_text && !*end;
    if (is_number && (level < 0 || level > 1))
        return fail(path, line, "level must be a number from 0 to 1", level_text);
    if (colon && !is_number)
        return fail(path, line, "level must be a number from 0 to 1", level_text);
    if (is_number)
        p->level = level;
    if (!colon && is_number)
        return ins == INS_PAD || ins == INS_RAIN ? 1 : fail(path, line, "needs a pattern or melody name", word);
    p->pattern = find_pattern(s, value);
    p->melody = find_melody(s, value);
    int wants_melody = ins == INS_LEAD;
    int wants_pattern = ins != INS_LEAD && ins != INS_PAD && ins != INS_RAIN;
    if ((wants_melody && !p->melody) || (wants_pattern && !p->pattern) || (!wants_melody && !wants_pattern))
        return fail(path, line, wants_melody ? "unknown melody" : wants_pattern ? "unknown pattern" : "takes a level", value);
    return 1;
}

// ---- public functions ----

int song_load(const char* path, Song* song)
{
    FILE* f = fopen(path, "r");
    if (!f)
        return fail(path, 0, "cannot open", nullptr);
    memset(song, 0, sizeof *song);
    song->tempo = 120;
    char text[4096];
    int line = 0, ok = 1;
    while (ok && fgets(text, sizeof text, f)) {
        line++;
        if (char* hash = strchr(text, '#'))
            *hash = 0;
        char* words[512];
        int n = 0;
        for (char* w = strtok(text, " \t\r\n"); w && n < 512; w = strtok(nullptr, " \t\r\n"))
            words[n++] = w;
        if (n == 0)
            continue;
        if (!strcmp(words[0], "tempo") && n == 2) {
            song->tempo = atof(words[1]);
            if (song->tempo < 40 || song->tempo > 300)
                ok = fail(path, line, "tempo must lie between 40 and 300", words[1]);
        } else if (!strcmp(words[0], "pattern") && n == 3) {
            if (song->pattern_count == MAX_PATTERNS || strlen(words[1]) >= MAX_NAME)
                ok = fail(path, line, "too many patterns or name too long", words[1]);
            else if (strlen(words[2]) != STEPS_PER_BAR)
                ok = fail(path, line, "a pattern has 16 steps", words[2]);
            else {
                Pattern* p = &song->patterns[song->pattern_count++];
                strcpy(p->name, words[1]);
                strcpy(p->steps, words[2]);
            }
        } else if (!strcmp(words[0], "melody") && n >= 3) {
            if (song->melody_count == MAX_MELODIES || strlen(words[1]) >= MAX_NAME) {
                ok = fail(path, line, "too many melodies or name too long", words[1]);
                continue;
            }
            Melody* m = &song->melodies[song->melody_count++];
            strcpy(m->name, words[1]);
            for (int i = 2; ok && i < n; i++) {
                if (!strcmp(words[i], "|"))
                    continue;
                int note = !strcmp(words[i], "-") ? MELODY_HOLD : !strcmp(words[i], ".") ? MELODY_REST : parse_note(words[i]);
                if (note == -1)
                    ok = fail(path, line, "not a note, - or .", words[i]);
                else if (m->count == MAX_MELODY_STEPS)
                    ok = fail(path, line, "melody too long", words[1]);
                else
                    m->steps[m->count++] = note;
            }
        } else if (!strcmp(words[0], "section") && n >= 4) {
            if (song->section_count == MAX_SECTIONS) {
                ok = fail(path, line, "too many sections", nullptr);
                continue;
            }
            Section* sec = &song->sections[song->section_count++];
            snprintf(sec->name, sizeof sec->name, "%s", words[1]);
            sec->bars = atoi(words[2]);
            if (sec->bars < 1 || sec->bars > 1000)
                ok = fail(path, line, "bars must be a whole number from 1", words[2]);
            for (int i = 3; ok && i < n; i++) {
                Chord c;
                if (parse_chord(words[i], &c)) {
                    if (sec->chord_count == MAX_CHORDS)
                        ok = fail(path, line, "too many chords", words[i]);
                    else
                        sec->chords[sec->chord_count++] = c;
                } else if (!strcmp(words[i], "rise"))
                    sec->rise = 1;
                else if (!strcmp(words[i], "swell"))
                    sec->swell = 1;
                else if (!strcmp(words[i], "fade"))
                    sec->fade = 1;
                else
                    ok = parse_part(song, sec, words[i], path, line);
            }
            if (ok && sec->chord_count == 0)
                ok = fail(path, line, "a section needs at least one chord", sec->name);
        } else {
            ok = fail(path, line, "unknown line", words[0]);
        }
    }
    fclose(f);
    if (ok && song->section_count == 0)
        ok = fail(path, line, "no sections", nullptr);
    return ok;
}

int song_bars(const Song* song)
{
    int bars = 0;
    for (int i = 0; i < song->section_count; i++)
        bars += song->sections[i].bars;
    return bars;
}
