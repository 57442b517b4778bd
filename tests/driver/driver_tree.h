// driver_tree.h -- reading, expanding and clicking another process's tree view for the e2e driver.
#pragma once
#include <windows.h>

// Prints visible<TAB>0|1, then item<TAB>DEPTH<TAB>TICKED<TAB>TEXT for every item depth first
// (TICKED: 1 ticked, 0 not); the texts are read through memory in the tree's process.
int printTree(HWND tree);
// Expands the first item (depth first) whose text is text, as a click on its button does; false
// when there is none.
bool expandTreeItem(HWND tree, const char* text);
// Clicks the check box of the first item (depth first) whose text is text with the mouse, as a
// user does: the cursor is moved onto the item's state image and the left button pressed and
// released there (real input, so the tree and its parent see an ordinary click). False when
// there is no such item or no check box could be found beside it.
bool clickTreeCheckBox(HWND tree, const char* text);
