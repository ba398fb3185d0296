#include "app/ProgramMain.h"

int main(int argc, char** argv) {
    return mv::programMain(argc, argv);
}
