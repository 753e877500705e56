#include "console/MyConsoleSession.h"

#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return RunConsole(arguments);
}
