// The window program: the toolkit calls start_program once the process has started, and its result is the
// program's exit status.
#include "ui/main_window.h"

int main() { return start_program(); }
