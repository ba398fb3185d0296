#pragma once
// The program: what `morvelan` does with its command line, from the first line to
// the exit code. `main` only calls it; tests call it in-process with their own
// arguments.
namespace mv {

// argv[0] is the program; the exit code is the program's (167 after a verb, the
// backup run's code after "/W").
int programMain(int argc, char** argv);

// Gives the parts that ask or warn without a window of their own (the shell verbs:
// deleting for good when no trash takes an item, failed copies and folders) the
// program's message boxes. programMain calls it at start.
void InstallProgramPrompts();

} // namespace mv
