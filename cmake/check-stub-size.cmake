# Prints the stub's size and fails the build when no package offset could address its end.
file(SIZE "${STUB}" size)
math(EXPR left "65536 - ${size}")
message(STATUS "velkorin.exe: ${size} bytes (${left} bytes below the 65,536-byte limit)")
if(size GREATER_EQUAL 65536)
  message(FATAL_ERROR "velkorin.exe is ${size} bytes: the stub must stay below 65,536 bytes")
endif()
