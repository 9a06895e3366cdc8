# Runs inside the package's install (component "deb"): renders the icon at
# the sizes desktops look for, and compresses the man page and the changelog
# as Debian keeps them.

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(share "$ENV{DESTDIR}${prefix}/${TOVRANE_INSTALL_DATADIR}")

if(NOT TOVRANE_RSVG_CONVERT)
  find_program(TOVRANE_RSVG_CONVERT rsvg-convert)
  if(NOT TOVRANE_RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) is needed to render the icons")
  endif()
endif()
foreach(size 16 22 24 32 48 64 128 256)
  set(dir "${share}/icons/hicolor/${size}x${size}/apps")
  file(MAKE_DIRECTORY "${dir}")
  execute_process(COMMAND "${TOVRANE_RSVG_CONVERT}" --width=${size} --height=${size} --keep-aspect-ratio
                          --output "${dir}/tovrane.png" "${TOVRANE_SVG}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "rsvg-convert could not render ${dir}/tovrane.png")
  endif()
  message(STATUS "Installing: ${dir}/tovrane.png")
endforeach()

# -n: no name or time stamp in the archive, so the same text packs the same.
function(install_gzipped source destination)
  get_filename_component(dir "${destination}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  execute_process(COMMAND gzip -9 -n -c "${source}" OUTPUT_FILE "${destination}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${source}")
  endif()
  file(CHMOD "${destination}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  message(STATUS "Installing: ${destination}")
endfunction()
install_gzipped("${TOVRANE_MAN_PAGE}" "${share}/man/man1/tovrane.1.gz")
install_gzipped("${TOVRANE_CHANGELOG}" "${share}/doc/tovrane/changelog.gz")
