#include <iostream>

#include "bustool.h"

int main(int argc, char** argv) {
    return bustool::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
