#include "shell/app.h"

#include <cstdio>

int main(int, char**)
{
    zbir::shell::WindowPort port;
    zbir::shell::App app(".", port);
    app.FoCreat();
    for (const auto& g : app.groups())
        std::printf("%s\n", g.c_str());
    return 0;
}
