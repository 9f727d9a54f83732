// pelmora: the main window of the PostgreSQL to Access converter. No arguments.
#include "app/startup.h"

int main(int argc, char** argv) { return app::RunProgram(argc, argv); }
