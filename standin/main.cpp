// standin-site [--port N]: serves the stand-in video site on 127.0.0.1 in the
// foreground until the process is ended, after printing its web root. Beside
// the catalogue it offers the showcase movies, large and slow enough that a
// person sees their downloads progress.
#include "standin/server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

int main(int argc, char** argv) {
    unsigned long port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char* end = nullptr;
            port = std::strtoul(argv[++i], &end, 10);
            if (*end != '\0' || port > 65535) {
                std::fprintf(stderr, "standin-site: bad port %s\n", argv[i]);
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: standin-site [--port N]\n");
            return 2;
        }
    }
    try {
        standin::Server server(static_cast<std::uint16_t>(port));
        standin::AddShowcase(server);
        std::printf("Stand-in video site at %s\n", server.Root().c_str());
        std::fflush(stdout);
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "standin-site: %s\n", e.what());
        return 1;
    }
}
