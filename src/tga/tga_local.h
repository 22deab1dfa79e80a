// tga_local.h -- what the reader's two modules share: the error report
#pragma once
#include "tga/tga.h"

// Calls the reader's hook, prints "Tga:<source>:<line>: <text>" on standard error and stores the code
// in `last`. A null reader (tga_open's failed allocation) only prints.
void tga_report(TgaReader* reader, int status, const char* source, int line);

#define TGA_REPORT(reader, status) tga_report((reader), (status), __FILE__, __LINE__)
