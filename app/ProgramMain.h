#pragma once
// The program: what `morvelan` does with its command line, from the first line to
// the exit code. `main` only calls it; tests call it in-process with their own
// arguments.
namespace mv {

// argv[0] is the program; the exit code is the program's (167 after a verb, the
// backup run's code after "/W").
int programMain(int argc, char** argv);

} // namespace mv
