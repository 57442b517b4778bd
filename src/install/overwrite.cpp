// overwrite.cpp -- the overwrite rules of a file group.
#include "install/overwrite.h"

#include "format/package_format.h"

static bool timeCondition(const OverwriteFacts& f) {
    switch (f.mode) {
    case overwriteIfNewer: return f.timeOrder == 1;
    case overwriteIfNewerOrEqual: return f.timeOrder >= 0;
    case overwriteIfOlder: return f.timeOrder == -1;
    default: return false;
    }
}

static bool versionCondition(const OverwriteFacts& f) {
    int order = compareVersions(f.packaged, f.existing);
    switch (f.mode) {
    case overwriteIfNewer: return order > 0;
    case overwriteIfNewerOrEqual: return order >= 0;
    case overwriteIfOlder: return order < 0;
    default: return false;
    }
}

bool decideOverwrite(const OverwriteFacts& f) {
    if (f.mode == overwriteAlways) return true;
    if (f.mode > overwriteIfOlder) return false;  // "never", and values no builder writes
    switch (f.compareBy) {
    case compareByTime: return timeCondition(f);
    case compareByVersion: return f.existingHasVersion ? versionCondition(f) : true;
    case compareByVersionAndTime: return f.existingHasVersion ? versionCondition(f) && timeCondition(f) : timeCondition(f);
    default: return true;
    }
}
