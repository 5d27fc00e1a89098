// oru: the graphical manager of the Strovane arrays.
#include "gui/COruApp.h"

int main(int argc, char** argv) {
    return oru::RunOru(argc, argv);
}
