// variables_settling.cpp -- settling the variable values before the installation uses them.
#include "script/setup_state.h"
#include "script/text_tools.h"
#include "script/variables.h"
#include "support/heap.h"

// True when some value still holds the name of a variable (compared with case).
static bool variablesUnsettled() {
    for (int v = 0; v < listCount(&state.variableValues); ++v)
        for (int n = 0; n < listCount(&state.variableNames); ++n) {
            const char* value = listAt(&state.variableValues, v);
            const char* name = listAt(&state.variableNames, n);
            if (value && name && *name && findText(value, name, -1, true)) return true;
        }
    return false;
}

void settleVariables() {
    // Each pass resolves at least one level of nesting; more passes than variables means a cycle.
    int passes = listCount(&state.variableNames) + 1;
    do {
        for (int i = 0; i < listCount(&state.variableValues); ++i) {
            char* expanded = expandVariables(listAt(&state.variableValues, i));
            if (expanded) listSetAt(&state.variableValues, i, expanded);
            heapFree(expanded);
        }
    } while (variablesUnsettled() && --passes > 0);
}
