# Runs inside `cmake --install`: installs Settings.ini unless the user already
# has one, and writes the desktop entry with the launcher's final path.

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(staged "$ENV{DESTDIR}${prefix}")

set(settings "${staged}/${TOVRANE_INSTALL_DIR}/Settings.ini")
if(EXISTS "${settings}")
  message(STATUS "Kept: ${settings}")
else()
  # file(INSTALL) adds DESTDIR itself.
  file(INSTALL "${TOVRANE_DATA_DIR}/Settings.ini" DESTINATION "${prefix}/${TOVRANE_INSTALL_DIR}")
endif()

# Exec is a command line: a path with blanks or shell characters is quoted,
# and the characters that are special inside the quotes are escaped. Both
# keys are string values too, where a backslash is written twice; a "%" in
# Exec is a field code unless doubled.
set(launcher "${prefix}/${TOVRANE_INSTALL_BINDIR}/tovrane")
set(exec "${launcher}")
if(exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  foreach(special "\\" "\"" "`" "$")
    string(REPLACE "${special}" "\\${special}" exec "${exec}")
  endforeach()
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" tryexec "${launcher}")

file(READ "${TOVRANE_DESKTOP_IN}" entry)
string(REPLACE "@TOVRANE_EXEC@" "${exec}" entry "${entry}")
string(REPLACE "@TOVRANE_TRYEXEC@" "${tryexec}" entry "${entry}")
set(desktop_dir "${staged}/${TOVRANE_INSTALL_DATADIR}/applications")
file(MAKE_DIRECTORY "${desktop_dir}")
file(WRITE "${desktop_dir}/tovrane.desktop" "${entry}")
message(STATUS "Installing: ${desktop_dir}/tovrane.desktop")
