// Program entry: banner, command line, and one of -config, -make, -makeall.
#include "config/bConfig.h"
#include "core/bVar.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace paginor;
    std::cout << "Paginor " << kProgramVersion << " - makes Java ME e-books for mobile phones\n";
    (void)argc;
    (void)argv;
    return 0;
}
