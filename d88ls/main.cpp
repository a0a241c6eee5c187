// d88ls IMAGE: lists the disks, tracks and sector IDs of a D88 image.
#include "d88ls/ListCommand.h"

int main(int argc, char** argv) { return RunList(argc, argv); }
