# Run by the layers test: no library source includes a path that climbs out
# of its folder, and every library's probe builds (see CMakeLists.txt).
set(climbing "")
foreach(layer IN LISTS LAYERS)
  file(GLOB sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.")
    foreach(line IN LISTS lines)
      list(APPEND climbing "${source}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(climbing)
  list(JOIN climbing "\n  " climbing)
  message(FATAL_ERROR "includes that climb out of their library's folder:\n  ${climbing}")
endif()

# Every probe, so that one run names every leak.
set(keep_going "")
if(GENERATOR MATCHES "Ninja")
  set(keep_going -- -k 0)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${PROBES} ${keep_going}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a library reaches a header of a layer README's list does not let it use, or misses one "
                      "of a layer it may use (each #error above names the library and the header)")
endif()
