#include "cli/Commands.h"

int main(int argc, char** argv) { return sv::cli::Main(argc, argv); }
