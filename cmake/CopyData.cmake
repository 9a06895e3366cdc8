# Copies the delivered data files beside the program. The user's Settings.ini
# is never overwritten: it holds their folders and choices.
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*)
foreach(f IN LISTS files)
  if(f STREQUAL "Settings.ini" AND EXISTS ${DST}/Settings.ini)
    continue()
  endif()
  get_filename_component(dir ${DST}/${f} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  file(COPY_FILE ${SRC}/${f} ${DST}/${f} ONLY_IF_DIFFERENT)
endforeach()
