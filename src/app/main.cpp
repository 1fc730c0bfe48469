// Entry point of the sondrel executable.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Sondrel 0.1.0\n");
            return 0;
        }
    }
    std::printf(
        "Sondrel 0.1.0: the audio engine (WAV files, PCM conversion, processing writer) is "
        "built; the wizard is not yet part of this build.\n");
    return 0;
}
