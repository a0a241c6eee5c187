// d88adpcm IMAGE: extracts the ADPCM tracks of a D88 disk image.
#include "tool/Tool.h"

int main(int argc, char** argv) { return RunAdpcm(argc, argv); }
