// adpcm2wav [options] IMAGE: WAV files from an ADPCM-B sample RAM image.
#include "adpcm2wav/Convert.h"

int main(int argc, char** argv) { return RunAdpcm2Wav(argc, argv); }
