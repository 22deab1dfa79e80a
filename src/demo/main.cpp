// main.cpp -- program entry of the show
#include "demo/demo.h"

int main(int argc, char** argv) { return demo_main(argc, argv); }
