// gml_local.h -- the token reader's pieces, shared by the parser and its tests
#pragma once
#include <cstdio>

enum {
    GML_TEXT = 64,    // token, attribute name and value buffers, with the terminating zero
    GML_DEPTH = 200,  // nesting of recognised elements; deeper opening tags count as plain values
};

void gml_read_token(FILE* file, char token[GML_TEXT]);
void gml_read_attribute(FILE* file, char name[GML_TEXT], char value[GML_TEXT]);
void gml_lowercase(char* text);
void gml_handle_token(FILE* file, const char* token);
