# What `cmake --install` puts in place and the Debian package made from it:
#   bin/corvane-setup            the host program (the build folder keeps it as setup)
#   bin/corvane-demo             runs the demo disk from share/corvane/demo
#   share/man/man1/              corvane-setup.1 and corvane-demo.1
#   share/corvane/demo/          the demo disks, their C: drives and the headless script
#   share/corvane/windows/       setup.exe for Windows 95, for the driver disks authors make
#   share/doc/corvane/           copyright (the licence, machine-readable) and
#                                changelog.gz
include(GNUInstallDirs)

set(CORVANE_MAN_DIR ${CMAKE_BINARY_DIR}/man)
configure_file(${CMAKE_SOURCE_DIR}/docs/corvane-setup.1.in ${CORVANE_MAN_DIR}/corvane-setup.1
    @ONLY)
# corvane-demo is described on the same page.
file(WRITE ${CORVANE_MAN_DIR}/corvane-demo.1 ".so man1/corvane-setup.1\n")
set(CORVANE_MAN_PAGES)
foreach(page corvane-setup.1 corvane-demo.1)
    add_custom_command(OUTPUT ${CORVANE_MAN_DIR}/${page}.gz
        COMMAND gzip -9nc ${CORVANE_MAN_DIR}/${page} > ${CORVANE_MAN_DIR}/${page}.gz
        DEPENDS ${CORVANE_MAN_DIR}/${page})
    list(APPEND CORVANE_MAN_PAGES ${CORVANE_MAN_DIR}/${page}.gz)
endforeach()
add_custom_target(corvane_man_pages DEPENDS ${CORVANE_MAN_PAGES})

# The changelog's newest entry names the version being packaged.
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog CORVANE_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT CORVANE_CHANGELOG_TOP MATCHES "^corvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog starts with \"${CORVANE_CHANGELOG_TOP}\", "
        "not an entry for version ${PROJECT_VERSION}")
endif()
set(CORVANE_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
# The package is made from its own sources with no Debian revision (a native
# package), so Debian names its changelog changelog.gz, not changelog.Debian.gz.
set(CORVANE_CHANGELOG ${CORVANE_DOC_DIR}/changelog.gz)
# -n keeps the name and time out of the gzip header, so the bytes repeat.
add_custom_command(OUTPUT ${CORVANE_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVANE_DOC_DIR}
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/cmake/debian/changelog > ${CORVANE_CHANGELOG}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog)
add_custom_target(corvane_package_docs DEPENDS ${CORVANE_MAN_PAGES} ${CORVANE_CHANGELOG})
# Whatever builds setup builds what is installed with it.
add_dependencies(setup corvane_man_pages corvane_package_docs)

install(PROGRAMS $<TARGET_FILE:setup> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME corvane-setup)
# Installed as a file under another name, so the stripping that install(TARGETS)
# does for `--strip` and the package is done here.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\"
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/corvane-setup\")
    endif()")
install(PROGRAMS ${CMAKE_SOURCE_DIR}/demo/corvane-demo DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CORVANE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${CORVANE_CHANGELOG}
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/demo/disk ${CMAKE_SOURCE_DIR}/demo/c
    ${CMAKE_SOURCE_DIR}/demo/disk950 ${CMAKE_SOURCE_DIR}/demo/c950
    DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/demo)
install(FILES ${CMAKE_SOURCE_DIR}/demo/headless.script
    DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/demo)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/demo/run-demo.sh
    DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/demo)
# The Windows 95 setup.exe that goes on a driver disk, as the cross-build
# made it (./corvane package builds build/windows first and names it).
if(CORVANE_WINDOWS_SETUP)
    install(FILES ${CORVANE_WINDOWS_SETUP} DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/windows)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "driver disk setup launcher for the Windows 95 family, in an emulated Windows 95")
set(CPACK_PACKAGE_DESCRIPTION
    "The setup launcher of a motherboard maker's driver disk, run on Linux inside\n\
an emulated Windows 95 of its own: drive letters mapped to folders, profile\n\
files, a registry file, windows, message boxes and controls, shown through\n\
SDL2 or kept in memory. Comes with a demo driver disk (corvane-demo).")
set(CPACK_PACKAGE_CONTACT "corvane developers <corvane@users.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_STRIP_FILES ON)
# The libraries come from dpkg-shlibdeps with the versions the build used
# (libfreetype6, libpng16-16, the C and C++ run-times); the fonts are found at run time: fonts-wine's bitmap "MS Sans
# Serif" for dialogs, message boxes and captions, and through fontconfig
# Liberation for the faces a layout names ("Arial"), DejaVu for the
# sans-serif default. The type of the Japanese, Chinese and Korean editions
# (IPA P Gothic, WenQuanYi Micro Hei) is recommended: without it such an
# edition's text shows the missing-glyph box.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, fonts-wqy-microhei")
# mtools and fsck.fat (dosfstools) work on the disk images --drive and --disk
# name, and --make-disk writes floppy images with mtools.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, fonts-wine, mtools, dosfstools")
# SDL2 is loaded with dlopen when a window opens, fontconfig when a face has
# no kept answer, which dpkg-shlibdeps does not see: the runs need their
# run-time packages all the same.
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libsdl2-2.0-0, libfontconfig1")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)

if(CORVANE_TESTS)
    # The manual page renders without a single warning.
    add_test(NAME ManPage.RendersWithoutWarnings
        COMMAND sh -c "out=$(groff -ww -z -man \"$1\" 2>&1) && [ -z \"$out\" ] || { printf '%s\\n' \"$out\"; exit 1; }"
        sh ${CORVANE_MAN_DIR}/corvane-setup.1)
endif()
