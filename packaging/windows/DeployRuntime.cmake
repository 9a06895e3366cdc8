# Run at install time: copies beside the program every DLL that the installed
# binaries (TOVRANE_BINARIES) need, directly or through one another, and that
# is found in TOVRANE_DLL_DIRS (Qt's and the MinGW run-time's). What Windows
# itself provides is not found there and stays out.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${TOVRANE_OBJDUMP})
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${TOVRANE_BINARIES}
  RESOLVED_DEPENDENCIES_VAR found
  UNRESOLVED_DEPENDENCIES_VAR system
  DIRECTORIES ${TOVRANE_DLL_DIRS}
  PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-")
foreach(dll IN LISTS found)
  file(INSTALL ${dll} DESTINATION ${CMAKE_INSTALL_PREFIX})
endforeach()
