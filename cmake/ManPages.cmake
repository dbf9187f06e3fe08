# The manual pages are written by help2man from the programs' own --help and
# --version, so that they say what the programs say.
include(GNUInstallDirs)
if(CELWRIGHT_MANPAGES)
  find_program(HELP2MAN_EXECUTABLE help2man)
  find_program(GZIP_EXECUTABLE gzip)
  if(NOT HELP2MAN_EXECUTABLE OR NOT GZIP_EXECUTABLE)
    message(STATUS "help2man or gzip not found: no manual pages (scripts/deps.sh package installs them)")
  endif()
endif()

# celwright_man_page(TARGET SUMMARY): TARGET.1.gz, made after TARGET is linked and
# installed into section 1. SUMMARY is the one line of the NAME section.
function(celwright_man_page target summary)
  if(NOT CELWRIGHT_MANPAGES OR NOT HELP2MAN_EXECUTABLE OR NOT GZIP_EXECUTABLE)
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${HELP2MAN_EXECUTABLE} --no-info --name=${summary} --output=${page} $<TARGET_FILE:${target}>
    # -n leaves the time out of the file, so equal pages make equal packages.
    COMMAND ${GZIP_EXECUTABLE} -9 -n -f ${page}
    DEPENDS ${target}
    COMMENT "Writing the manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
