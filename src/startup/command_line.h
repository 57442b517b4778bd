// command_line.h -- splitting the program's command line into arguments.
#pragma once

// Cuts text in place into at most maxCount arguments (blanks separate; a leading double quote
// runs to the next one; a blank at the very end yields one more, empty argument). Arguments past
// maxCount are scanned but not stored. Returns the number stored.
int splitArguments(char* text, char** arguments, int maxCount);
