// leftover_tree.h -- the tree of folders and files that a removal left in place: its items (full
// path at the top, bare names below), their tick state and kind, the lazy reading of a folder's
// content behind a placeholder child, and the deletion of what the user ticked.
#pragma once
#include "support/platform.h"

// Item kinds, kept as the item's parameter.
constexpr int itemFolder = 1;
constexpr int itemFile = 2;

// Adds an item for path under parent (TVI_ROOT: the full path, else its last component) after the
// parent's last child, with the path's small icon and small open icon.
HTREEITEM insertPathItem(HWND tree, const char* path, HTREEITEM parent);
// Sets an item's kind (itemFolder, itemFile).
void setItemKind(HWND tree, HTREEITEM item, int kind);
// The item's kind; 0 when it has none.
int getItemKind(HWND tree, HTREEITEM item);
// Ticks or clears an item's check box.
void setItemTicked(HWND tree, HTREEITEM item, bool ticked);
// Whether the item's check box is ticked.
bool isItemTicked(HWND tree, HTREEITEM item);
// The item's text into buffer (size characters); empty on failure.
void getItemText(HWND tree, HTREEITEM item, char* buffer, int size);
// New text: the item's full path, its ancestors' texts joined by backslashes.
char* itemPath(HWND tree, HTREEITEM item);
// Replaces the folder item's children by the folder's content on the disk: subfolders, then (with
// showFiles) files, each sorted by name and ticked as the folder is; files waiting for deletion
// at restart are left out. A subfolder with content gets a placeholder child.
void fillFolderItem(HWND tree, HTREEITEM item, bool showFiles);
// Ticks every descendant of item, and item itself when tickItself is set.
void tickDescendants(HWND tree, HTREEITEM item, bool tickItself);
// Whether any item below start, depth first, other than ignored is ticked.
bool anyTickedExcept(HWND tree, HTREEITEM start, HTREEITEM ignored);
// Deletes from the disk what is ticked below parent and removes those items; a read-only file is
// deleted only after the user agreed. Failures are not reported.
void deleteTicked(HWND tree, HTREEITEM parent);
// Turns the uninstaller window into its closing view over state.leftoverPaths (only the outermost
// folders, sorted): finish caption, explanation, the ticked tree, Select all and Delete.
void showLeftoverView(HWND page);
