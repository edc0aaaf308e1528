# Installation and packages: every program with its manual page, and CPack
# for a Debian package (POSIX) or a .zip of the .exe files (Windows).
include(${CMAKE_CURRENT_LIST_DIR}/programs.cmake)

# A folder that is not there yet builds no target; its program is installed
# as soon as it does.
set(SUITE_INSTALLED_PROGRAMS)
foreach(program ${SUITE_PROGRAMS})
  if(TARGET ${program})
    list(APPEND SUITE_INSTALLED_PROGRAMS ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${SUITE_BINDIR})
    if(NOT WIN32)
      install(FILES ${PROJECT_SOURCE_DIR}/man/${program}.1
              DESTINATION ${SUITE_MANDIR})
    endif()
  endif()
endforeach()

if(WIN32)
  # The README is the Windows user's manual: beside bin/ in the .zip.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${SUITE_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME kestrelsuite)
set(CPACK_PACKAGE_VENDOR "KESTREL workstation suite")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Console programs for working with a KESTREL mainframe host")
set(CPACK_PACKAGE_CONTACT "Suite Developer <dev@kestrel.local>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Console programs for people who work with a KESTREL mainframe host:\nsign-on string and challenge answer, HTTP PUT upload, SHA-1 and MD5\ndigests, file comparison, record conversion to EBCDIC, and byte-level\nfile patching (zeros, byte ranges, 512-byte blocks, appending).")
  # The C and C++ run-time libraries the programs link, as the system's
  # packages name them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
