# The Debian package of both programs, their manual pages, the README and the example:
#   cmake --build build --target package   ->   build/pctlfit_1.0.0_amd64.deb
# Its library dependencies are read off the binaries (dpkg-shlibdeps, from dpkg-dev).

find_program(GZIP_PROGRAM gzip REQUIRED)
# Debian keeps manual pages and changelogs compressed, without a time stamp in the header.
function(pctlfit_gzip source target)
  add_custom_command(OUTPUT ${target}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()
set(gzipped "")
foreach(page pctlfit pctlfit-plot)
  pctlfit_gzip(${CMAKE_SOURCE_DIR}/${page}.1 ${CMAKE_BINARY_DIR}/${page}.1.gz)
  list(APPEND gzipped ${CMAKE_BINARY_DIR}/${page}.1.gz)
endforeach()
pctlfit_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${gzipped} ${CMAKE_BINARY_DIR}/changelog.gz)

install(FILES ${gzipped} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/members.txt examples/member01.dat examples/member02.dat
              examples/member03.dat examples/member04.dat examples/members.sta
              examples/members.csv examples/members.svg
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pctlfit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "pctlfit developers <dev@pctlfit.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "monthly percentiles of pooled time series from a fitted distribution")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "pctlfit reads a list of monthly time series files (one column per
subbasin, many files: ensemble members, scenarios), pools every column's
values per calendar month across all files, fits a normal, log-normal or
lower-bounded log-normal distribution by mean and standard deviation, and
writes a tab-separated report with minimum, 5 %, 50 %, 95 % and maximum
per column and month. pctlfit-plot draws a report as an SVG chart.")
include(CPack)
