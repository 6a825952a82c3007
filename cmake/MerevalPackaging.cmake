# The Debian package (scripts/package.sh). The install rules of app/ and
# tools/paysim/ give its contents; this adds what Debian asks of every
# package and the maintainer scripts that make the group mereval.
include(GNUInstallDirs)
set(MEREVAL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging/deb)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mereval)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Mereval developers <mereval@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cashier-side program for card payments")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Mereval is the small window on a till that talks over TCP to the payment\n"
    "system, which drives the card terminal: card payment, cancellation, tip,\n"
    "reservation and its completion, a transaction report as PDF, and receipt\n"
    "printing through CUPS.\n"
    "\n"
    "The package also holds mereval-paysim, a payment-system simulator for\n"
    "rehearsing every path of the program without a terminal.")
# Absolute destinations (/etc, /var) land inside the package, not on the
# machine that builds it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# cpack installs the programs that scripts/package.sh built, without
# building every test of the tree first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the linked libraries: the postinst's addgroup, the fonts whose
# metrics the windows are laid out in, and the opener of Report.pdf.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, fonts-liberation2, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pdf-viewer")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${MEREVAL_PACKAGING_DIR}/conffiles ${MEREVAL_PACKAGING_DIR}/postinst
    ${MEREVAL_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(MEREVAL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/mereval)
configure_file(${MEREVAL_PACKAGING_DIR}/changelog.in changelog @ONLY)
add_custom_command(
    OUTPUT changelog.gz
    COMMAND gzip -9nc changelog > changelog.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
    VERBATIM)
set(MEREVAL_MAN_PAGES)
foreach(page mereval.1 mereval-paysim.1)
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND gzip -9nc ${MEREVAL_PACKAGING_DIR}/${page} > ${page}.gz
        DEPENDS ${MEREVAL_PACKAGING_DIR}/${page}
        VERBATIM)
    list(APPEND MEREVAL_MAN_PAGES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
endforeach()
add_custom_target(package_docs ALL
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${MEREVAL_MAN_PAGES})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${MEREVAL_PACKAGING_DIR}/copyright
              ${PROJECT_SOURCE_DIR}/docs/operations.md
        DESTINATION ${MEREVAL_DOC_DIR})
install(FILES ${MEREVAL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(CPack)
