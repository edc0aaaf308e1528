# Removes what `cmake --install` put under a prefix, and nothing else:
#   cmake -DPREFIX=DIR -P cmake/uninstall.cmake
# (The install manifest is no guide: packaging rewrites it with the
# package's own paths.)
if(NOT DEFINED PREFIX)
  message(FATAL_ERROR "usage: cmake -DPREFIX=DIR -P cmake/uninstall.cmake")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/programs.cmake)

set(files)
foreach(program ${SUITE_PROGRAMS})
  list(APPEND files ${PREFIX}/${SUITE_BINDIR}/${program} ${PREFIX}/${SUITE_MANDIR}/${program}.1)
endforeach()
list(APPEND files ${PREFIX}/${SUITE_DOCDIR}/README.md)
foreach(file ${files})
  if(EXISTS ${file} OR IS_SYMLINK ${file})
    file(REMOVE ${file})
    message(STATUS "Removed ${file}")
  endif()
endforeach()
# The suite's own folder goes when it is empty; shared ones stay.
if(IS_DIRECTORY ${PREFIX}/${SUITE_DOCDIR})
  file(GLOB left ${PREFIX}/${SUITE_DOCDIR}/*)
  if(NOT left)
    file(REMOVE_RECURSE ${PREFIX}/${SUITE_DOCDIR})
  endif()
endif()
