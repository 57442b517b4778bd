// package_file.h -- checks the program's own file and loads the setup script from it.
#pragma once

enum PackageResult {
    packageLoaded,   // checksum holds; the script was inflated and walked
    packageAbsent,   // packageOffset is 0: this copy is the uninstaller
    packageFailed,   // a message has been shown; the run ends
};

// Reads the DOS header from state.selfFile, proves the file's checksum, reads the package header,
// inflates the script and hands every record to the interpreter.
PackageResult verifyPackage();
