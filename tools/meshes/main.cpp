// main.cpp -- kerv16-meshes: writes the show's BOF meshes from the description in content/meshes.txt
#include "meshes.h"
#include "tool_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

// ---- internal functions ----

static void usage(FILE* out)
{
    fprintf(out, "usage: kerv16-meshes --content FILE --fonts DIR --out DIR\n"
                 "  FILE describes the meshes (see content/meshes.txt); DIR/NAME.bof is written for each.\n");
}

// Reads "key=value" words after the first two words of a line; 0 with a message on an unknown key.
static int read_options(const char* path, int line_no, std::istringstream& words, LetterSet* set,
                        double* radius, int* rings, int* segments, int* u_repeat)
{
    std::string word;
    while (words >> word) {
        size_t eq = word.find('=');
        std::string key = word.substr(0, eq), value = eq == std::string::npos ? "" : word.substr(eq + 1);
        char* end = nullptr;
        double number = strtod(value.c_str(), &end);
        int numeric = !value.empty() && end && *end == 0;
        if (key == "files") {
            set->files.clear();
            std::istringstream names(value);
            std::string name;
            while (std::getline(names, name, ','))
                set->files.push_back(name);
            continue;
        }
        if (key == "pivot" && (value == "bottom" || value == "middle" || value == "baseline")) {
            set->pivot = value == "bottom" ? PIVOT_BOTTOM : value == "middle" ? PIVOT_MIDDLE : PIVOT_BASELINE;
            continue;
        }
        if (numeric) {
            if (key == "em") { set->em = number; continue; }
            if (key == "depth") { set->depth = number; continue; }
            if (key == "lift") { set->lift = number; continue; }
            if (key == "step") { set->step = number; continue; }
            if (key == "radius") { *radius = number; continue; }
            if (key == "rings") { *rings = (int)number; continue; }
            if (key == "segments") { *segments = (int)number; continue; }
            if (key == "urepeat") { *u_repeat = (int)number; continue; }
        }
        fprintf(stderr, "%s:%d: cannot use \"%s\"\n", path, line_no, word.c_str());
        return 0;
    }
    return 1;
}

static std::string out_path(const char* dir, const std::string& name)
{
    return std::string(dir) + "/" + name + ".bof";
}

// ---- public functions ----

int main(int argc, char** argv)
{
    const char *content, *fonts, *out;
    int status = tool_read_options(argc, argv, usage, &content, &fonts, &out);
    if (status >= 0)
        return status;
    FILE* f = fopen(content, "r");
    if (!f) {
        fprintf(stderr, "kerv16-meshes: cannot read %s\n", content);
        return 1;
    }
    std::string font;
    char buffer[1024];
    int line_no = 0, failed = 0, written = 0;
    while (!failed && fgets(buffer, sizeof buffer, f)) {
        line_no++;
        std::string line = buffer;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string kind, name;
        if (!(words >> kind))
            continue;
        if (!(words >> name)) {
            fprintf(stderr, "%s:%d: \"%s\" needs a name\n", content, line_no, kind.c_str());
            failed = 1;
            break;
        }
        LetterSet set;
        double radius = 100;
        int rings = 24, segments = 48, u_repeat = 1;
        if (!read_options(content, line_no, words, &set, &radius, &rings, &segments, &u_repeat)) {
            failed = 1;
            break;
        }
        if (kind == "font") {
            font = std::string(fonts) + "/" + name;
        } else if (kind == "letters") {
            set.glyphs = name;
            std::vector<MeshOut> meshes;
            if (set.files.size() != set.glyphs.size()) {
                fprintf(stderr, "%s:%d: %d glyphs but %d file names\n", content, line_no,
                        (int)set.glyphs.size(), (int)set.files.size());
                failed = 1;
            } else if (font.empty()) {
                fprintf(stderr, "%s:%d: no font named before the letters\n", content, line_no);
                failed = 1;
            } else if (!letters_build(font.c_str(), &set, &meshes)) {
                failed = 1;
            }
            for (size_t i = 0; !failed && i < meshes.size(); i++) {
                std::string word = "letter_" + set.files[i];
                failed = !bof_write(out_path(out, set.files[i]).c_str(), word.c_str(), &meshes[i]);
                written++;
            }
        } else if (kind == "plane64") {
            MeshOut m;
            shape_plane64(&m);
            failed = !bof_write(out_path(out, name).c_str(), "plane64", &m);
            written++;
        } else if (kind == "sky") {
            if (rings < 2 || segments < 3 || u_repeat < 1 || radius <= 0) {
                fprintf(stderr, "%s:%d: the sky needs rings >= 2, segments >= 3, urepeat >= 1, radius > 0\n",
                        content, line_no);
                failed = 1;
                break;
            }
            MeshOut m;
            shape_sky(&m, radius, rings, segments, u_repeat);
            failed = !bof_write(out_path(out, name).c_str(), "sky", &m);
            written++;
        } else {
            fprintf(stderr, "%s:%d: unknown kind \"%s\"\n", content, line_no, kind.c_str());
            failed = 1;
        }
    }
    fclose(f);
    if (!failed && !written) {
        fprintf(stderr, "kerv16-meshes: %s describes no mesh\n", content);
        failed = 1;
    }
    return failed ? 1 : 0;
}
