// tga.cpp -- the TGA reader's open and close, status texts, sizes and the error report
#include "tga/tga_local.h"
#include "platform/msg.h"
#include "platform/file.h"

#include <cstdlib>
#include <cstring>

// ---- state ----

static const char* const STATUS_TEXT[] = {
    "Success", "Error", "Out of memory", "Failed to open file",
    "Seek failed", "Read failed", "Write failed", "Unknown sub-format",
};
enum { STATUS_COUNT = sizeof STATUS_TEXT / sizeof STATUS_TEXT[0] };

// ---- public functions ----

void tga_report(TgaReader* reader, int status, const char* source, int line)
{
    if (reader && reader->error_hook)
        reader->error_hook(reader, status);
    // The report names the module, not the build machine's path to it.
    const char* base = strrchr(source, '/');
    msg_print(stderr, "Tga:%s:%d: %s\n", base ? base + 1 : source, line, tga_status_text(status));
    if (reader)
        reader->last = status;
}

TgaReader* tga_open(const char* name, const char* mode)
{
    TgaReader* reader = (TgaReader*)calloc(1, sizeof(TgaReader));
    if (!reader) {
        TGA_REPORT(nullptr, TGA_OUT_OF_MEMORY);
        return nullptr;
    }
    reader->offset = 0;
    reader->error_hook = nullptr;
    // Pictures are only ever read: regular files only, and a FIFO never holds the open.
    FILE* file = name && mode ? (mode[0] == 'r' ? file_open_data(name) : fopen(name, mode)) : nullptr;
    if (!file) {
        TGA_REPORT(reader, TGA_OPEN_FAILED);
        free(reader);
        return nullptr;
    }
    reader->file = file;
    reader->last = TGA_SUCCESS;
    return reader;
}

void tga_close(TgaReader* reader)
{
    if (!reader)
        return;
    if (reader->file)
        fclose(reader->file);
    free(reader);
}

const char* tga_status_text(int status)
{
    return status >= 0 && status < STATUS_COUNT ? STATUS_TEXT[status] : "Error";
}

int tga_pixel_bytes(int bits) { return (bits + 7) / 8; }

int tga_row_bytes(const TgaHeader* header) { return header->width * tga_pixel_bytes(header->depth); }

void tga_free_data(TgaData* data)
{
    free(data->id_field);
    free(data->colour_map);
    free(data->pixels);
    data->id_field = data->colour_map = data->pixels = nullptr;
}
