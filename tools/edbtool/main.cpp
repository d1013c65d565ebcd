#include <iostream>

#include "edbtool.h"
#include "platform.h"

int main(int argc, char** argv) {
    edbtool::useBinaryStandardStreams();
    std::ios::sync_with_stdio(false);
    return edbtool::run(edbtool::commandLineArguments(argc, argv), std::cout, std::cerr);
}
