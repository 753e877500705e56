#include "program/Program.h"

#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    return RunProgram(JoinCommandLine(std::vector<std::string_view>(argv + 1, argv + argc)));
}
