# What makes the package one that Debian users expect: the copyright file,
# the changelog, the extended description, a manual page for every program
# and the software-centre entry; and the package test that holds it to
# lintian. Included from the top-level CMakeLists.txt before CPack.
#
# A new version touches, besides project(): a new entry at the top of
# packaging/changelog, a <release> in the metainfo file and the .TH lines of
# the manual pages. The package test fails while they disagree.

find_program(TQ_GZIP gzip REQUIRED)
set(TQ_PACKAGE_FILES ${CMAKE_CURRENT_BINARY_DIR}/package-files)

# Compresses a file of packaging/ into the build folder as Debian wants it
# (best compression, no name or time stamp inside) and adds the result to
# the list named by out_list.
function(tq_gzip_packaging_file source name out_list)
  set(out ${TQ_PACKAGE_FILES}/${name})
  add_custom_command(
    OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} ${out}
    COMMAND ${TQ_GZIP} -9nf ${out}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source}
    VERBATIM)
  set(${out_list} ${${out_list}} ${out}.gz PARENT_SCOPE)
endfunction()

# One manual page per program the package installs, written in roff in
# packaging/man/; lintian in the package test fails a program in usr/bin
# that has none.
install(TARGETS tq512-texts RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(TQ_MAN_PAGES tq512.1 tq512-texts.1 tq512-cli.1)

set(tq_man_pages_gz)
foreach(page IN LISTS TQ_MAN_PAGES)
  tq_gzip_packaging_file(man/${page} ${page} tq_man_pages_gz)
endforeach()
set(tq_changelog_gz)
tq_gzip_packaging_file(changelog changelog tq_changelog_gz)
add_custom_target(tq_package_files ALL DEPENDS ${tq_man_pages_gz} ${tq_changelog_gz})

install(FILES ${tq_man_pages_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${tq_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})
install(FILES packaging/invalid.tq512.programmer.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The extended description. Read here rather than named as
# CPACK_PACKAGE_DESCRIPTION_FILE, which cpack escapes for XML (' becomes
# &apos; in the control file).
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/packaging/description CPACK_PACKAGE_DESCRIPTION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/packaging/description)

# The package test: builds the package from this build folder and checks it
# as Debian would. Only where lintian is installed (scripts/setup installs it).
find_program(TQ_LINTIAN lintian)
if(TQ_TESTS AND TQ_LINTIAN)
  add_test(NAME package
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/package/check_package
                   ${CMAKE_CPACK_COMMAND} ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(package PROPERTIES LABELS package)
elseif(TQ_TESTS)
  message(STATUS "lintian not found: the package test is left out")
endif()
