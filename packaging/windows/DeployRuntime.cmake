# Run at install time: copies beside the program every DLL that the installed
# binaries (TOVRANE_BINARIES) need, directly or through one another, and that
# is found in TOVRANE_DLL_DIRS (Qt's and the MinGW run-time's). What Windows
# itself provides is not found there and stays out.
#
# The lookup of a Windows binary's imports is by lower-cased name, as Windows
# ignores case, while the folders here are case-sensitive (Qt6Core.dll): it
# looks in a folder of lower-cased links (TOVRANE_DLL_NAMES_DIR) to them.
file(REMOVE_RECURSE ${TOVRANE_DLL_NAMES_DIR})
file(MAKE_DIRECTORY ${TOVRANE_DLL_NAMES_DIR})
foreach(dir IN LISTS TOVRANE_DLL_DIRS)
  file(GLOB dlls ${dir}/*.dll)
  foreach(dll IN LISTS dlls)
    get_filename_component(name ${dll} NAME)
    string(TOLOWER ${name} lower)
    # The first folder that has a DLL is the one it comes from.
    if(NOT EXISTS ${TOVRANE_DLL_NAMES_DIR}/${lower})
      file(CREATE_LINK ${dll} ${TOVRANE_DLL_NAMES_DIR}/${lower} SYMBOLIC)
    endif()
  endforeach()
endforeach()

set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${TOVRANE_OBJDUMP})
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${TOVRANE_BINARIES}
  RESOLVED_DEPENDENCIES_VAR found
  UNRESOLVED_DEPENDENCIES_VAR system
  DIRECTORIES ${TOVRANE_DLL_NAMES_DIR}
  PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
  POST_EXCLUDE_FILE_STRICT_REGEXES "^${CMAKE_INSTALL_PREFIX}/")
foreach(dll IN LISTS found)
  get_filename_component(lower ${dll} NAME)
  file(REAL_PATH ${TOVRANE_DLL_NAMES_DIR}/${lower} real)
  file(INSTALL ${real} DESTINATION ${CMAKE_INSTALL_PREFIX})
endforeach()
message(STATUS "Left to Windows: ${system}")
