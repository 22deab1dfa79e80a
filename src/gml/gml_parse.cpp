// gml_parse.cpp -- GML drawings: whitespace tokens, a fixed set of tags, values into a fixed record
#include "gml/gml.h"
#include "gml/gml_local.h"
#include "platform/display.h"
#include "platform/file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

// ---- types ----

// The opening tags the reader knows, in the order of OPENERS; any other token is a value.
enum OpenerKind { OPEN_GML, OPEN_TAG, OPEN_DRAWING, OPEN_STROKE, OPEN_POINT, OPEN_X, OPEN_Y, OPEN_Z, OPEN_TIME,
                  OPEN_T, OPENER_KINDS };
static const char* const OPENERS[OPENER_KINDS] = {"<gml", "<tag>", "<drawing>", "<stroke>", "<pt>",
                                                  "<x>",  "<y>",   "<z>",       "<time>",   "<t>"};

// ---- state ----

GmlGraph* gml_target;
int gml_value_state = GML_VALUE_NONE;
static int depth;  // elements open in the recursion

// ---- internal functions ----

static int is_blank(int c) { return c == ' ' || c == '\t' || c == '\n'; }

// A read error ends the drawing as the end of the file does (a directory would otherwise never end).
static int at_end(FILE* file) { return feof(file) || ferror(file); }

// Puts c back to be read again; the stream's own buffer holds it, so no seek is needed.
static void step_back(FILE* file, int c) { ungetc(c, file); }

// Skips blanks and steps back onto the first other character; 0 when the file ends first.
static int skip_blanks(FILE* file)
{
    if (at_end(file))
        return 0;
    int c;
    do {
        c = fgetc(file);
        if (c == EOF)
            return 0;
    } while (is_blank(c));
    step_back(file, c);
    return 1;
}

// Appends while there is room; a text longer than its buffer is cut, the rest is still consumed.
static void append(char* text, int* length, int c)
{
    if (*length < GML_TEXT - 1)
        text[(*length)++] = (char)c;
    text[*length] = 0;
}

// Reads tokens until one equals close_a or close_b. 1: the closing token came; 0: the file ended first.
static int read_children(FILE* file, const char* close_a, const char* close_b)
{
    char token[GML_TEXT];
    if (at_end(file))
        return 0;
    for (;;) {
        gml_read_token(file, token);
        if (!strcmp(token, close_a) || (close_b && !strcmp(token, close_b)))
            return 1;
        gml_handle_token(file, token);
        if (at_end(file))
            return 0;
    }
}

// The field that a value in state `state` goes to; null when the record has no room for the point.
static float* value_field(int state)
{
    GmlGraph* g = gml_target;
    if (!g || g->stroke_count >= GML_STROKES)
        return nullptr;
    GmlStroke* s = &g->strokes[g->stroke_count];
    if (s->point_count >= GML_POINTS)
        return nullptr;
    if (state == GML_VALUE_TIME)
        return &s->times[s->point_count];
    return &s->points[s->point_count][state];
}

static void read_value_element(FILE* file, int state, const char* close_a, const char* close_b)
{
    gml_value_state = state;
    if (read_children(file, close_a, close_b))
        gml_value_state = GML_VALUE_NONE;
}

static void read_gml_element(FILE* file)
{
    char name[GML_TEXT], value[GML_TEXT];
    for (;;) {
        gml_read_attribute(file, name, value);
        if (gml_target && !strcmp(name, "spec")) {
            strncpy(gml_target->spec, value, sizeof gml_target->spec - 1);
            gml_target->spec[sizeof gml_target->spec - 1] = 0;
        }
        if (!name[0] || at_end(file))
            break;
    }
    read_children(file, "</gml>", nullptr);
}

static void read_stroke(FILE* file)
{
    GmlGraph* g = gml_target;
    if (g && g->stroke_count < GML_STROKES)
        g->strokes[g->stroke_count].point_count = 0;
    if (read_children(file, "</stroke>", nullptr) && g && g->stroke_count < GML_STROKES)
        g->stroke_count++;
}

static void read_point(FILE* file)
{
    if (!read_children(file, "</pt>", nullptr))
        return;
    GmlGraph* g = gml_target;
    if (g && g->stroke_count < GML_STROKES && g->strokes[g->stroke_count].point_count < GML_POINTS)
        g->strokes[g->stroke_count].point_count++;
}

static void store_value(const char* token)
{
    if (gml_value_state > GML_VALUE_TIME)
        return;
    float* field = value_field(gml_value_state);
    if (field)
        *field = (float)atof(token);
}

// ---- public functions ----

void gml_lowercase(char* text)
{
    for (; *text; text++)
        if (*text >= 'A' && *text <= 'Z')
            *text = (char)(*text - 'A' + 'a');
}

void gml_read_token(FILE* file, char token[GML_TEXT])
{
    int length = 0, c;
    token[0] = 0;
    if (!skip_blanks(file))
        return;
    for (;;) {
        c = fgetc(file);
        if (c == EOF)
            return;  // cut off by the end of the file: kept as read
        if (is_blank(c))
            break;
        if (c == '<' && length > 0) {
            step_back(file, c);
            break;
        }
        append(token, &length, c);
        if (c == '>')
            break;
    }
    gml_lowercase(token);
}

void gml_read_attribute(FILE* file, char name[GML_TEXT], char value[GML_TEXT])
{
    int n = 0, v = 0, c;
    name[0] = value[0] = 0;
    if (!skip_blanks(file))
        return;
    for (;;) {
        c = fgetc(file);
        if (c == EOF || is_blank(c))
            return;
        if (c == '>') {
            step_back(file, c);
            return;
        }
        if (c == '=')
            break;
        append(name, &n, c);
    }
    c = fgetc(file);
    if (c != '\'' && c != '"')
        return;
    for (;;) {
        c = fgetc(file);
        if (c == EOF || c == '\'' || c == '"')
            return;
        append(value, &v, c);
    }
}

void gml_handle_token(FILE* file, const char* token)
{
    char skip[GML_TEXT];
    if (!strcmp(token, "<!--")) {
        do
            gml_read_token(file, skip);
        while (strcmp(skip, "-->") && !at_end(file));
        return;
    }
    int kind = -1;
    for (int i = 0; i < OPENER_KINDS; i++)
        if (!strcmp(token, OPENERS[i]))
            kind = i;
    // Too deep a nest cannot be a drawing; it would only exhaust the stack.
    if (kind < 0 || depth >= GML_DEPTH) {
        store_value(token);
        return;
    }
    depth++;
    switch (kind) {
    case OPEN_GML: read_gml_element(file); break;
    case OPEN_TAG: read_children(file, "</tag>", nullptr); break;
    case OPEN_DRAWING: read_children(file, "</drawing>", nullptr); break;
    case OPEN_STROKE: read_stroke(file); break;
    case OPEN_POINT: read_point(file); break;
    case OPEN_X: read_value_element(file, GML_VALUE_X, "</x>", nullptr); break;
    case OPEN_Y: read_value_element(file, GML_VALUE_Y, "</y>", nullptr); break;
    case OPEN_Z: read_value_element(file, GML_VALUE_Z, "</z>", nullptr); break;
    default: read_value_element(file, GML_VALUE_TIME, "</time>", "</t>"); break;  // <time> and <t>
    }
    depth--;
}

void gml_parse(FILE* file)
{
    char token[GML_TEXT];
    gml_value_state = GML_VALUE_NONE;
    depth = 0;
    while (!at_end(file)) {
        gml_read_token(file, token);
        gml_handle_token(file, token);
    }
}

void gml_load(const char* name, GmlGraph* graph)
{
    FILE* file = file_open_data(name);
    if (!file) {
        if (errno == ENOENT)
            msg_print(stdout, "ERROR!!! %s NOT FOUND!!\n", name);
        else
            msg_print(stdout, "ERROR!!! %s: %s\n", name, file_problem());
        display_wait_key();
        return;
    }
    if (!graph) {
        msg_print(stdout, "NO GRAPH TO LOAD INTO!\n");
        fclose(file);
        display_wait_key();
        return;
    }
    gml_target = graph;
    memset(graph, 0, sizeof *graph);
    gml_parse(file);
    gml_target = nullptr;
    if (ferror(file))
        msg_print(stdout, "ERROR!!! %s: read failed; the drawing ends there\n", name);
    fclose(file);
}
