#include <cstdio>

// Start-up stand-in until the application loop exists: boots nothing and says so.
int main(int argc, char** argv) {
    std::printf("orbilume: framework libraries linked; %d file argument(s) ignored; no application loop yet\n",
                argc > 1 ? argc - 1 : 0);
    (void)argv;
    return 0;
}
